#include "GuiStallMonitor.h"

GuiStallMonitor::GuiStallMonitor(int tickMs) : mTickMs(tickMs)
{
    mTicker.setTimerType(Qt::PreciseTimer);
    mTicker.setInterval(tickMs);
    QObject::connect(&mTicker, &QTimer::timeout, [this] { beat(); });
}

void GuiStallMonitor::start()
{
    mLastTick = 0;
    mDiscountNs = 0;
    mClock.start();
    mTicker.start();
}

void GuiStallMonitor::stop()
{
    if (!mTicker.isActive())
        return;
    beat();
    mTicker.stop();
}

void GuiStallMonitor::beat()
{
    const qint64 now = mClock.nsecsElapsed();
    const double stallMs = double(now - mLastTick - mDiscountNs) / 1e6 - mTickMs;
    mLastTick = now;
    mDiscountNs = 0;
    if (stallMs > mLongestMs) {
        mLongestMs = stallMs;
        mLongestEndedSeconds = double(now) / 1e9;
        if (mOnLongest)
            mOnLongest();
    }
}
