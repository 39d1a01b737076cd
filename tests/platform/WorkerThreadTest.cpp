#include "WorkerTestSupport.h"

#include <QMetaObject>
#include <QThread>

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>

namespace {

constexpr int WM_THUMB_DONE = WM_USER + 1;

// Sends once and then idles until told to end, like a worker with nothing more to do.
struct SendOnce
{
    std::atomic<bool> aboutToSend = false;
    std::atomic<bool> returned = false;
    std::optional<qintptr> result = -1; // read only after the worker has ended

    LambdaWorker::Body body()
    {
        return [this](LambdaWorker& w) {
            aboutToSend = true;
            result = w.send(WM_THUMB_DONE);
            returned = true;
            while (!w.isTerminated())
                std::this_thread::sleep_for(1ms);
        };
    }
};

// Answers 1 and counts the messages it handled.
WindowMessenger::Handler countingHandler(int& handled)
{
    return [&handled](const WindowMessage&) {
        ++handled;
        return qintptr(1);
    };
}

TEST(WorkerThread, StopWhileTheWorkerWaitsInASendReleasesItAndDropsTheMessage)
{
    Watchdog dog;
    SendOnce job;
    int handled = 0;
    auto worker = std::make_unique<LambdaWorker>(job.body(), countingHandler(handled));
    bool stoppedInHandler = false;
    // The window stops the worker from one of its own event handlers, queued ahead of the
    // worker's message.
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            while (!job.aboutToSend)
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(50ms); // let the send be queued behind us
            worker->stop();
            stoppedInHandler = true;
        },
        Qt::QueuedConnection);
    worker->start();

    ASSERT_TRUE(pumpUntil([&] { return stoppedInHandler; }));
    EXPECT_FALSE(worker->isRunning());
    EXPECT_TRUE(job.returned);
    EXPECT_EQ(job.result, std::nullopt);
    pumpFor(100ms);
    EXPECT_EQ(handled, 0);
}

TEST(WorkerThread, DestroyingTheWorkerWhileItWaitsInASendDoesNotDeadlock)
{
    Watchdog dog;
    SendOnce job;
    int handled = 0;
    auto worker = std::make_unique<LambdaWorker>(job.body(), countingHandler(handled));
    worker->start();
    while (!job.aboutToSend)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    worker.reset();
    EXPECT_EQ(job.result, std::nullopt);
    pumpFor(100ms);
    EXPECT_EQ(handled, 0);
}

TEST(WorkerThread, StopFromAnotherThreadLetsTheRunningHandlerFinishWithItsResult)
{
    Watchdog dog;
    SendOnce job;
    std::atomic<bool> handlerStarted = false;
    std::unique_ptr<LambdaWorker> worker;
    worker = std::make_unique<LambdaWorker>(job.body(), [&](const WindowMessage&) {
        handlerStarted = true;
        while (!worker->isTerminated())
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms); // the stopper is now releasing and joining
        return qintptr(42);
    });
    worker->start();

    std::atomic<bool> stopped = false;
    std::thread stopper([&] {
        while (!handlerStarted)
            std::this_thread::sleep_for(1ms);
        worker->stop();
        stopped = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return stopped.load(); }));
    stopper.join();
    EXPECT_FALSE(worker->isRunning());
    EXPECT_EQ(job.result, 42);
}

TEST(WorkerThread, StopFromInsideTheHandlerOfItsOwnSendDoesNotDeadlock)
{
    Watchdog dog;
    SendOnce job;
    std::unique_ptr<LambdaWorker> worker;
    bool stoppedInside = false;
    worker = std::make_unique<LambdaWorker>(job.body(), [&](const WindowMessage&) {
        worker->stop();
        stoppedInside = !worker->isRunning();
        return qintptr(7);
    });
    worker->start();
    ASSERT_TRUE(pumpUntil([&] { return stoppedInside; }));
    EXPECT_EQ(job.result, std::nullopt);
}

