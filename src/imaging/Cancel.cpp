#include "Cancel.h"

namespace imaging {
namespace {
thread_local const CancelFlag* tCancelFlag = nullptr;
}

CancelScope::CancelScope(const CancelFlag* flag) : mPrevious(tCancelFlag)
{
    tCancelFlag = flag;
}

CancelScope::~CancelScope()
{
    tCancelFlag = mPrevious;
}

bool cancelRequested()
{
    return tCancelFlag && tCancelFlag->load(std::memory_order_relaxed) != 0;
}

} // namespace imaging
