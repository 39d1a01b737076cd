// The preview's worker: renders the photos of one page one after the other at the preview's
// scale and hands each picture to the window as soon as it is ready.
#pragma once

#include "PhotoPlacement.h"
#include "WorkerThread.h"

#include <optional>
#include <utility>

// wParam page, lParam photo index. The window fills job() and answers the index, or -1 when
// the page or the photo does not exist.
inline constexpr int WM_PREVIEW_NEXT_JOB = WM_USER + 1;
// wParam page, lParam photo index: takeResult() holds the rendered photo.
inline constexpr int WM_PREVIEW_DONE = WM_USER + 2;

class TPreviewThread final : public WorkerThread
{
public:
    TPreviewThread(WindowMessenger::Handler handler, int page);
    ~TPreviewThread() override;

    int page() const { return mPage; }

    // Inside the handler of WM_PREVIEW_NEXT_JOB only, while the worker waits.
    PlacementRequest& job() { return mJob; }
    // Inside the handler of WM_PREVIEW_DONE only.
    PlacedPhoto takeResult() { return std::exchange(mResult, PlacedPhoto()); }

protected:
    void execute() override;

private:
    const int mPage;
    PlacementRequest mJob;
    PlacedPhoto mResult;
};
