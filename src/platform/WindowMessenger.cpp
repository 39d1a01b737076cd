#include "WindowMessenger.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <exception>
#include <stdexcept>

namespace {

int makeWakeFd()
{
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        throw std::runtime_error("WindowMessenger: no eventfd for the wake-up");
    return fd;
}

} // namespace

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
      mWakeFd(makeWakeFd()),
      mWakeNotifier(std::make_unique<QSocketNotifier>(mWakeFd, QSocketNotifier::Read))
{
    QObject::connect(mWakeNotifier.get(), &QSocketNotifier::activated, [this] {
        std::uint64_t count = 0;
        while (::read(mWakeFd, &count, sizeof count) < 0 && errno == EINTR) {
        }
        deliverQueued();
    });
}

WindowMessenger::~WindowMessenger()
{
    release();
    mWakeNotifier.reset();
    ::close(mWakeFd);
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
    // The wake-up is an eventfd rather than a posted Qt event: posting from several workers
    // at once meets inside Qt's event queue, behind locks the race detector cannot see,
    // while a write to a descriptor is plain and carries no data.
    const std::uint64_t one = 1;
    ssize_t written;
    while ((written = ::write(mWakeFd, &one, sizeof one)) < 0 && errno == EINTR) {
    }
    if (written != sizeof one) {
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