TEST(WorkerThread, StopOfAnIdleOrUnstartedWorkerReturnsAtOnce)
{
    Watchdog dog;
    auto handler = [](const WindowMessage&) { return qintptr(0); };
    LambdaWorker idle(
        [](LambdaWorker& w) {
            while (!w.isTerminated())
                std::this_thread::sleep_for(5ms);
        },
        handler);
    idle.start();
    EXPECT_TRUE(idle.isRunning());
    EXPECT_EQ(idle.cancelFlag().load(), 0);
    idle.stop();
    EXPECT_FALSE(idle.isRunning());
    EXPECT_TRUE(idle.isTerminated());
    EXPECT_NE(idle.cancelFlag().load(), 0);
    idle.stop(); // a second stop is harmless

    LambdaWorker never([](LambdaWorker&) { FAIL() << "never started"; }, handler);
    never.stop();
    EXPECT_FALSE(never.isRunning());
    never.start(); // one run per object: a stopped worker stays stopped
    EXPECT_FALSE(never.isRunning());
}

TEST(WorkerThread, TheCancelFlagStopsALongCallAndTheWorkerEnds)
{
    Watchdog dog;
    std::atomic<bool> callStarted = false;
    bool stoppedByFlag = false;
    LambdaWorker worker(
        [&](LambdaWorker& w) {
            // Stands for a library call that polls the flag it was handed.
            std::atomic<int>* cancel = &w.cancelFlag();
            callStarted = true;
            while (cancel->load() == 0)
                std::this_thread::sleep_for(1ms);
            stoppedByFlag = true;
        },
        [](const WindowMessage&) { return qintptr(0); });
    worker.start();
    while (!callStarted)
        std::this_thread::sleep_for(1ms);
    worker.stop();
    EXPECT_TRUE(stoppedByFlag);
}

// Waits for requests on its own condition without a time-out, as the edit engine's worker
// waits on its event.
class RequestWorker : public WorkerThread
{
public:
    RequestWorker() : WorkerThread([](const WindowMessage&) { return qintptr(0); }) {}
    ~RequestWorker() override { stop(); }

    std::atomic<bool> waiting = false;

protected:
    void execute() override
    {
        std::unique_lock lock(mMutex);
        while (!isTerminated()) {
            waiting = true;
            mWake.wait(lock);
        }
    }
    void wakeUp() override
    {
        const std::lock_guard lock(mMutex);
        mWake.notify_all();
    }

private:
    std::mutex mMutex;
    std::condition_variable mWake;
};

TEST(WorkerThread, StopWakesAWorkerThatSleepsOnItsOwnCondition)
{
    Watchdog dog;
    RequestWorker worker;
    worker.start();
    while (!worker.waiting)
        std::this_thread::sleep_for(1ms);
    worker.stop();
    EXPECT_FALSE(worker.isRunning());
}

TEST(WorkerThread, RequestStopLetsTheWorkerReportItsOwnEnd)
{
    Watchdog dog;
    std::atomic<bool> working = false;
    int cancelledReports = 0;
    LambdaWorker worker(
        [&](LambdaWorker& w) {
            working = true;
            while (!w.isTerminated())
                std::this_thread::sleep_for(1ms);
            w.send(WM_USER + 4);
        },
        [&](const WindowMessage& m) {
            cancelledReports += m.id == WM_USER + 4;
            return qintptr(0);
        });
    worker.start();
    while (!working)
        std::this_thread::sleep_for(1ms);
    worker.requestStop();
    ASSERT_TRUE(pumpUntil([&] { return !worker.isRunning(); }));
    EXPECT_EQ(cancelledReports, 1);
}

TEST(WorkerThread, AnExceptionInTheBodyEndsTheWorkerQuietly)
{
    Watchdog dog;
    LambdaWorker worker([](LambdaWorker&) { throw std::runtime_error("copy failed"); },
                        [](const WindowMessage&) { return qintptr(0); });
    worker.start();
    ASSERT_TRUE(pumpUntil([&] { return !worker.isRunning(); }));
    worker.stop();
}

