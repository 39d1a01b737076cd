#include "UploadFigures.h"

#include "TfrmAddPhotobook.h"

#include <gtest/gtest.h>

using namespace upload;

namespace {

struct ByteSizeCase
{
    const char* name;
    qint64 n;
    bool exact;
    const char* expected;
};

class FormatByteSizeTest : public testing::TestWithParam<ByteSizeCase>
{};

TEST_P(FormatByteSizeTest, CutsToHundredthsWithTheUnitOfItsRange)
{
    const ByteSizeCase& c = GetParam();
    EXPECT_EQ(FormatByteSize(c.n, c.exact, QLocale::c()), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FormatByteSizeTest,
    testing::Values(ByteSizeCase{"Zero", 0, false, "0 bytes"},
                    ByteSizeCase{"LastPlainBytes", 999, false, "999 bytes"},
                    ByteSizeCase{"FirstKilobytes", 1000, false, "0.97 KB"},
                    ByteSizeCase{"HalfNotRounded", 1535, false, "1.49 KB"},
                    ByteSizeCase{"LastKilobytes", 1023999, false, "999.99 KB"},
                    ByteSizeCase{"FirstMegabytes", 1024000, false, "0.97 MB"},
                    ByteSizeCase{"LargeMegabytesUngrouped", 5'000'000'000, false, "4768.37 MB"},
                    ByteSizeCase{"ExactGroupsThousands", 1234567, true, "1,234,567 bytes"},
                    ByteSizeCase{"ExactSmall", 12, true, "12 bytes"}),
    [](const testing::TestParamInfo<ByteSizeCase>& info) { return std::string(info.param.name); });

TEST(FormatByteSize, SeparatorsFollowTheLocale)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatByteSize(1234567, true, german), QStringLiteral("1.234.567 bytes"));
    EXPECT_EQ(FormatByteSize(1536, false, german), QStringLiteral("1,50 KB"));
}

TEST(UploadProgress, NeverShowsAHundredPercent)
{
    UploadProgress progress;
    progress.start(0);
    // The last bytes of the last photo are out.
    const UploadProgress::Shown done = progress.update(500, 1000, 1000, 1500, 2000, 10);
    EXPECT_EQ(done.percent, 100);
    EXPECT_EQ(done.percentText, QStringLiteral("99 %"));
    // 42.99 % is cut, not rounded.
    const UploadProgress::Shown part = progress.update(0, 0, 1000, 4299, 10000, 20);
    EXPECT_EQ(part.percentText, QStringLiteral("42 %"));
}

TEST(UploadProgress, TimeLeftRefreshedAtMostEveryTwoSeconds)
{
    UploadProgress progress;
    progress.start(1000);
    // Half of everything sent: the time left equals the time taken.
    EXPECT_FALSE(progress.update(0, 0, 1, 500, 1000, 2000).timeLeftChanged);
    EXPECT_FALSE(progress.update(0, 0, 1, 500, 1000, 3000).timeLeftChanged);
    const UploadProgress::Shown first = progress.update(0, 0, 1, 500, 1000, 3001);
    ASSERT_TRUE(first.timeLeftChanged);
    EXPECT_EQ(first.timeLeftText, QStringLiteral("0 min. 3 sec."));
    EXPECT_FALSE(progress.update(0, 0, 1, 500, 1000, 5001).timeLeftChanged);
    const UploadProgress::Shown second = progress.update(0, 0, 1, 500, 1000, 121'001);
    ASSERT_TRUE(second.timeLeftChanged);
    EXPECT_EQ(second.timeLeftText, QStringLiteral("2 min. 1 sec."));
    // Nothing sent yet: no estimate at all.
    UploadProgress fresh;
    fresh.start(0);
    EXPECT_FALSE(fresh.update(0, 0, 1, 0, 1000, 10'000).timeLeftChanged);
}

struct CostCase
{
    const char* name;
    qint64 copyBytes;
    qint64 mainBytes;
    double bytesPerSecond;
    bool kept;
};

class DisplayCopyCostTest : public testing::TestWithParam<CostCase>
{};

// Limits: 50 % of the main image, 4 seconds.
TEST_P(DisplayCopyCostTest, DropsACopyThatIsBothLargeAndSlow)
{
    const CostCase& c = GetParam();
    EXPECT_EQ(keepDisplayCopy(c.copyBytes, c.mainBytes, 50, 4, c.bytesPerSecond), c.kept);
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayCopyCostTest,
                         testing::Values(CostCase{"SmallCopy", 100, 1000, 0, true},
                                         CostCase{"LargeCopyUnknownSpeed", 500, 1000, 0, false},
                                         CostCase{"LargeCopyFastLine", 500, 1000, 1000, true},
                                         CostCase{"LargeCopySlowLine", 500, 1000, 125, false},
                                         CostCase{"JustBelowBothLimits", 499, 1000, 125, true}),
                         [](const testing::TestParamInfo<CostCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(DisplayCopy, NoneAtTheStandardSizeOrWhenTheSiteWantsNone)
{
    EXPECT_FALSE(wantsDisplayCopy(1024, 768, 1024, 768, AlwaysDisplayCopy));
    EXPECT_FALSE(wantsDisplayCopy(1600, 1200, 1024, 768, NeverDisplayCopy));
    EXPECT_TRUE(wantsDisplayCopy(1600, 1200, 1024, 768, AlwaysDisplayCopy));
    // Original photos are never the standard size.
    EXPECT_TRUE(wantsDisplayCopy(0, 0, 1024, 768, DisplayCopyByCost));
}

TEST(ErrorInformation, CodeTextsAndTheAddressOnTheSiteHostsScheme)
{
    EXPECT_EQ(errorCodeText(0, 404, 9), QStringLiteral("404"));
    EXPECT_EQ(errorCodeText(1, 12029, 9), QStringLiteral("S12029"));
    EXPECT_EQ(errorCodeText(2, 12029, 9), QStringLiteral("D9"));
    EXPECT_EQ(errorCodeText(4, 12029, 9), QString());

    EXPECT_EQ(errorInfoAddress(QStringLiteral("127.0.0.1:8080"), QStringLiteral("S12029"), 3,
                               QStringLiteral("1.2.0.7"), QStringLiteral("Velko Fotodesk")),
              QStringLiteral("http://127.0.0.1:8080/programerror/"
                             "?prg=VelkoFotodesk&vrs=1.2.0.7&dbv=3&err=S12029"));
    // A value is encoded, and a "%2" inside one is not replaced by the next value.
    EXPECT_EQ(
        errorInfoAddress(QStringLiteral("https://photos.example"), QStringLiteral("%2&x"), 0,
                         QString(), QStringLiteral("A B")),
        QStringLiteral("https://photos.example/programerror/?prg=AB&vrs=&dbv=0&err=%252%26x"));
}

struct AlbumNameCase
{
    const char* name;
    const char* text;
    int firstInvalid;
};

class AlbumNameTest : public testing::TestWithParam<AlbumNameCase>
{};

TEST_P(AlbumNameTest, AllowsLettersDigitsSpacesDashesAndUnderscores)
{
    EXPECT_EQ(firstInvalidAlbumNameCharacter(QString::fromUtf8(GetParam().text)),
              GetParam().firstInvalid);
}

INSTANTIATE_TEST_SUITE_P(
    Names, AlbumNameTest,
    testing::Values(AlbumNameCase{"Plain", "Summer 2024", -1},
                    AlbumNameCase{"DashAndUnderscore", "a-b_c", -1}, AlbumNameCase{"Empty", "", -1},
                    AlbumNameCase{"Accent", "Café", 3}, AlbumNameCase{"Slash", "x/y", 1},
                    AlbumNameCase{"Dot", ".hidden", 0}),
    [](const testing::TestParamInfo<AlbumNameCase>& info) { return std::string(info.param.name); });

} // namespace
