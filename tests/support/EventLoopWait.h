// Waiting in tests for what arrives through the event loop.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

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

// Runs the thread's events for a while, so that anything on its way arrives.
inline void pumpFor(std::chrono::milliseconds span)
{
    const QDeadlineTimer deadline(span);
    pumpUntil([&] { return deadline.hasExpired(); }, span + 1s);
}
