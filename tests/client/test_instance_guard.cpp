// One client per folder: its socket lives where no other user can put one
// first. (A second start on a platform without X: the fault suite.)
#include "instance_guard.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(InstanceGuard, TheSocketLivesInAFolderOnlyItsUserCanEnter)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString own = scratch.filePath(QStringLiteral("own"));
    const QString open = scratch.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(own) && QDir().mkdir(open));
    ::chmod(QFile::encodeName(own).constData(), 0700);
    ::chmod(QFile::encodeName(open).constData(), 0777);
    const QByteArray was = qgetenv("XDG_RUNTIME_DIR");

    // XDG_RUNTIME_DIR, and the socket's folder expected (empty: any private one).
    const std::pair<QString, QString> cases[] = {{own, own}, {open, {}}, {{}, {}}};
    for (const auto& [runtime, expected] : cases) {
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        const QString name = InstanceGuard::serverName(QStringLiteral("/some/start folder"));
        const QString folder = QFileInfo(name).path();
        SCOPED_TRACE(runtime.toStdString() + " -> " + name.toStdString());
        EXPECT_TRUE(QFileInfo(name).fileName().startsWith(QStringLiteral("kovclient-")));
        if (!expected.isEmpty())
            EXPECT_EQ(folder, expected);
        EXPECT_NE(folder, open);
        EXPECT_NE(folder, QDir::tempPath());
        struct stat status {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_uid, ::getuid());
        EXPECT_EQ(status.st_mode & 0777, 0700u);
    }
    was.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", was);
}

} // namespace
