// The "KVF<n>.jpg" numbering shared by scanned pages and webcam snapshots, and its save
// that never replaces a file.
#include "NumberedPicture.h"

#include "TestApplication.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

using namespace acquire;

namespace {

struct CounterCase
{
    const char* name;
    std::vector<const char*> files;
    int expected;
};

class PictureCounter : public ::testing::TestWithParam<CounterCase>
{};

TEST_P(PictureCounter, IsOneMoreThanTheLargestNumber)
{
    QStringList files;
    for (const char* file : GetParam().files)
        files << QString::fromUtf8(file);
    EXPECT_EQ(nextPictureNumber(files), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PictureCounter,
    ::testing::Values(
        CounterCase{"EmptyFolder", {}, 1},
        CounterCase{"PaddedAndUnpaddedMix", {"KVF00007.jpg", "KVF12.jpg"}, 13},
        CounterCase{"SnapshotAfterScan", {"KVF00012.jpg", "KVF3.jpg"}, 13},
        CounterCase{"NotNumbersCountAsNothing", {"KVFabc.jpg", "KVF0.jpg", "KVF.jpg"}, 1},
        CounterCase{"SignsAndSpacesAreNotNumbers", {"KVF-5.jpg", "KVF+9.jpg", "KVF 4.jpg"}, 1},
        CounterCase{"LetterCaseCounts", {"kvf00009.jpg", "KVF00009.JPG", "KVF2.jpg"}, 3},
        CounterCase{"TooLargeIsNotANumber", {"KVF99999999999.jpg", "KVF5.jpg"}, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PictureFileName, PadsToTheGivenDigits)
{
    EXPECT_EQ(pictureFileName(12, 5), QStringLiteral("KVF00012.jpg"));
    EXPECT_EQ(pictureFileName(123456, 5), QStringLiteral("KVF123456.jpg"));
    EXPECT_EQ(pictureFileName(13, 1), QStringLiteral("KVF13.jpg"));
}

class NumberedSave : public ::testing::Test
{
protected:
    void SetUp() override { testsupport::ensureApplication(); }
    QTemporaryDir mDir;

    QByteArray read(const QString& name) const
    {
        QFile file(mDir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(mDir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST_F(NumberedSave, TakesTheNextFreeNumberAndKeepsAFileThatAppeared)
{
    write(QStringLiteral("KVF00013.jpg"), "older photo");
    const SavedPicture saved = saveNumberedPicture(mDir.path(), "page", 13, 5);
    ASSERT_FALSE(saved.path.isEmpty()) << saved.error;
    EXPECT_EQ(saved.number, 14);
    EXPECT_EQ(saved.path, mDir.filePath(QStringLiteral("KVF00014.jpg")));
    EXPECT_EQ(read(QStringLiteral("KVF00013.jpg")), QByteArray("older photo"));
    EXPECT_EQ(read(QStringLiteral("KVF00014.jpg")), QByteArray("page"));
    EXPECT_EQ(QDir(mDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(saved.path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(NumberedSave, AVanishedFolderFailsAndLeavesNothing)
{
    const QString gone = mDir.filePath(QStringLiteral("card"));
    const SavedPicture saved = saveNumberedPicture(gone, "page", 1, 5);
    EXPECT_TRUE(saved.path.isEmpty());
    EXPECT_EQ(saved.error, ENOENT);
    EXPECT_TRUE(QDir(mDir.path())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
}

} // namespace
