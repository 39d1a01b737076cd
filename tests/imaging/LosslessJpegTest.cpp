#include "LosslessJpeg.h"

#include "Geometry.h"
#include "GradientPictures.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "PhotoMetadata.h"
#include "TestPictures.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

using namespace imaging;

namespace {

// Every pixel different, so any wrong move shows.
Bitmap numbered(int width, int height)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), Success);
    for (int i = 0; i < width * height; ++i) {
        bitmap.bits()[3 * i] = std::uint8_t(i);
        bitmap.bits()[3 * i + 1] = std::uint8_t(i * 7);
        bitmap.bits()[3 * i + 2] = 0;
    }
    return bitmap;
}

// The step done on pixels the way the edit engine does it.
void applyStep(Bitmap& bitmap, LosslessStep step)
{
    switch (step) {
    case LosslessStep::Rotate90:
        ASSERT_EQ(rotateBitmap(bitmap, 9000, true, 0), Success);
        break;
    case LosslessStep::Rotate180:
        ASSERT_EQ(rotateBitmap(bitmap, 18000, true, 0), Success);
        break;
    case LosslessStep::Rotate270:
        ASSERT_EQ(rotateBitmap(bitmap, 27000, true, 0), Success);
        break;
    case LosslessStep::FlipHorizontal:
        ASSERT_EQ(reverseBitmap(bitmap), Success);
        break;
    case LosslessStep::FlipVertical:
        ASSERT_EQ(flipBitmap(bitmap), Success);
        break;
    }
}

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.bits(), a.bits() + a.byteCount(), b.bits());
}

Bitmap decode(const QByteArray& jpeg)
{
    Bitmap bitmap;
    EXPECT_EQ(loadJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.constData()),
                       std::size_t(jpeg.size()), bitmap),
              Success);
    return bitmap;
}

const char* kStepNames[] = {"Rotate90", "Rotate180", "Rotate270", "FlipHorizontal", "FlipVertical"};

} // namespace

// One orientation must show the stored picture exactly as the loaders' upright view after
// the user's step.
class LosslessComposition : public testing::TestWithParam<std::tuple<int, LosslessStep>>
{};

TEST_P(LosslessComposition, OneOrientationGivesWhatTheUserSaw)
{
    const auto [orientation, step] = GetParam();
    Bitmap seen = numbered(5, 3);
    ASSERT_EQ(orientUpright(seen, orientation), Success);
    applyStep(seen, step);
    Bitmap combined = numbered(5, 3);
    ASSERT_EQ(orientUpright(combined, combinedOrientation(orientation, {step})), Success);
    EXPECT_TRUE(samePixels(seen, combined));
}

INSTANTIATE_TEST_SUITE_P(
    AllOrientations, LosslessComposition,
    testing::Combine(testing::Range(1, 9),
                     testing::Values(LosslessStep::Rotate90, LosslessStep::Rotate180,
                                     LosslessStep::Rotate270, LosslessStep::FlipHorizontal,
                                     LosslessStep::FlipVertical)),
    [](const auto& info) {
        return "Orientation" + std::to_string(std::get<0>(info.param)) +
               kStepNames[int(std::get<1>(info.param))];
    });

TEST(LosslessComposition, StepsComposeInTheOrderTheyWereDone)
{
    const std::vector<LosslessStep> steps{LosslessStep::Rotate90, LosslessStep::FlipHorizontal,
                                          LosslessStep::Rotate90, LosslessStep::FlipVertical,
                                          LosslessStep::Rotate270};
    Bitmap seen = numbered(4, 3);
    ASSERT_EQ(orientUpright(seen, 7), Success);
    for (const LosslessStep step : steps)
        applyStep(seen, step);
    Bitmap combined = numbered(4, 3);
    ASSERT_EQ(orientUpright(combined, combinedOrientation(7, steps)), Success);
    EXPECT_TRUE(samePixels(seen, combined));
    EXPECT_EQ(combinedOrientation(6, {LosslessStep::Rotate270}), 1);
    EXPECT_EQ(combinedOrientation(0, {}), 1); // an unreadable orientation reads as 1
}

