// One client per folder: where its socket lives, and a second start asking
// the running client for its window on a platform without X (offscreen).
#include "fake_host.h"
#include "instance_guard.h"
#include "window_raiser.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <thread>

namespace {

// Sets XDG_RUNTIME_DIR for one test and puts the old value back.
class RuntimeDir {
public:
    explicit RuntimeDir(const QByteArray& value) : old_(qgetenv("XDG_RUNTIME_DIR")), had_(!old_.isNull())
    {
        if (value.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", value);
    }
    ~RuntimeDir()
    {
        if (had_)
            qputenv("XDG_RUNTIME_DIR", old_);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }

private:
    QByteArray old_;
    bool had_;
};

TEST(InstanceGuard, TheSocketLivesInAFolderOnlyItsUserCanEnter)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString own = scratch.filePath(QStringLiteral("own"));
    const QString open = scratch.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(own) && QDir().mkdir(open));
    ::chmod(QFile::encodeName(own).constData(), 0700);
    ::chmod(QFile::encodeName(open).constData(), 0777);

    const struct {
        QByteArray runtime;
        QString expected; // the socket's folder; empty: any private one but `open`
    } cases[] = {
        {QFile::encodeName(own), own},
        {QFile::encodeName(open), {}},
        {QByteArray(), {}},
    };
    for (const auto& c : cases) {
        RuntimeDir env(c.runtime);
        const QString name = InstanceGuard::serverName(QStringLiteral("/some/start folder"));
        ASSERT_FALSE(name.isEmpty()) << c.runtime.constData();
        const QString folder = QFileInfo(name).path();
        if (!c.expected.isEmpty())
            EXPECT_EQ(folder, c.expected);
        EXPECT_NE(folder, open);
        EXPECT_NE(folder, QDir::tempPath());
        struct stat status {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &status), 0) << folder.toStdString();
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_uid, ::getuid());
        EXPECT_EQ(status.st_mode & 0777, 0700u) << folder.toStdString();
        EXPECT_TRUE(QFileInfo(name).fileName().startsWith(QStringLiteral("kovclient-")));
    }
}

// The running client serves the request from its event loop and raises its
// window; on offscreen the X11 interface is there without a connection.
TEST(InstanceGuard, ASecondStartGetsTheWindowShownWithoutX)
{
    QTemporaryDir runtime, folder;
    ASSERT_TRUE(runtime.isValid() && folder.isValid());
    RuntimeDir env(QFile::encodeName(runtime.path()));
    QWidget window;
    window.showMinimized();

    InstanceGuard running(folder.path().toStdString());
    RecordedBoxes boxes;
    ASSERT_FALSE(running.claim(boxes).has_value());
    int shown = 0;
    running.onShowRequest([&] {
        ++shown;
        WindowRaiser::bringToFront(&window);
    });

    std::atomic<bool> done{false};
    std::optional<int> status;
    std::thread second([&] {
        InstanceGuard again(folder.path().toStdString());
        RecordedBoxes secondBoxes;
        status = again.claim(secondBoxes);
        done = true;
    });
    const bool answered = QTest::qWaitFor([&] { return done.load(); }, 5000);
    second.join();
    ASSERT_TRUE(answered);
    EXPECT_EQ(status, std::optional<int>(0));
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(boxes.texts.isEmpty());
}

} // namespace
