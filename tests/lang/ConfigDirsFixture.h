// Points XDG_CONFIG_DIRS and XDG_CONFIG_HOME at fresh temporary folders for one test and
// puts the previous values back afterwards.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class ScopedEnv
{
public:
    explicit ScopedEnv(const char* name)
        : mName(name), mHad(qEnvironmentVariableIsSet(name)), mOld(qgetenv(name))
    {}
    ~ScopedEnv()
    {
        if (mHad) {
            qputenv(mName, mOld);
        } else {
            qunsetenv(mName);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* mName;
    bool mHad;
    QByteArray mOld;
};

class ConfigDirsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mTemp.isValid());
        pointAt(systemDir(), homeDir());
    }

    QString systemDir() const { return mTemp.filePath(QStringLiteral("sys")); }
    QString homeDir() const { return mTemp.filePath(QStringLiteral("home")); }

    static void pointAt(const QString& systemDirs, const QString& home)
    {
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemDirs));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
    }

    // Writes <dir>/Velkorp/Fotodesk.conf with exactly these bytes.
    static void writeSettingsFile(const QString& dir, const QByteArray& contents)
    {
        ASSERT_TRUE(QDir().mkpath(dir + QStringLiteral("/Velkorp")));
        QFile file(dir + QStringLiteral("/Velkorp/Fotodesk.conf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(contents), contents.size());
    }

    void writeMachineSettings(const QByteArray& contents) const
    {
        writeSettingsFile(systemDir(), contents);
    }

    QTemporaryDir mTemp;

private:
    ScopedEnv mDirs{"XDG_CONFIG_DIRS"};
    ScopedEnv mHome{"XDG_CONFIG_HOME"};
};
