#include "ConfigDirsFixture.h"
#include "MachineSettings.h"
#include "uLanguage.h"

#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class LanguageSelection : public ConfigDirsTest
{
protected:
    void TearDown() override
    {
        // Leave the process in English for whatever runs next.
        pointAt(mTemp.filePath(QStringLiteral("none")), homeDir());
        LoadLanguage();
    }

    // Qt caches a parsed file by path and re-reads it only when its size or time stamp
    // changes, which rewrites within a millisecond need not show; so every variant gets a
    // folder of its own. Returns the file's path.
    QString writeFresh(const QByteArray& contents)
    {
        const QString dir = mTemp.filePath(QStringLiteral("sys%1").arg(++mFolders));
        writeSettingsFile(dir, contents);
        pointAt(dir, homeDir());
        return machineSettingsPath();
    }

    quint8 loadWith(const QByteArray& contents)
    {
        writeFresh(contents);
        LoadLanguage();
        return CurrentLanguage();
    }

private:
    int mFolders = 0;
};

TEST_F(LanguageSelection, NoSettingsFileMeansEnglishEverywhere)
{
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangEnglish);
    EXPECT_EQ(GetText(1), QStringLiteral("Next"));
    EXPECT_EQ(GetText(113), QStringLiteral("No photos in this folder"));
}

TEST_F(LanguageSelection, EachCodeSelectsItsLanguage)
{
    const std::pair<const char*, quint8> codes[] = {
        {"DE", LangGerman},  {"FR", LangFrench}, {"ES", LangSpanish},
        {"IT", LangItalian}, {"NL", LangDutch},
    };
    for (const auto& [code, language] : codes) {
        EXPECT_EQ(loadWith(QByteArray("Language=") + code + '\n'), language) << code;
        EXPECT_EQ(GetText(4), GetTextFor(4, language)) << code;
    }
    EXPECT_EQ(loadWith("Language=DE\n"), LangGerman);
    EXPECT_EQ(GetText(4), QStringLiteral("Schließen"));
    EXPECT_EQ(GetText(7), QStringLiteral("OK"));
}

TEST_F(LanguageSelection, OnlyTheExactUpperCaseCodesCount)
{
    for (const char* contents :
         {"Language=de\n", "Language=De\n", "Language=EN\n", "Language=DEU\n", "Language=\n",
          "Language=\" DE\"\n", "Language=\"D E\"\n", "Language=\"DE \"\n", "Language=DE,FR\n",
          "Language=4\n", "language=DE\n", "Other=DE\n", "[Velkorp]\nLanguage=DE\n",
          "Language=@Invalid()\n"}) {
        EXPECT_EQ(loadWith(contents), LangEnglish) << contents;
        EXPECT_EQ(GetText(4), QStringLiteral("Close")) << contents;
    }
}

TEST_F(LanguageSelection, TopLevelValueReadsInEitherIniSpelling)
{
    EXPECT_EQ(loadWith("[General]\nLanguage=NL\n"), LangDutch);
    EXPECT_EQ(GetText(5), QStringLiteral("Ja"));
    EXPECT_EQ(loadWith("\xef\xbb\xbf; set by the installer\r\nLanguage=\"FR\"\r\n"), LangFrench);
    // Qt reports the '#' line as a format error but keeps the value, as an admin expects.
    EXPECT_EQ(loadWith("# set by the installer\nLanguage=IT\n"), LangItalian);
}

TEST_F(LanguageSelection, EachLoadStartsAgainFromEnglish)
{
    EXPECT_EQ(loadWith("Language=ES\n"), LangSpanish);
    EXPECT_EQ(loadWith("Language=es\n"), LangEnglish);
    EXPECT_EQ(loadWith("Language=ES\n"), LangSpanish);
    ASSERT_TRUE(QFile::remove(machineSettingsPath()));
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangEnglish);
}

TEST_F(LanguageSelection, BrokenSettingsFilesLeaveEnglish)
{
    QByteArray noise(4096, '\0');
    QRandomGenerator rng(1234);
    for (char& byte : noise) {
        byte = static_cast<char>(rng.bounded(256));
    }
    EXPECT_EQ(loadWith(noise), LangEnglish);
    EXPECT_EQ(loadWith(QByteArray("\xff\xfeL\0a\0n\0g\0", 10)), LangEnglish);
    EXPECT_EQ(loadWith(QByteArray(1 << 20, '[')), LangEnglish);

    // A folder where the file should be.
    const QString path = writeFresh("Language=DE\n");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangEnglish);
}

TEST_F(LanguageSelection, UnreadableFileLeavesEnglish)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    const QString path = writeFresh("Language=DE\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangEnglish);
}

TEST_F(LanguageSelection, ReadOnlyFileStillSelects)
{
    const QString path = writeFresh("Language=DE\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther));
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangGerman);
}

TEST_F(LanguageSelection, OnlyTheFirstAbsoluteConfigDirCounts)
{
    const QString first = mTemp.filePath(QStringLiteral("first"));
    const QString second = mTemp.filePath(QStringLiteral("second"));
    writeSettingsFile(second, "Language=DE\n");
    pointAt(QStringLiteral("relative/dir::") + first + QLatin1Char(':') + second, homeDir());
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangEnglish);

    writeSettingsFile(first, "Language=FR\n");
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangFrench);
}

TEST_F(LanguageSelection, UserSettingsDoNotChooseTheLanguage)
{
    writeSettingsFile(homeDir(), "Language=DE\n");
    LoadLanguage();
    EXPECT_EQ(CurrentLanguage(), LangEnglish);
}

TEST_F(LanguageSelection, TextsCanBeReadFromAnyThreadWhileLoading)
{
    writeMachineSettings("Language=DE\n");
    const QString english = GetTextFor(4, LangEnglish);
    const QString german = GetTextFor(4, LangGerman);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const QString text = GetText(4);
                if (text != english && text != german) {
                    ++wrong;
                }
            }
        });
    }
    for (int i = 0; i < 50; ++i) {
        LoadLanguage();
    }
    stop.store(true);
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(CurrentLanguage(), LangGerman);
}

} // namespace
