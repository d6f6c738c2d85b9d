// The recorder as the package installs it: the program, its systemd unit
// (installed, not enabled, with its state folder), its settings file kept
// on upgrade, its manual page, and PostgreSQL's Qt driver among the
// dependencies.
#include "child_process.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

TEST(RecorderPackage, InstallsTheRecorderAndItsUnitNotEnabled)
{
    QTemporaryDir root;
    ChildProcess unpack(KOV_DPKG_PATH, {"-x", KOV_PACKAGE_PATH, root.path().toStdString()});
    ASSERT_EQ(unpack.waitForExit(60s), 0);
    for (const char* path : {"/usr/bin/kovrecorder", "/usr/lib/systemd/system/kovrecorder.service",
             "/etc/default/kovrecorder", "/etc/kovrecorder/kov.cfg", "/usr/share/man/man1/kovrecorder.1.gz"})
        EXPECT_TRUE(QFileInfo::exists(root.path() + path)) << path;
    EXPECT_FALSE(
        QFileInfo::exists(root.path() + "/etc/systemd/system/multi-user.target.wants/kovrecorder.service"));

    ChildProcess fields(KOV_DPKG_DEB_PATH, {"--field", KOV_PACKAGE_PATH, "Depends"});
    ASSERT_EQ(fields.waitForExit(30s), 0);
    EXPECT_NE(fields.text(ChildProcess::Stream::Output).find("libqt6sql6-psql"), std::string::npos);
    ChildProcess conffiles(KOV_DPKG_DEB_PATH, {"--info", KOV_PACKAGE_PATH, "conffiles"});
    ASSERT_EQ(conffiles.waitForExit(30s), 0);
    for (const char* conffile : {"/etc/default/kovrecorder", "/etc/kovrecorder/kov.cfg"})
        EXPECT_NE(conffiles.text(ChildProcess::Stream::Output).find(conffile), std::string::npos) << conffile;

    // The state folder keeps what a stop held for the next start.
    QFile unit(root.path() + "/usr/lib/systemd/system/kovrecorder.service");
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    EXPECT_TRUE(unit.readAll().contains("\nStateDirectory=kovrecorder\n"));

    ChildProcess help((root.path() + "/usr/bin/kovrecorder").toStdString(), {"--help"});
    EXPECT_EQ(help.waitForExit(30s), 0);
    for (const char* option : {"--archive", "--state-dir", "--buffer-mb"})
        EXPECT_NE(help.text(ChildProcess::Stream::Output).find(option), std::string::npos) << option;
}

// kovreport with its manual page, and its daily timer: installed, not
// enabled, with the script it runs.
TEST(ReportPackage, InstallsTheReportAndItsTimerNotEnabled)
{
    QTemporaryDir root;
    ChildProcess unpack(KOV_DPKG_PATH, {"-x", KOV_PACKAGE_PATH, root.path().toStdString()});
    ASSERT_EQ(unpack.waitForExit(60s), 0);
    for (const char* path : {"/usr/bin/kovreport", "/usr/share/man/man1/kovreport.1.gz",
             "/usr/lib/systemd/system/kovreport-daily.service",
             "/usr/lib/systemd/system/kovreport-daily.timer"})
        EXPECT_TRUE(QFileInfo::exists(root.path() + path)) << path;
    EXPECT_TRUE(QFileInfo(root.path() + "/usr/lib/kov-client/kovreport-daily").isExecutable());
    EXPECT_FALSE(
        QFileInfo::exists(root.path() + "/etc/systemd/system/timers.target.wants/kovreport-daily.timer"));

    QFile unit(root.path() + "/usr/lib/systemd/system/kovreport-daily.service");
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    EXPECT_TRUE(unit.readAll().contains("\nExecStart=/usr/lib/kov-client/kovreport-daily report\n"));

    ChildProcess help((root.path() + "/usr/bin/kovreport").toStdString(), {"--help"});
    EXPECT_EQ(help.waitForExit(30s), 0);
    for (const char* option : {"--history", "--archive", "--last", "--csv"})
        EXPECT_NE(help.text(ChildProcess::Stream::Output).find(option), std::string::npos) << option;
}
