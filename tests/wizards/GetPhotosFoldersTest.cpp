// The wizard's folder rules on real folders: the "Photos N" proposal and the same-folder check.
#include "GetPhotosFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace getphotos;

namespace {

struct ProposalCase
{
    const char* name;
    std::vector<const char*> entries;
    const char* base;
    const char* expected;
};

class SubFolderProposal : public ::testing::TestWithParam<ProposalCase>
{};

TEST_P(SubFolderProposal, IsBasePlusOneMoreThanTheLargestNumber)
{
    const ProposalCase& c = GetParam();
    QStringList entries;
    for (const char* entry : c.entries)
        entries << QString::fromUtf8(entry);
    EXPECT_EQ(proposeSubFolderName(entries, QString::fromUtf8(c.base)).toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SubFolderProposal,
    ::testing::Values(
        ProposalCase{"EmptyFolder", {}, "Photos", "Photos 1"},
        ProposalCase{
            "NonNumbersCountAsZero", {"Photos 2", "Photos x", "Photos 10"}, "Photos", "Photos 11"},
        ProposalCase{"GapsAreNotFilled", {"Photos 1", "Photos 7"}, "Photos", "Photos 8"},
        ProposalCase{"OnlyNamesWithBaseAndSpace",
                     {"Photos", "Photos5", "photos 9", "Holiday 4", "My Photos 6"},
                     "Photos",
                     "Photos 1"},
        ProposalCase{"AFileNameWithExtensionIsNoNumber", {"Photos 3.jpg"}, "Photos", "Photos 1"},
        ProposalCase{
            "LargestIntegerDoesNotOverflow", {"Photos 2147483647"}, "Photos", "Photos 2147483648"},
        ProposalCase{"GermanBase", {"Bilder 3", "Photos 9"}, "Bilder", "Bilder 4"},
        ProposalCase{"BaseIsTrimmed", {"Fotos 2"}, " Fotos ", "Fotos 3"}),
    [](const ::testing::TestParamInfo<ProposalCase>& info) { return info.param.name; });

class GetPhotosFoldersTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(mTemp.isValid()); }

    QString path(const QString& relative) const { return mTemp.filePath(relative); }
    void makeFolder(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }
    void makeFile(const QString& relative) const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void makeLink(const QString& target, const QString& link) const
    {
        ASSERT_TRUE(QFile::link(path(target), path(link)));
    }

    QTemporaryDir mTemp;
};

TEST_F(GetPhotosFoldersTest, ProposalCountsFilesAndFoldersOfTheDestination)
{
    makeFolder(QStringLiteral("Photos 1"));
    makeFile(QStringLiteral("Photos 3")); // a file takes the name as well
    makeFolder(QStringLiteral("Photos 2/Photos 9"));
    EXPECT_EQ(proposeSubFolderIn(path({}) + QLatin1Char('/'), QStringLiteral("Photos")),
              QStringLiteral("Photos 4"));
    EXPECT_EQ(proposeSubFolderIn(path(QStringLiteral("missing")), QStringLiteral("Photos")),
              QStringLiteral("Photos 1"));
}

TEST_F(GetPhotosFoldersTest, SameFolderIsTheSameFileSystemObject)
{
    makeFolder(QStringLiteral("card/DCIM"));
    makeFolder(QStringLiteral("Card/DCIM"));
    makeLink(QStringLiteral("card"), QStringLiteral("link"));
    const QString source = path(QStringLiteral("card/DCIM/"));

    EXPECT_TRUE(isSameFolder(source, path(QStringLiteral("card/DCIM"))));
    EXPECT_TRUE(isSameFolder(source, path(QStringLiteral("card/./x/../DCIM/"))));
    // Through a symbolic link, also when the last part is a new sub-folder name that is empty.
    EXPECT_TRUE(isSameFolder(source, path(QStringLiteral("link/DCIM/"))));
    // Letter case makes another folder on Linux.
    EXPECT_FALSE(isSameFolder(source, path(QStringLiteral("Card/DCIM/"))));
    // A sub-folder that does not exist yet, reached through the link.
    EXPECT_FALSE(isSameFolder(source, path(QStringLiteral("link/DCIM/Photos 1/"))));
    EXPECT_EQ(canonicalFolderPath(path(QStringLiteral("link/DCIM/Photos 1/"))),
              QDir(path(QStringLiteral("card/DCIM"))).canonicalPath() +
                  QStringLiteral("/Photos 1"));
}

TEST_F(GetPhotosFoldersTest, CreatingAFolderMakesOneLevelAndRefusesAnExistingOne)
{
    QString reason;
    EXPECT_TRUE(createFolder(path(QStringLiteral("Photos 1/")), &reason));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("Photos 1"))).isDir());

    // An empty sub-folder name leaves the destination itself, which exists.
    EXPECT_FALSE(createFolder(path({}) + QLatin1Char('/'), &reason));
    EXPECT_FALSE(reason.isEmpty());

    reason.clear();
    EXPECT_FALSE(createFolder(path(QStringLiteral("no/such")), &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("no"))));
}

} // namespace
