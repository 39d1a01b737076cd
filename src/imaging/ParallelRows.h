// Row-wise pixel work spread over the processor's cores: the calling thread and a small
// pool of threads that live as long as the program and sleep on a condition variable
// between jobs. Every operation that goes over a full-size picture row by row uses it.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace imaging {

// Rows [begin, end) of a picture; index numbers the pieces of one job from 0, so a body
// can keep results of its own (a histogram) without sharing them.
struct RowRange
{
    int begin = 0;
    int end = 0;
    int index = 0;
};

// Cuts rows [begin, end) into consecutive pieces: a few for each core, so that the cores
// finish together, and none smaller than a few hundred kilobytes of work, so that small
// pictures stay on one thread. One piece inside a SingleThreadScope.
std::vector<RowRange> splitRows(int begin, int end, std::size_t bytesPerRow);

// Returns Success or a failure; it must not touch rows of other pieces.
using RowBody = std::function<int(const RowRange&)>;

// Runs body for every piece, on the calling thread and the pool at once, and returns when
// all are done: Success, or the first failure a piece returned (pieces not yet started are
// then skipped). The calling thread's cancel flag is registered on the pool's threads while
// they work for it, so cancelRequested() in the body sees it; a set flag also stops the job
// between pieces with Cancelled. Calls from a pool thread, or while another thread's job
// runs, do their pieces on the calling thread alone.
int runRows(const std::vector<RowRange>& pieces, const RowBody& body);

// splitRows then runRows.
int parallelRows(int begin, int end, std::size_t bytesPerRow, const RowBody& body);

// While it lives, work started on this thread is one piece run on this thread: the
// reference a multi-threaded result is compared with.
class SingleThreadScope
{
public:
    SingleThreadScope();
    ~SingleThreadScope();
    SingleThreadScope(const SingleThreadScope&) = delete;
    SingleThreadScope& operator=(const SingleThreadScope&) = delete;

private:
    bool mPrevious;
};

} // namespace imaging
