#include "WindowMessenger.h"

#include <QMetaObject>
#include <QObject>

#include <exception>

// Lives on the window's thread. The queued call to deliver() is only a wake-up and carries
// no data, so everything a worker hands over stays behind the channel's mutex, where the
// race detector can see the ordering.
class WindowMessengerRelay : public QObject
{
    Q_OBJECT

public:
    explicit WindowMessengerRelay(WindowMessenger& messenger) : mMessenger(messenger) {}

    Q_INVOKABLE void deliver() { mMessenger.deliverQueued(); }

private:
    WindowMessenger& mMessenger;
};

// Shared by the waiting sender and the window thread, so that either may finish first.
struct WindowMessenger::Request
{
    enum class State
    {
        Queued,
        Running,
        Answered,
        Dropped
    };

    explicit Request(const WindowMessage& m) : message(m) {}

    const WindowMessage message;
    State state = State::Queued;
    std::optional<qintptr> result;
};

WindowMessenger::WindowMessenger(Handler handler)
    : mHandler(std::move(handler)), mWindowThread(std::this_thread::get_id()),
      mRelay(std::make_unique<WindowMessengerRelay>(*this))
{}

WindowMessenger::~WindowMessenger()
{
    release();
}

std::optional<qintptr> WindowMessenger::send(int id, qintptr wParam, qintptr lParam)
{
    return send(WindowMessage{id, wParam, lParam, {}});
}

std::optional<qintptr> WindowMessenger::send(const WindowMessage& message)
{
    if (std::this_thread::get_id() == mWindowThread) {
        if (isReleased())
            return std::nullopt;
        return runHandler(message);
    }

    auto request = std::make_shared<Request>(message);
    std::unique_lock lock(mMutex);
    if (mReleased)
        return std::nullopt;
    mQueued.push_back(request);
    // Posted under the lock: Qt allocates the wake-up here and frees it on the window's
    // thread after deliver() has taken the lock, and only our lock orders the two for the
    // race detector.
    if (!QMetaObject::invokeMethod(mRelay.get(), "deliver", Qt::QueuedConnection)) {
        std::erase(mQueued, request);
        return std::nullopt;
    }
    mAnswered.wait(lock, [&] {
        return request->state == Request::State::Answered ||
               request->state == Request::State::Dropped;
    });
    return request->result;
}

void WindowMessenger::release()
{
    const std::lock_guard lock(mMutex);
    mReleased = true;
    for (const auto& request : mQueued)
        request->state = Request::State::Dropped;
    mQueued.clear();
    // On the window's thread every running handler is below us on this very stack; its
    // sender cannot get an answer before we return, so let it go now.
    if (std::this_thread::get_id() == mWindowThread) {
        for (const auto& request : mRunning)
            request->state = Request::State::Dropped;
    }
    mAnswered.notify_all();
}

bool WindowMessenger::isReleased() const
{
    const std::lock_guard lock(mMutex);
    return mReleased;
}

std::optional<qintptr> WindowMessenger::runHandler(const WindowMessage& message) const
{
    if (!mHandler)
        return std::nullopt;
    // An exception must not unwind through the event loop; the sender learns "not handled".
    try {
        return mHandler(message);
    } catch (const std::exception& e) {
        qWarning("WindowMessenger: handler of message %d threw: %s", message.id, e.what());
    } catch (...) {
        qWarning("WindowMessenger: handler of message %d threw", message.id);
    }
    return std::nullopt;
}

void WindowMessenger::deliverQueued()
{
    std::unique_lock lock(mMutex);
    while (!mQueued.empty()) {
        auto request = std::move(mQueued.front());
        mQueued.pop_front();
        request->state = Request::State::Running;
        mRunning.push_back(request);
        lock.unlock();

        auto result = runHandler(request->message);

        lock.lock();
        std::erase(mRunning, request);
        if (request->state == Request::State::Running) {
            request->result = result;
            request->state = Request::State::Answered;
            mAnswered.notify_all();
        }
    }
}

#include "WindowMessenger.moc"
