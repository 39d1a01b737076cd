#include "MachineSettings.h"

#include "ConfigDirsFixture.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using MachineSettings = ConfigDirsTest;

TEST_F(MachineSettings, PathsFollowTheEnvironmentWithXdgDefaults)
{
    EXPECT_EQ(machineSettingsPath(), systemDir() + QStringLiteral("/Velkorp/Fotodesk.conf"));
    EXPECT_EQ(userSettingsPath(), homeDir() + QStringLiteral("/Velkorp/Fotodesk.conf"));

    qunsetenv("XDG_CONFIG_DIRS");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(machineSettingsPath(), QStringLiteral("/etc/xdg/Velkorp/Fotodesk.conf"));
    EXPECT_EQ(userSettingsPath(),
              QDir::homePath() + QStringLiteral("/.config/Velkorp/Fotodesk.conf"));

    // Relative values are invalid and ignored; a ':' in the home folder is part of its name.
    pointAt(QStringLiteral("etc:also/relative"), QStringLiteral("config"));
    EXPECT_EQ(machineSettingsPath(), QStringLiteral("/etc/xdg/Velkorp/Fotodesk.conf"));
    EXPECT_EQ(userSettingsPath(),
              QDir::homePath() + QStringLiteral("/.config/Velkorp/Fotodesk.conf"));
    pointAt(QStringLiteral("/a/b/"), QStringLiteral("/x:y"));
    EXPECT_EQ(machineSettingsPath(), QStringLiteral("/a/b/Velkorp/Fotodesk.conf"));
    EXPECT_EQ(userSettingsPath(), QStringLiteral("/x:y/Velkorp/Fotodesk.conf"));
}

TEST_F(MachineSettings, MachineFileMustExist)
{
    EXPECT_EQ(openMachineSettings(), nullptr);
    writeMachineSettings("Language=DE\n");
    const auto settings = openMachineSettings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->value(QStringLiteral("Language")).toString(), QStringLiteral("DE"));
}

TEST_F(MachineSettings, UserFileIsCreatedOnlyWhenAsked)
{
    EXPECT_EQ(openUserSettings(false), nullptr);
    EXPECT_FALSE(QFile::exists(userSettingsPath()));
    {
        const auto settings = openUserSettings(true);
        ASSERT_NE(settings, nullptr);
        settings->setValue(QStringLiteral("UserName"), QStringLiteral("ann@example.org"));
        settings->sync();
        EXPECT_EQ(settings->status(), QSettings::NoError);
    }
    EXPECT_TRUE(readAll(userSettingsPath()).contains("UserName=ann@example.org"));
    const auto again = openUserSettings(false);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->value(QStringLiteral("UserName")).toString(),
              QStringLiteral("ann@example.org"));
    EXPECT_EQ(openMachineSettings(), nullptr) << "user values must not reach the machine file";
}

TEST_F(MachineSettings, FollowsAMovedHomeWithinOneProcess)
{
    {
        const auto first = openUserSettings(true);
        ASSERT_NE(first, nullptr);
        first->setValue(QStringLiteral("AlbumID"), 7);
    }
    const QString otherHome = mTemp.filePath(QStringLiteral("home2"));
    pointAt(systemDir(), otherHome);
    EXPECT_EQ(openUserSettings(false), nullptr);
    {
        const auto second = openUserSettings(true);
        ASSERT_NE(second, nullptr);
        second->setValue(QStringLiteral("AlbumID"), 9);
    }
    EXPECT_TRUE(
        readAll(otherHome + QStringLiteral("/Velkorp/Fotodesk.conf")).contains("AlbumID=9"));
    EXPECT_TRUE(
        readAll(homeDir() + QStringLiteral("/Velkorp/Fotodesk.conf")).contains("AlbumID=7"));
}

TEST_F(MachineSettings, UserFileThatDoesNotParseIsLeftAlone)
{
    const QByteArray contents("# written by hand\nUserName=ann@example.org\n[broken\n");
    writeSettingsFile(homeDir(), contents);
    EXPECT_EQ(openUserSettings(false), nullptr);
    EXPECT_EQ(openUserSettings(true), nullptr);
    EXPECT_EQ(readAll(userSettingsPath()), contents);
}

TEST_F(MachineSettings, FolderInPlaceOfTheFileIsNotOpened)
{
    ASSERT_TRUE(QDir().mkpath(userSettingsPath()));
    ASSERT_TRUE(QDir().mkpath(machineSettingsPath()));
    EXPECT_EQ(openUserSettings(false), nullptr);
    EXPECT_EQ(openUserSettings(true), nullptr);
    EXPECT_EQ(openMachineSettings(), nullptr);
}

TEST_F(MachineSettings, UserFolderThatCannotBeMadeGivesNull)
{
    // A file where the config home folder should be.
    const QString blocker = mTemp.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    pointAt(systemDir(), blocker);
    EXPECT_EQ(openUserSettings(true), nullptr);
}

} // namespace
