#include "WindowMessenger.h"

#include "WorkerTestSupport.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

constexpr int WM_TEST = WM_USER + 1;

TEST(WindowMessenger, SendRunsTheHandlerOnTheWindowThreadAndReturnsItsResult)
{
    Watchdog dog;
    const auto windowThread = std::this_thread::get_id();
    std::thread::id handlerThread;
    WindowMessage seen;
    WindowMessenger messenger([&](const WindowMessage& m) {
        handlerThread = std::this_thread::get_id();
        seen = m;
        return m.wParam * 10 + m.lParam;
    });

    std::optional<qintptr> result;
    std::atomic<bool> done = false;
    std::thread sender([&] {
        result = messenger.send(WindowMessage{WM_TEST, 4, 2, QStringLiteral("a.jpg")});
        done = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    sender.join();

    EXPECT_EQ(result, 42);
    EXPECT_EQ(handlerThread, windowThread);
    EXPECT_EQ(seen.id, 1025);
    EXPECT_EQ(seen.text, QStringLiteral("a.jpg"));
}

// The design's hand-over: plain fields of the worker are read and written by the window only
// while the worker waits in the send. Under the race detector this checks the ordering too.
TEST(WindowMessenger, ManySendsArriveInOrderAndHandOverPlainFields)
{
    Watchdog dog;
    constexpr int count = 300;
    QString foundPath; // written by the worker, read by the handler
    QString nextFile;  // written by the handler, read by the worker
    std::vector<qintptr> order;
    WindowMessenger messenger([&](const WindowMessage& m) {
        order.push_back(m.wParam);
        nextFile = foundPath + QStringLiteral(".next");
        return m.wParam + 1;
    });

    std::vector<QString> answers;
    bool resultsRight = true;
    std::atomic<bool> done = false;
    std::thread sender([&] {
        for (int i = 0; i < count; ++i) {
            foundPath = QString::number(i);
            resultsRight = resultsRight && messenger.send(WM_TEST, i) == i + 1;
            answers.push_back(nextFile);
        }
        done = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    sender.join();

    EXPECT_TRUE(resultsRight);
    ASSERT_EQ(order.size(), size_t(count));
    ASSERT_EQ(answers.size(), size_t(count));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(answers[i], QString::number(i) + QStringLiteral(".next"));
    }
}

TEST(WindowMessenger, SeveralSendersAreAllAnswered)
{
    Watchdog dog;
    int handled = 0;
    WindowMessenger messenger([&](const WindowMessage& m) {
        ++handled;
        return m.wParam;
    });
    constexpr int perSender = 100;
    std::atomic<int> wrong = 0;
    std::atomic<int> finished = 0;
    std::vector<std::thread> senders;
    for (int s = 0; s < 3; ++s) {
        senders.emplace_back([&, s] {
            for (int i = 0; i < perSender; ++i) {
                if (messenger.send(WM_TEST, s * 1000 + i) != s * 1000 + i)
                    ++wrong;
            }
            ++finished;
        });
    }
    ASSERT_TRUE(pumpUntil([&] { return finished.load() == 3; }));
    for (auto& t : senders)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(handled, 3 * perSender);
}

TEST(WindowMessenger, SendFromTheWindowThreadRunsTheHandlerDirectly)
{
    int calls = 0;
    WindowMessenger messenger([&](const WindowMessage& m) {
        ++calls;
        return m.lParam;
    });
    // No event processing: the answer must come back from within send() itself.
    EXPECT_EQ(messenger.send(WM_TEST, 0, 7), 7);
    EXPECT_EQ(calls, 1);

    messenger.release();
    EXPECT_EQ(messenger.send(WM_TEST, 0, 7), std::nullopt);
    EXPECT_EQ(calls, 1);
}

TEST(WindowMessenger, SendAfterReleaseReturnsAtOnceWithoutRunningTheHandler)
{
    Watchdog dog;
    int calls = 0;
    WindowMessenger messenger([&](const WindowMessage&) {
        ++calls;
        return qintptr(1);
    });
    messenger.release();
    EXPECT_TRUE(messenger.isReleased());

    std::optional<qintptr> result = 5;
    // Nobody pumps events here: a send that waited would never return.
    std::thread sender([&] { result = messenger.send(WM_TEST); });
    sender.join();
    EXPECT_EQ(result, std::nullopt);
    pumpFor(50ms);
    EXPECT_EQ(calls, 0);
}

TEST(WindowMessenger, ReleaseFromAnotherThreadLetsARunningHandlerFinish)
{
    Watchdog dog;
    std::atomic<bool> handlerStarted = false;
    std::atomic<bool> released = false;
    WindowMessenger messenger([&](const WindowMessage&) {
        handlerStarted = true;
        while (!released)
            std::this_thread::sleep_for(1ms);
        return qintptr(42);
    });

    std::optional<qintptr> result;
    std::atomic<bool> done = false;
    std::thread sender([&] {
        result = messenger.send(WM_TEST);
        done = true;
    });
    std::thread releaser([&] {
        while (!handlerStarted)
            std::this_thread::sleep_for(1ms);
        messenger.release();
        released = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    sender.join();
    releaser.join();
    EXPECT_EQ(result, 42);
}

// A modal dialog inside a handler runs a nested event loop; a cancel from inside it must not
// wait for the very handler it is nested in.
TEST(WindowMessenger, ReleaseFromInsideTheRunningHandlerLetsTheSenderGo)
{
    Watchdog dog;
    std::optional<qintptr> result = 5;
    std::atomic<bool> senderReturned = false;
    bool senderReturnedInsideHandler = false;
    std::unique_ptr<WindowMessenger> messenger;
    messenger = std::make_unique<WindowMessenger>([&](const WindowMessage&) {
        QEventLoop modal;
        QTimer::singleShot(0, &modal, [&] {
            messenger->release();
            senderReturnedInsideHandler = pumpUntil([&] { return senderReturned.load(); }, 5s);
            modal.quit();
        });
        modal.exec();
        return qintptr(99);
    });

    std::thread sender([&] {
        result = messenger->send(WM_TEST);
        senderReturned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return senderReturned.load(); }));
    sender.join();
    EXPECT_TRUE(senderReturnedInsideHandler);
    EXPECT_EQ(result, std::nullopt);
}

TEST(WindowMessenger, AThrowingHandlerAnswersNotHandled)
{
    Watchdog dog;
    WindowMessenger messenger([](const WindowMessage& m) -> qintptr {
        if (m.wParam == 0)
            throw std::runtime_error("bad message");
        return m.wParam;
    });
    std::optional<qintptr> first = 5;
    std::optional<qintptr> second;
    std::atomic<bool> done = false;
    std::thread sender([&] {
        first = messenger.send(WM_TEST, 0);
        second = messenger.send(WM_TEST, 3);
        done = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    sender.join();
    EXPECT_EQ(first, std::nullopt);
    EXPECT_EQ(second, 3);
    EXPECT_EQ(messenger.send(WM_TEST, 0), std::nullopt);
}

TEST(WindowMessenger, AnEmptyHandlerAnswersNotHandled)
{
    WindowMessenger messenger{WindowMessenger::Handler()};
    EXPECT_EQ(messenger.send(WM_TEST), std::nullopt);
}

} // namespace