TEST(WorkerThread, RunsInTheIdleClassWhenAskedAndStopsFromIt)
{
    Watchdog dog;
    std::atomic<int> policyAtStart = -1;
    std::atomic<bool> lowered = false;
    std::atomic<int> policyLater = -1;
    LambdaWorker worker(
        [&](LambdaWorker& w) {
            policyAtStart = sched_getscheduler(0);
            while (!lowered)
                std::this_thread::sleep_for(1ms);
            policyLater = sched_getscheduler(0);
            while (!w.isTerminated())
                std::this_thread::sleep_for(1ms);
        },
        [](const WindowMessage&) { return qintptr(0); });
    worker.start();
    ASSERT_TRUE(pumpUntil([&] { return policyAtStart.load() != -1; }));
    EXPECT_EQ(policyAtStart.load(), SCHED_OTHER);
    worker.setPriority(QThread::IdlePriority);
    lowered = true;
    ASSERT_TRUE(pumpUntil([&] { return policyLater.load() != -1; }));
    EXPECT_EQ(policyLater.load(), SCHED_IDLE);
    worker.stop();
    EXPECT_FALSE(worker.isRunning());

    std::atomic<int> idlePolicy = -1;
    LambdaWorker idle([&](LambdaWorker&) { idlePolicy = sched_getscheduler(0); },
                      [](const WindowMessage&) { return qintptr(0); });
    idle.start(QThread::IdlePriority);
    idle.stop();
    EXPECT_EQ(idlePolicy.load(), SCHED_IDLE);
}

TEST(WorkerThread, AStopStopsFromWithinTheWorkerWithoutWaitingForItself)
{
    Watchdog dog;
    std::atomic<bool> pastStop = false;
    LambdaWorker worker(
        [&](LambdaWorker& w) {
            w.stop();
            pastStop = true;
        },
        [](const WindowMessage&) { return qintptr(0); });
    worker.start();
    ASSERT_TRUE(pumpUntil([&] { return !worker.isRunning(); }));
    EXPECT_TRUE(pastStop);
    EXPECT_TRUE(worker.isTerminated());
}

// A thumbnail-style worker that sends as fast as it can, stopped at random moments: once
// stop() has returned, no handler may run any more, and every answer that came back must be
// the right one.
TEST(WorkerThread, StoppingABusyWorkerAtRandomMomentsNeverRunsAReleasedMessage)
{
    Watchdog dog(120s);
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        int handled = 0;
        qintptr nextFile = 0; // written by the handler only while the worker waits
        bool answersRight = true;
        auto worker = std::make_unique<LambdaWorker>(
            [&](LambdaWorker& w) {
                for (qintptr i = 0; !w.isTerminated(); ++i) {
                    const auto result = w.send(WM_THUMB_DONE, i);
                    if (result && (*result != i || nextFile != i + 1))
                        answersRight = false;
                }
            },
            [&](const WindowMessage& m) {
                ++handled;
                nextFile = m.wParam + 1;
                return m.wParam;
            });
        worker->start(round % 2 ? QThread::IdlePriority : QThread::InheritPriority);
        pumpFor(std::chrono::milliseconds(random() % 15));
        if (round % 3 == 0) {
            // Stop from inside an event handler, as a button click would.
            bool stopped = false;
            QMetaObject::invokeMethod(
                qApp,
                [&] {
                    worker->stop();
                    stopped = true;
                },
                Qt::QueuedConnection);
            ASSERT_TRUE(pumpUntil([&] { return stopped; }));
        } else {
            worker->stop();
        }
        const int handledAtStop = handled;
        pumpFor(5ms);
        EXPECT_EQ(handled, handledAtStop) << "round " << round;
        EXPECT_TRUE(answersRight) << "round " << round;
    }
}

} // namespace
