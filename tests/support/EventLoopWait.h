// Waiting in tests for what arrives through the event loop.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

// Runs the thread's events until the condition holds; false on time-out.
template <typename Condition>
bool pumpUntil(Condition condition, std::chrono::milliseconds limit = 10s)
{
    const QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Like pumpUntil, but looks at the condition after every single wake-up of the event loop, so
// that a state lasting only from one delivery to the next (a scan between two of its
// batches) is seen.
template <typename Condition>
bool pumpEventsUntil(Condition condition, std::chrono::milliseconds limit = 10s)
{
    const QDeadlineTimer deadline(limit);
    QTimer wake; // so that a wait with nothing arriving still sees the deadline
    wake.start(50);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the thread's events for a while, so that anything on its way arrives.
inline void pumpFor(std::chrono::milliseconds span)
{
    const QDeadlineTimer deadline(span);
    pumpUntil([&] { return deadline.hasExpired(); }, span + 1s);
}
