// The edit engine's worker: waits for a request, processes it for its TEditImage, and waits
// again. A newer request replaces one still pending; in preview mode it also aborts the one
// being computed.
#pragma once

#include "EditAction.h"
#include "WorkerThread.h"

#include <condition_variable>
#include <mutex>

class TEditImage;

class TChangeBitmapThread final : public WorkerThread
{
public:
    TChangeBitmapThread(TEditImage& owner, bool preview, WindowMessenger::Handler handler);
    ~TChangeBitmapThread() override;

    // Window's thread. Returns the request's serial number.
    quint64 post(const EditAction& request);
    // The serial of the newest request posted.
    quint64 latestSerial() const;
    // Nothing pending and nothing being processed; everything the worker wrote before is
    // visible to the caller.
    bool isIdle() const;

    // For the engine's processing, on the worker: it is done with the bitmaps, which the
    // window's thread may use from now on.
    void bitmapsReleased();
    std::optional<qintptr> sendToWindow(int id, qintptr wParam = 0, qintptr lParam = 0)
    {
        return send(id, wParam, lParam);
    }

protected:
    void execute() override;
    void wakeUp() override;

private:
    TEditImage& mOwner;
    const bool mPreview;
    mutable std::mutex mMutex;
    std::condition_variable mEvent;
    EditAction mPending;
    quint64 mSerial = 0;
    bool mBusy = false;
};
