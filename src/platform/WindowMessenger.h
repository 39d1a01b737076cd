// Stands for SendMessage from a worker thread to a window: the worker waits for the answer.
#pragma once

#include <QString>
#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class QSocketNotifier;

// First private message number; a worker's messages are WM_USER + n.
inline constexpr int WM_USER = 0x0400;

struct WindowMessage
{
    int id = 0;
    qintptr wParam = 0;
    qintptr lParam = 0;
    // A name that travels with the message (a copy, so its lifetime is no concern).
    QString text;
};

// A synchronous channel from worker threads to one window. The window's thread creates it
// with the handler (the window procedure) and destroys it after every sender has ended.
//
// While a worker waits in send(), the window may read and write the worker's fields: the
// hand-over is ordered by the channel's mutex. To stop a worker, release() the channel
// first and join the worker afterwards; a worker waiting in send() then gets std::nullopt
// and its message is never handled.
class WindowMessenger
{
public:
    using Handler = std::function<qintptr(const WindowMessage&)>;

    explicit WindowMessenger(Handler handler);
    ~WindowMessenger();

    WindowMessenger(const WindowMessenger&) = delete;
    WindowMessenger& operator=(const WindowMessenger&) = delete;

    // Runs the handler on the window's thread and returns its result; std::nullopt when the
    // message was not handled (the channel was released first, or the handler threw).
    // On the window's own thread the handler runs directly.
    std::optional<qintptr> send(const WindowMessage& message);
    std::optional<qintptr> send(int id, qintptr wParam = 0, qintptr lParam = 0);

    // Ends the channel for good: queued messages are dropped and later sends return
    // std::nullopt at once. A handler already running on the window's thread finishes and
    // its worker gets the result - unless release() is called from inside that handler (on
    // the window's thread, e.g. from a nested event loop), where waiting for it would
    // deadlock: then its worker gets std::nullopt at once and the result is discarded.
    void release();
    bool isReleased() const;

private:
    friend class QSocketNotifier;
    struct Request;

    std::optional<qintptr> runHandler(const WindowMessage& message) const;
    void deliverQueued();

    const Handler mHandler;
    const std::thread::id mWindowThread;
    // Workers write to it to wake the window's thread, which then runs what is queued.
    const int mWakeFd;
    std::unique_ptr<QSocketNotifier> mWakeNotifier;

    mutable std::mutex mMutex;
    std::condition_variable mAnswered;
    bool mReleased = false;
    std::deque<std::shared_ptr<Request>> mQueued;
    std::vector<std::shared_ptr<Request>> mRunning;
};
