#include "SlideSequence.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> steps(viewer::SlideSequence& sequence, int count)
{
    std::vector<int> shown;
    for (int i = 0; i < count; ++i)
        shown.push_back(sequence.step());
    return shown;
}

TEST(SlideSequence, RunsFromTheFirstAndWrapsFromTheLastToTheFirst)
{
    viewer::SlideSequence sequence;
    sequence.reset(3);
    EXPECT_EQ(steps(sequence, 7), (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
}

TEST(SlideSequence, AnEmptyListShowsNothing)
{
    viewer::SlideSequence sequence;
    sequence.reset(0);
    EXPECT_EQ(sequence.step(), -1);
    EXPECT_EQ(sequence.peek(), -1);
    sequence.backFrom(0);
    EXPECT_EQ(sequence.step(), -1);
}

TEST(SlideSequence, PeekTellsWhatTheNextStepShows)
{
    viewer::SlideSequence sequence;
    sequence.reset(2);
    for (int i = 0; i < 5; ++i) {
        const int peeked = sequence.peek();
        EXPECT_EQ(sequence.step(), peeked) << "step " << i;
    }
}

TEST(SlideSequence, PreviousOnTheFirstPhotoWrapsToTheLast)
{
    viewer::SlideSequence sequence;
    sequence.reset(4);
    ASSERT_EQ(sequence.step(), 0);
    sequence.backFrom(0);
    EXPECT_EQ(sequence.step(), 3);
    EXPECT_EQ(sequence.step(), 0);
}

TEST(SlideSequence, PreviousAfterTheWrapShowsThePhotoBeforeTheLast)
{
    // The last photo is on screen while the first, after the wrap, still loads.
    viewer::SlideSequence sequence;
    sequence.reset(4);
    steps(sequence, 4);
    ASSERT_EQ(sequence.step(), 0);
    sequence.backFrom(3);
    EXPECT_EQ(sequence.step(), 2);
}

TEST(SlideSequence, PreviousTwiceBeforeThePhotoArrivesDoesNotSkipOne)
{
    viewer::SlideSequence sequence;
    sequence.reset(6);
    steps(sequence, 5); // photo 4 on screen
    sequence.backFrom(4);
    ASSERT_EQ(sequence.step(), 3); // still loading when Previous comes again
    sequence.backFrom(4);
    EXPECT_EQ(sequence.step(), 3);
}

TEST(SlideSequence, ResumeShowsTheInterruptedPhotoThenGoesOn)
{
    viewer::SlideSequence sequence;
    sequence.reset(3);
    steps(sequence, 2);
    sequence.resumeAt(1);
    EXPECT_EQ(steps(sequence, 3), (std::vector<int>{1, 2, 0}));
}

} // namespace
