#include "PictureTurns.h"

#include "Geometry.h"
#include "ImagingResult.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace imaging;

namespace {

// A picture that no turn or mirror maps onto itself.
Bitmap marked()
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(5, 3), Success);
    for (std::size_t i = 0; i < bitmap.byteCount(); ++i)
        bitmap.bits()[i] = std::uint8_t(i * 5);
    return bitmap;
}

void applyStep(Bitmap& bitmap, LosslessStep step)
{
    switch (step) {
    case LosslessStep::Rotate90:
        rotateBitmap(bitmap, 9000, true, 0);
        break;
    case LosslessStep::Rotate180:
        rotateBitmap(bitmap, 18000, true, 0);
        break;
    case LosslessStep::Rotate270:
        rotateBitmap(bitmap, 27000, true, 0);
        break;
    case LosslessStep::FlipHorizontal:
        reverseBitmap(bitmap);
        break;
    case LosslessStep::FlipVertical:
        flipBitmap(bitmap);
        break;
    }
}

void applyRequest(Bitmap& bitmap, const EditAction& request)
{
    if (request.p1 == 1 && request.p2 == 1)
        rotateBitmap(bitmap, 18000, true, 0);
    else if (request.p1 == 1)
        reverseBitmap(bitmap);
    else if (request.p2 == 1)
        flipBitmap(bitmap);
    if (request.p3 > 0)
        rotateBitmap(bitmap, request.p3, true, 0);
}

bool same(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.bits(), b.bits(), a.byteCount()) == 0;
}

const EditAction kTurn90{EditTurn, 0, 0, 9000};
const EditAction kTurn270{EditTurn, 0, 0, 27000};
const EditAction kMirrorLeftRight{EditTurn, 1, 0, 0};
const EditAction kMirrorTopBottom{EditTurn, 0, 1, 0};
const EditAction kBoth{EditTurn, 1, 1, 0};
const EditAction kMirrorAndTurn{EditTurn, 0, 1, 9000};

} // namespace

// Whatever the sequence, the steps reproduce from the file exactly what the user sees.
TEST(PictureTurns, StepsReproduceEverySequenceOfTurnsAndMirrors)
{
    const std::vector<std::vector<EditAction>> sequences = {
        {kTurn90},
        {kTurn90, kTurn90, kTurn90},
        {kMirrorLeftRight, kTurn90},
        {kTurn90, kMirrorLeftRight},
        {kTurn90, kMirrorTopBottom},
        {kMirrorTopBottom, kTurn270, kMirrorLeftRight},
        {kBoth, kMirrorAndTurn, kTurn90},
        {kMirrorLeftRight, kMirrorLeftRight},
    };
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        const std::vector<EditAction>& sequence = sequences[i];
        SCOPED_TRACE(i);
        PictureTurns turns;
        Bitmap seen = marked();
        for (const EditAction& request : sequence) {
            turns.applied(request, true);
            applyRequest(seen, request);
        }
        const auto steps = turns.steps();
        ASSERT_TRUE(steps);
        Bitmap fromFile = marked();
        for (const LosslessStep step : *steps)
            applyStep(fromFile, step);
        EXPECT_TRUE(same(fromFile, seen));
    }
}

TEST(PictureTurns, AnythingElseOrAFailureNeedsAnEncode)
{
    PictureTurns turns;
    turns.applied({EditTurn, 0, 0, 750}, true);
    EXPECT_FALSE(turns.steps());
    turns.undone();
    ASSERT_TRUE(turns.steps());
    EXPECT_TRUE(turns.steps()->empty());
    turns.applied(kTurn90, false);
    EXPECT_FALSE(turns.steps());
    turns.saved();
    EXPECT_TRUE(turns.steps());
    turns.applied({EditGreyScale}, true);
    EXPECT_FALSE(turns.steps());
}

TEST(PictureTurns, CountsFromTheLastSave)
{
    PictureTurns turns;
    turns.applied(kTurn90, true);
    turns.saved();
    turns.applied(kTurn90, true);
    EXPECT_EQ(turns.steps(), std::vector<LosslessStep>{LosslessStep::Rotate90});
    // Undone after a save: the file holds the turn, so the picture is one turn back from it.
    turns.saved();
    turns.undone();
    EXPECT_EQ(turns.steps(), std::vector<LosslessStep>{LosslessStep::Rotate270});
    // Undone before any save: back to where it was.
    PictureTurns fresh;
    fresh.applied(kTurn90, true);
    fresh.applied(kMirrorLeftRight, true);
    fresh.undone();
    EXPECT_EQ(fresh.steps(), std::vector<LosslessStep>{LosslessStep::Rotate90});
}
