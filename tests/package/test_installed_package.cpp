// The Debian package unpacked into a scratch root (dpkg -x): its metadata,
// its desktop entry, and the installed kovclient started as an operator
// starts it and as the desktop launcher does, against omniNames and kovsim.
#include "child_process.h"
#include "naming_service_process.h"
#include "simulator_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::string fileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// What `program args` wrote to standard output, or nothing when it failed.
std::optional<std::string> outputOf(const std::string& program, const std::vector<std::string>& args)
{
    ChildProcess child(program, args);
    if (child.waitForExit(60s) != 0)
        return std::nullopt;
    return child.text(ChildProcess::Stream::Output);
}

// The value of `key=` in a desktop entry.
std::string desktopValue(const std::string& entry, const std::string& key)
{
    const std::string prefix = "\n" + key + "=";
    const auto start = entry.find(prefix);
    if (start == std::string::npos)
        return {};
    const auto from = start + prefix.size();
    return entry.substr(from, entry.find('\n', from) - from);
}

class InstalledPackage : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root_ = new QTemporaryDir;
        ASSERT_TRUE(root_->isValid());
        ASSERT_TRUE(outputOf(KOV_DPKG_PATH, {"-x", KOV_PACKAGE_PATH, root_->path().toStdString()}))
            << "dpkg -x " << KOV_PACKAGE_PATH;
    }

    static void TearDownTestSuite()
    {
        delete root_;
        root_ = nullptr;
    }

    static QString installed(const QString& path) { return root_->path() + path; }

    static QTemporaryDir* root_;
};

QTemporaryDir* InstalledPackage::root_ = nullptr;

TEST_F(InstalledPackage, DependsOnThePackagesOfTheLibrariesItLinks)
{
    const auto depends = outputOf(KOV_DPKG_DEB_PATH, {"--field", KOV_PACKAGE_PATH, "Depends"});
    ASSERT_TRUE(depends);
    for (const char* package : {"libqt6widgets6 ", "libqt6multimedia6 ", "libqt6dbus6 ", "libomniorb4-2 ",
             "libace-7", "libc6 ", "qt6-qpa-plugins"})
        EXPECT_NE(depends->find(package), std::string::npos) << package << " missing from: " << *depends;
}

// lintian's verdict, as an administrator's check before installing sees it.
TEST_F(InstalledPackage, LintianFindsNoErrors)
{
    ChildProcess lintian(KOV_LINTIAN_PATH, {KOV_PACKAGE_PATH});
    const std::optional<int> status = lintian.waitForExit(150s);
    ASSERT_TRUE(status) << "lintian did not finish";
    EXPECT_EQ(*status, 0) << lintian.text(ChildProcess::Stream::Output);
}

TEST_F(InstalledPackage, DesktopEntryNamesTheInstalledLauncherAndIcon)
{
    const std::string entry =
        fileText(installed(QStringLiteral("/usr/share/applications/kovclient.desktop")));
    ASSERT_FALSE(entry.empty());
    const std::string exec = desktopValue(entry, "Exec");
    ASSERT_FALSE(exec.empty());
    EXPECT_TRUE(
        QFileInfo(installed(QStringLiteral("/usr/bin/") + QString::fromStdString(exec))).isExecutable())
        << exec;
    const std::string icon = desktopValue(entry, "Icon");
    EXPECT_TRUE(QFile::exists(installed(QStringLiteral("/usr/share/pixmaps/%1.xpm").arg(icon.c_str()))))
        << icon;
}

// One way of starting the installed client.
struct Start {
    const char* name;
    bool launcher; // the desktop entry's command, no words; else kovclient with words
};

void PrintTo(const Start& start, std::ostream* out)
{
    *out << start.name;
}

class InstalledClient : public InstalledPackage, public testing::WithParamInterface<Start> {
protected:
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }

    // Starts the client; answers the folder it keeps its files in and the
    // criteria it subscribes with.
    std::unique_ptr<ChildProcess> start(QString& startDir, std::string& criteria)
    {
        if (GetParam().launcher)
            return startFromLauncher(startDir, criteria);
        startDir = home_.path();
        criteria = "TRIAL";
        std::vector<std::string> words = {criteria};
        for (const std::string& word : names_.orbArgs())
            words.push_back(word);
        words.insert(words.end(), {"-ORBendPoint", "giop:tcp:127.0.0.1:"});
        const QString here = QDir::currentPath();
        QDir::setCurrent(startDir);
        auto client = std::make_unique<ChildProcess>(
            installed(QStringLiteral("/usr/bin/kovclient")).toStdString(), words);
        QDir::setCurrent(here);
        return client;
    }

    // No command line: the naming service comes from the omniORB.cfg in the
    // user's kovclient folder.
    std::unique_ptr<ChildProcess> startFromLauncher(QString& startDir, std::string& criteria)
    {
        const std::string entry =
            fileText(installed(QStringLiteral("/usr/share/applications/kovclient.desktop")));
        const QString exec = QString::fromStdString(desktopValue(entry, "Exec"));
        startDir = home_.path() + QStringLiteral("/kovclient");
        criteria = "KOV";
        QDir().mkpath(startDir);
        QFile config(startDir + QStringLiteral("/omniORB.cfg"));
        if (!config.open(QIODevice::WriteOnly))
            return nullptr;
        config.write(("InitRef = " + names_.initRef() + "\nendPoint = giop:tcp:127.0.0.1:\n").c_str());
        config.close();
        ::setenv("XDG_DATA_HOME", home_.path().toLocal8Bit().constData(), 1);
        ::unsetenv("OMNIORB_CONFIG");
        return std::make_unique<ChildProcess>(
            installed(QStringLiteral("/usr/bin/") + exec).toStdString(), std::vector<std::string>{});
    }

    QTemporaryDir home_;
    NamingServiceProcess names_;
};

TEST_P(InstalledClient, ComesUpAgainstKovsimAndEndsOnSigtermAsOnExit)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    QString startDir;
    std::string criteria;
    const auto client = start(startDir, criteria);
    ASSERT_TRUE(client);
    ASSERT_TRUE(sim.waitForLine("^subscribe consumer=\\d+ criteria=\"" + criteria + "\"", 20s))
        << client->text(ChildProcess::Stream::Error);
    // The main window asks the instrument's ON time once a second: it is up.
    ASSERT_TRUE(sim.waitForLine("^elapsedTime answer=", 10s));
    ASSERT_TRUE(client->running());

    ::kill(client->pid(), SIGTERM);
    EXPECT_EQ(client->waitForExit(15s), 0) << client->text(ChildProcess::Stream::Error);
    EXPECT_TRUE(sim.waitForLine("^unsubscribe consumer="));
    const std::string log = fileText(startDir + QStringLiteral("/client.log"));
    EXPECT_NE(log.find("Running the Consumer..."), std::string::npos) << log;
    // The launcher's first start brings the setpoints of both housings.
    if (GetParam().launcher) {
        EXPECT_NE(fileText(startDir + QStringLiteral("/kov.cfg")).find("KOV-S1-RH_ALARM_SETPOINTS"),
            std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Starts, InstalledClient,
    testing::Values(Start{"CommandLine", false}, Start{"DesktopLauncher", true}),
    [](const testing::TestParamInfo<Start>& info) { return std::string(info.param.name); });

} // namespace
