// Repeats a held arrow of the custom scroll bar: sends the bar a step message at once and
// then once every interval until it is asked to end.
#pragma once

#include "WorkerThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// The bar's own messages; wParam is the step in pixels.
inline constexpr int WM_SCROLL_ARROW_FIRST = WM_USER + 1;  // up or left arrow held
inline constexpr int WM_SCROLL_ARROW_SECOND = WM_USER + 2; // down or right arrow held

class TVelkoScrollTimerThread final : public WorkerThread
{
public:
    enum class Direction
    {
        TowardStart,
        TowardEnd
    };

    static constexpr std::chrono::milliseconds kInterval{100};
    static constexpr int kMinStep = 10;

    // Starts at once. step is the bar's repeat step in pixels, raised to kMinStep; each
    // message carries a tenth of it.
    TVelkoScrollTimerThread(WindowMessenger::Handler handler, Direction direction, int step,
                            std::chrono::milliseconds interval = kInterval);
    ~TVelkoScrollTimerThread() override;

protected:
    void execute() override;
    void wakeUp() override;

private:
    const Direction mDirection;
    const int mStep;
    const std::chrono::milliseconds mInterval;

    std::mutex mMutex;
    std::condition_variable mStopAsked;
};