// TurboJPEG against the reference tool, on a file both read the same way.
class LosslessAgainstJpegtran : public testing::TestWithParam<std::tuple<LosslessStep, const char*>>
{};

TEST_P(LosslessAgainstJpegtran, DecodesToTheSamePixels)
{
    const QString jpegtran = QStandardPaths::findExecutable(QStringLiteral("jpegtran"));
    if (jpegtran.isEmpty())
        GTEST_SKIP() << "jpegtran is not installed (libjpeg-turbo-progs)";
    const auto [step, arguments] = GetParam();
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("in.jpg"));
    const QByteArray original = testsupport::jpegBytes(1024, 768);
    testpictures::writeFile(input, original);

    QProcess process;
    process.start(jpegtran, QString::fromLatin1(arguments).split(u' ') + QStringList{input});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QByteArray reference = process.readAllStandardOutput();

    const std::optional<QByteArray> transformed = losslessTransform(original, {step});
    ASSERT_TRUE(transformed);
    EXPECT_TRUE(samePixels(decode(*transformed), decode(reference)));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LosslessAgainstJpegtran,
    testing::Values(std::make_tuple(LosslessStep::Rotate90, "-perfect -rotate 90"),
                    std::make_tuple(LosslessStep::Rotate180, "-perfect -rotate 180"),
                    std::make_tuple(LosslessStep::Rotate270, "-perfect -rotate 270"),
                    std::make_tuple(LosslessStep::FlipHorizontal, "-perfect -flip horizontal"),
                    std::make_tuple(LosslessStep::FlipVertical, "-perfect -flip vertical")),
    [](const auto& info) { return std::string(kStepNames[int(std::get<0>(info.param))]); });

TEST(LosslessTransform, RefusesWhatWouldCutPartialBlocks)
{
    const QByteArray odd = testsupport::jpegBytes(1001, 767); // 4:2:0, 16-pixel blocks
    EXPECT_FALSE(losslessTransform(odd, {LosslessStep::Rotate90}));
    EXPECT_FALSE(losslessTransform(QByteArray("no picture"), {LosslessStep::Rotate90}));
    QByteArray truncated = testsupport::jpegBytes(64, 64);
    truncated.chop(truncated.size() / 2);
    EXPECT_FALSE(losslessTransform(truncated, {LosslessStep::Rotate90}));
}

// What a user who turns a camera photo upright gets: the turn done in the DCT blocks and the
// metadata put right, shown as they saw it.
TEST(LosslessTransform, TurnedCameraPhotoShowsAsTheUserSawIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("camera.jpg"));
    const QByteArray file =
        testpictures::encodeJpeg(testpictures::quadrants(320, 256),
                                 testpictures::JpegOptions().withApp1(testpictures::exifBlock(6)));
    testpictures::writeFile(path, file);

    for (const LosslessStep step : {LosslessStep::Rotate270, LosslessStep::Rotate90}) {
        SCOPED_TRACE(kStepNames[int(step)]);
        Bitmap seen = decode(file);
        applyStep(seen, step);
        std::optional<QByteArray> saved = losslessTransform(file, {step});
        ASSERT_TRUE(saved);
        QString error;
        ASSERT_TRUE(carryMetadataForSave(path, *saved, &error)) << error.toStdString();
        const Bitmap shown = decode(*saved);
        ASSERT_EQ(shown.width(), seen.width());
        ASSERT_EQ(shown.height(), seen.height());
        int worst = 0;
        for (std::size_t i = 0; i < seen.byteCount(); ++i)
            worst = std::max(worst, std::abs(int(seen.bits()[i]) - int(shown.bits()[i])));
        EXPECT_LE(worst, 4); // the decoder's rounding, not a wrong turn
    }
}
