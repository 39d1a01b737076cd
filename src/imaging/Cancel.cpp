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

const CancelFlag* registeredCancelFlag()
{
    return tCancelFlag;
}

bool cancelRequested()
{
    return tCancelFlag && tCancelFlag->load(std::memory_order_relaxed) != 0;
}

} // namespace imaging
