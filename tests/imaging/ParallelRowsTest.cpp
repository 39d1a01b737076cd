#include "ParallelRows.h"

#include "Cancel.h"
#include "ImagingResult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace imaging;

namespace {

constexpr std::size_t kRowBytes = 18000; // a 6000-pixel row

// Counts how often each row was handed out.
struct RowCounts
{
    explicit RowCounts(int rows) : counts(std::size_t(rows)) {}
    std::vector<std::atomic<int>> counts;

    bool eachOnce() const
    {
        for (const std::atomic<int>& count : counts) {
            if (count.load() != 1)
                return false;
        }
        return true;
    }
};

int countRows(RowCounts& rows, const RowRange& piece)
{
    for (int y = piece.begin; y < piece.end; ++y)
        ++rows.counts[std::size_t(y)];
    return Success;
}

} // namespace

TEST(ParallelRows, PiecesCoverTheRowsInOrderAndSmallJobsStayWhole)
{
    const std::vector<RowRange> pieces = splitRows(10, 4010, kRowBytes);
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces.front().begin, 10);
    EXPECT_EQ(pieces.back().end, 4010);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].index, int(i));
        EXPECT_LT(pieces[i].begin, pieces[i].end);
        if (i > 0) {
            EXPECT_EQ(pieces[i].begin, pieces[i - 1].end);
        }
    }
    if (std::thread::hardware_concurrency() > 1) {
        EXPECT_GT(pieces.size(), 1u);
    }
    EXPECT_EQ(splitRows(0, 8, 300).size(), 1u); // a thumbnail is not worth a second thread
    EXPECT_TRUE(splitRows(5, 5, kRowBytes).empty());
    const SingleThreadScope single;
    EXPECT_EQ(splitRows(0, 4000, kRowBytes).size(), 1u);
}

// The edit engine, the viewer's worker and the loaders may all start work at once, and a
// body may itself start work: every row is done exactly once and nobody waits forever.
TEST(ParallelRows, CallersAtOnceAndNestedCallsEachDoEveryRowOnce)
{
    constexpr int kRows = 4000;
    std::vector<std::thread> callers;
    std::atomic<int> failures{0};
    for (int i = 0; i < 3; ++i) {
        callers.emplace_back([&] {
            for (int round = 0; round < 20; ++round) {
                RowCounts rows(kRows);
                if (parallelRows(0, kRows, kRowBytes,
                                 [&](const RowRange& piece) { return countRows(rows, piece); }) !=
                        Success ||
                    !rows.eachOnce())
                    ++failures;
            }
        });
    }
    RowCounts nested(kRows);
    const int result = parallelRows(0, 4, kRowBytes * 1000, [&](const RowRange& outer) {
        for (int part = outer.begin; part < outer.end; ++part) {
            const int r =
                parallelRows(part * 1000, (part + 1) * 1000, kRowBytes,
                             [&](const RowRange& piece) { return countRows(nested, piece); });
            if (r != Success)
                return r;
        }
        return int(Success);
    });
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(result, Success);
    EXPECT_TRUE(nested.eachOnce());
    EXPECT_EQ(failures.load(), 0);
}

// The caller's cancel flag reaches the pool's threads, and a failing piece stops the job.
TEST(ParallelRows, CancelAndFailuresReachEveryThreadAndStopTheJob)
{
    constexpr int kRows = 4000;
    CancelFlag flag{0};
    const CancelScope scope(&flag);
    std::atomic<int> piecesRun{0};
    std::atomic<int> sawNoFlag{0};
    const int cancelled = parallelRows(0, kRows, kRowBytes, [&](const RowRange&) {
        ++piecesRun;
        if (registeredCancelFlag() != &flag)
            ++sawNoFlag;
        flag.store(1); // the first piece asks to stop
        return cancelRequested() ? int(Cancelled) : int(Success);
    });
    EXPECT_EQ(cancelled, Cancelled);
    EXPECT_EQ(sawNoFlag.load(), 0);
    // At most the one piece each thread had started before the flag was set.
    EXPECT_LE(piecesRun.load(), std::clamp(int(std::thread::hardware_concurrency()), 1, 16));

    flag.store(0);
    const int failed = parallelRows(0, kRows, kRowBytes, [](const RowRange& piece) {
        return piece.index == 0 ? int(NoMemory) : int(Success);
    });
    EXPECT_EQ(failed, NoMemory);

    flag.store(1);
    std::atomic<int> started{0};
    EXPECT_EQ(parallelRows(0, kRows, kRowBytes,
                           [&](const RowRange&) {
                               ++started;
                               return int(Success);
                           }),
              Cancelled);
    EXPECT_EQ(started.load(), 0); // a flag set before the start stops every piece
}
