// The GUI thread's longest stall while a benchmark runs: a precise timer ticks on the GUI
// thread, and a stall is how much longer than one tick the thread went without delivering one.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

class GuiStallMonitor
{
public:
    explicit GuiStallMonitor(int tickMs);

    void start();
    // Counts the gap since the last tick too, so a stall at the very end is not missed.
    void stop();

    // Time the benchmark itself spent on the GUI thread since the last tick, which is no stall.
    void discount(qint64 ns) { mDiscountNs += ns; }
    // Called when a new longest stall ends, e.g. to note what was on screen.
    void setOnLongest(std::function<void()> onLongest) { mOnLongest = std::move(onLongest); }

    double longestMs() const { return mLongestMs; }
    // When the longest stall ended, in seconds after start().
    double longestEndedSeconds() const { return mLongestEndedSeconds; }

private:
    void beat();

    const int mTickMs;
    QTimer mTicker;
    QElapsedTimer mClock;
    qint64 mLastTick = 0;
    qint64 mDiscountNs = 0;
    double mLongestMs = 0;
    double mLongestEndedSeconds = 0;
    std::function<void()> mOnLongest;
};
