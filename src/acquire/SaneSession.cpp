#include "SaneSession.h"

#include "ImagingResult.h"
#include "JpegCodec.h"
#include "NumberedPicture.h"
#include "SaneFrame.h"
#include "SaneLibrary.h"
#include "SaneOptionConversion.h"
#include "uLanguage.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <poll.h>
#include <sane/saneopts.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kJpegQualityFactor = 2;
constexpr int kScanNumberDigits = 5;
constexpr SANE_Int kReadBufferSize = 256 * 1024;
constexpr int kSelectTimeoutMs = 250;
constexpr int kMaxEncoders = 4;

// Threads that run the jobs handed to them, sleeping while there are none. With one thread
// the jobs run in order. With a bound, post() waits while that many jobs are queued or
// running, so a fast producer cannot pile up work (pages of a hundred megabytes each).
class JobQueue
{
public:
    explicit JobQueue(int threads = 1, int bound = 0) : mBound(bound)
    {
        for (int i = 0; i < threads; ++i)
            mThreads.emplace_back([this] { run(); });
    }
    ~JobQueue() { stop(); }

    void post(std::function<void()> job)
    {
        {
            std::unique_lock lock(mMutex);
            if (mBound > 0)
                mIdle.wait(lock,
                           [this] { return mStopping || int(mJobs.size()) + mBusy < mBound; });
            if (mStopping)
                return;
            mJobs.push_back(std::move(job));
        }
        mWake.notify_one();
    }

    // Waits until every job posted so far has run. Not from one of the threads.
    void waitIdle()
    {
        std::unique_lock lock(mMutex);
        mIdle.wait(lock, [this] { return (mJobs.empty() && mBusy == 0) || mStopping; });
    }

    // Drops the jobs not yet started, lets the running ones finish and joins.
    void stop()
    {
        {
            std::lock_guard lock(mMutex);
            mStopping = true;
            mJobs.clear();
        }
        mWake.notify_all();
        mIdle.notify_all();
        for (std::thread& thread : mThreads)
            if (thread.joinable())
                thread.join();
    }

private:
    void run()
    {
        std::unique_lock lock(mMutex);
        for (;;) {
            mWake.wait(lock, [this] { return mStopping || !mJobs.empty(); });
            if (mStopping)
                break;
            std::function<void()> job = std::move(mJobs.front());
            mJobs.pop_front();
            ++mBusy;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            --mBusy;
            mIdle.notify_all();
        }
    }

    const int mBound;
    std::mutex mMutex;
    std::condition_variable mWake;
    std::condition_variable mIdle;
    std::deque<std::function<void()>> mJobs;
    bool mStopping = false;
    int mBusy = 0;
    std::vector<std::thread> mThreads; // last: they start on the members above
};

SaneFrameParameters frameParametersOf(const SANE_Parameters& parameters)
{
    SaneFrameParameters frame;
    switch (parameters.format) {
    case SANE_FRAME_GRAY:
        frame.format = SaneFrameParameters::Format::Gray;
        break;
    case SANE_FRAME_RGB:
        frame.format = SaneFrameParameters::Format::Rgb;
        break;
    case SANE_FRAME_RED:
        frame.format = SaneFrameParameters::Format::Red;
        break;
    case SANE_FRAME_GREEN:
        frame.format = SaneFrameParameters::Format::Green;
        break;
    case SANE_FRAME_BLUE:
        frame.format = SaneFrameParameters::Format::Blue;
        break;
    }
    frame.lastFrame = parameters.last_frame != SANE_FALSE;
    frame.bytesPerLine = parameters.bytes_per_line;
    frame.pixelsPerLine = parameters.pixels_per_line;
    frame.lines = parameters.lines;
    frame.depth = parameters.depth;
    return frame;
}

bool isSingleColourPass(SANE_Frame format)
{
    return format == SANE_FRAME_RED || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
}

} // namespace

struct SaneSession::Private
{
    explicit Private(SaneSession* session) : q(session) {}

    // Results travel to the session's own thread through a queue of the session's (a mutex
    // and an eventfd), where the signals are emitted: ThreadSanitizer sees this hand-over,
    // which Qt's event queue would hide from it.
    template <typename... Parameters, typename... Args>
    void deliver(void (SaneSession::*signal)(Parameters...), Args&&... args)
    {
        post([q = q, signal, ... values = std::forward<Args>(args)] { (q->*signal)(values...); });
    }
    void post(std::function<void()> delivery);
    void deliverAll();

    // All of the following run on the session thread only.
    bool ensureInitialised();
    void listDevices();
    void open(const QByteArray& deviceName);
    void readOptions();
    void control(int index, SANE_Action action, const QVariant& value);
    void closeDevice(bool announce);
    void shutDown();
    void scan(const QString& folder, int generation);
    enum class PageEnd
    {
        Done,
        Cancelled,
        Failed
    };
    PageEnd scanPage(int page, int generation, SaneFrameAssembler& assembler, SANE_Status& status);
    SANE_Status readFrame(int page, int frame, int frames, int generation,
                          const SANE_Parameters& parameters, SaneFrameAssembler& assembler);
    bool waitForData(int selectFd, int generation);
    QVariant optionValue(const QByteArray& name);
    bool cancelled(int generation) const { return mCancelledGeneration.load() >= generation; }

    SaneSession* const q;
    std::mutex mDeliveryMutex;
    std::deque<std::function<void()>> mDeliveries;
    int mDeliveryFd = -1;
    std::unique_ptr<QSocketNotifier> mDeliveryNotifier;

    std::shared_ptr<const SaneLibrary> mLibrary;
    bool mInitialised = false;
    SANE_Handle mHandle = nullptr;
    std::vector<std::uint8_t> mReadBuffer;

    std::atomic<int> mScanGeneration = 0;
    std::atomic<int> mCancelledGeneration = 0;
    int mWakeFd = -1; // an eventfd that a cancel writes, so a wait for data ends at once

    // Encodes and saves pages while the next one is scanned; a page takes longer to encode
    // at the program's quality than to scan, so on more than one core several at a time.
    std::unique_ptr<JobQueue> mSaver;
    std::atomic<int> mPagesSaved = 0;
    // Declared last: destroyed (joined) first, while everything it uses still exists.
    std::unique_ptr<JobQueue> mThread;
};

void SaneSession::Private::post(std::function<void()> delivery)
{
    {
        std::lock_guard lock(mDeliveryMutex);
        mDeliveries.push_back(std::move(delivery));
    }
    ::eventfd_write(mDeliveryFd, 1);
}

void SaneSession::Private::deliverAll()
{
    eventfd_t count;
    ::eventfd_read(mDeliveryFd, &count);
    std::deque<std::function<void()>> ready;
    {
        std::lock_guard lock(mDeliveryMutex);
        ready.swap(mDeliveries);
    }
    // A receiver may delete the session; the rest is then dropped with it.
    const QPointer<SaneSession> alive(q);
    for (const std::function<void()>& delivery : ready) {
        delivery();
        if (!alive)
            return;
    }
}

bool SaneSession::Private::ensureInitialised()
{
    if (mInitialised)
        return true;
    if (!mLibrary)
        mLibrary = SaneLibrary::load();
    if (!mLibrary)
        return false;
    SANE_Int version = 0;
    mInitialised = mLibrary->init(&version, nullptr) == SANE_STATUS_GOOD;
    return mInitialised;
}

void SaneSession::Private::listDevices()
{
    if (!ensureInitialised()) {
        deliver(&SaneSession::devicesListed, QList<SaneDeviceInfo>(), kStatusNoLibrary);
        return;
    }
    const SANE_Device** list = nullptr;
    const SANE_Status status = mLibrary->getDevices(&list, SANE_FALSE);
    QList<SaneDeviceInfo> devices;
    for (int i = 0; status == SANE_STATUS_GOOD && list && list[i]; ++i) {
        const SANE_Device& device = *list[i];
        SaneDeviceInfo info;
        info.name = QByteArray(device.name ? device.name : "");
        info.vendor = QString::fromUtf8(device.vendor ? device.vendor : "");
        info.model = QString::fromUtf8(device.model ? device.model : "");
        info.type = QString::fromUtf8(device.type ? device.type : "");
        devices.append(info);
    }
    deliver(&SaneSession::devicesListed, devices, int(status));
}

void SaneSession::Private::open(const QByteArray& deviceName)
{
    closeDevice(false);
    if (!ensureInitialised()) {
        deliver(&SaneSession::opened, false, GetText(801));
        return;
    }
    SANE_Handle handle = nullptr;
    const SANE_Status status = mLibrary->open(deviceName.constData(), &handle);
    if (status != SANE_STATUS_GOOD || !handle) {
        deliver(&SaneSession::opened, false, mLibrary->statusText(status));
        return;
    }
    mHandle = handle;
    deliver(&SaneSession::opened, true, QString());
}

void SaneSession::Private::readOptions()
{
    QList<SaneOption> options;
    if (!mHandle) {
        deliver(&SaneSession::optionsRead, options);
        return;
    }
    // Option 0 holds the number of options, itself included.
    SANE_Int count = 0;
    if (mLibrary->controlOption(mHandle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) !=
        SANE_STATUS_GOOD)
        count = 0;
    QString group;
    QByteArray buffer;
    for (SANE_Int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = mLibrary->getOptionDescriptor(mHandle, index);
        if (!descriptor)
            continue;
        SaneOption option = saneOptionFromDescriptor(index, *descriptor, group);
        if (option.isGroup()) {
            group = option.title;
            option.group = group;
        } else if (option.active && option.readable && option.type != SaneOption::Type::Button &&
                   descriptor->size > 0) {
            buffer.fill('\0', descriptor->size);
            if (mLibrary->controlOption(mHandle, index, SANE_ACTION_GET_VALUE, buffer.data(),
                                        nullptr) == SANE_STATUS_GOOD)
                option.value = saneValueFromBuffer(option, buffer);
        }
        options.append(option);
    }
    deliver(&SaneSession::optionsRead, options);
}

void SaneSession::Private::control(int index, SANE_Action action, const QVariant& value)
{
    const SANE_Option_Descriptor* descriptor =
        mHandle ? mLibrary->getOptionDescriptor(mHandle, index) : nullptr;
    if (!descriptor || index <= 0) {
        deliver(&SaneSession::optionSet, index, false, false,
                mLibrary ? mLibrary->statusText(SANE_STATUS_INVAL) : QString());
        return;
    }
    const SaneOption option = saneOptionFromDescriptor(index, *descriptor, {});
    QByteArray buffer;
    QString error;
    if (action == SANE_ACTION_SET_VALUE && option.type != SaneOption::Type::Button &&
        !saneValueToBuffer(option, value, descriptor->size, buffer, &error)) {
        // What is wrong with the value is for the log; the user sees SANE's own words.
        qWarning("Scanner option %d: %s", index, qUtf8Printable(error));
        deliver(&SaneSession::optionSet, index, false, false,
                mLibrary->statusText(SANE_STATUS_INVAL));
        return;
    }
    SANE_Int info = 0;
    const SANE_Status status = mLibrary->controlOption(
        mHandle, index, action, buffer.isEmpty() ? nullptr : buffer.data(), &info);
    if (status != SANE_STATUS_GOOD) {
        deliver(&SaneSession::optionSet, index, false, false, mLibrary->statusText(status));
        return;
    }
    deliver(&SaneSession::optionSet, index, (info & SANE_INFO_RELOAD_OPTIONS) != 0,
            (info & SANE_INFO_RELOAD_PARAMS) != 0, QString());
}

void SaneSession::Private::closeDevice(bool announce)
{
    if (mHandle) {
        mLibrary->close(mHandle);
        mHandle = nullptr;
    }
    if (announce)
        deliver(&SaneSession::closed);
}

void SaneSession::Private::shutDown()
{
    closeDevice(false);
    if (mInitialised)
        mLibrary->exit();
    mInitialised = false;
}

QVariant SaneSession::Private::optionValue(const QByteArray& name)
{
    SANE_Int count = 0;
    if (mLibrary->controlOption(mHandle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) !=
        SANE_STATUS_GOOD)
        return {};
    for (SANE_Int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = mLibrary->getOptionDescriptor(mHandle, index);
        if (!descriptor || !descriptor->name || name != descriptor->name)
            continue;
        const SaneOption option = saneOptionFromDescriptor(index, *descriptor, {});
        if (!option.active || !option.readable || descriptor->size <= 0)
            return {};
        QByteArray buffer(descriptor->size, '\0');
        if (mLibrary->controlOption(mHandle, index, SANE_ACTION_GET_VALUE, buffer.data(),
                                    nullptr) != SANE_STATUS_GOOD)
            return {};
        return saneValueFromBuffer(option, buffer);
    }
    return {};
}

bool SaneSession::Private::waitForData(int selectFd, int generation)
{
    pollfd fds[2] = {{selectFd, POLLIN, 0}, {mWakeFd, POLLIN, 0}};
    for (;;) {
        if (cancelled(generation))
            return false;
        // The time-out only guards against a descriptor that never turns readable although
        // the backend holds data: the read then simply blocks as it would without one.
        const int ready = ::poll(fds, 2, kSelectTimeoutMs);
        if (ready == 0 || (ready < 0 && errno != EINTR))
            return true; // let the read wait, or report what is wrong
        if (fds[1].revents & POLLIN) {
            eventfd_t drained;
            ::eventfd_read(mWakeFd, &drained); // a cancel of an earlier scan, or ours
            continue;
        }
        if (ready > 0)
            return true;
    }
}

SANE_Status SaneSession::Private::readFrame(int page, int frame, int frames, int generation,
                                            const SANE_Parameters& parameters,
                                            SaneFrameAssembler& assembler)
{
    // Reads block, but where the backend offers a descriptor that turns readable with data,
    // the wait happens in poll() beside the cancel's wake-up, so a cancel ends a slow read
    // at once. Non-blocking reads are not used: some backends report the end of the page
    // when no data is ready yet.
    int selectFd = -1;
    if (mLibrary->getSelectFd(mHandle, &selectFd) != SANE_STATUS_GOOD)
        selectFd = -1;
    const qint64 total =
        parameters.lines > 0 ? qint64(parameters.lines) * qint64(parameters.bytes_per_line) : 0;
    qint64 done = 0;
    int shownPercent = -2;
    for (;;) {
        if (cancelled(generation))
            return SANE_STATUS_CANCELLED;
        if (selectFd >= 0 && !waitForData(selectFd, generation))
            return SANE_STATUS_CANCELLED;
        SANE_Int length = 0;
        const SANE_Status status =
            mLibrary->read(mHandle, mReadBuffer.data(), kReadBufferSize, &length);
        if (status == SANE_STATUS_EOF)
            return SANE_STATUS_GOOD;
        if (status != SANE_STATUS_GOOD)
            return status;
        if (length <= 0)
            continue;
        if (!assembler.append(mReadBuffer.data(), size_t(length)))
            return SANE_STATUS_INVAL;
        done += length;
        const int percent =
            total > 0 ? int((frame * 100 + std::min<qint64>(100, done * 100 / total)) / frames)
                      : -1;
        if (percent != shownPercent) {
            shownPercent = percent;
            deliver(&SaneSession::scanProgress, page, percent);
        }
    }
}

SaneSession::Private::PageEnd SaneSession::Private::scanPage(int page, int generation,
                                                             SaneFrameAssembler& assembler,
                                                             SANE_Status& status)
{
    assembler.reset();
    for (int frame = 0;; ++frame) {
        if (frame > 0) {
            status = mLibrary->start(mHandle);
            if (status != SANE_STATUS_GOOD)
                return PageEnd::Failed;
        }
        SANE_Parameters parameters{};
        status = mLibrary->getParameters(mHandle, &parameters);
        if (status != SANE_STATUS_GOOD)
            return PageEnd::Failed;
        if (!assembler.beginFrame(frameParametersOf(parameters))) {
            status = SANE_STATUS_INVAL;
            return PageEnd::Failed;
        }
        const int frames = isSingleColourPass(parameters.format) ? 3 : 1;
        status =
            readFrame(page, std::min(frame, frames - 1), frames, generation, parameters, assembler);
        if (status == SANE_STATUS_CANCELLED)
            return PageEnd::Cancelled;
        if (status != SANE_STATUS_GOOD)
            return PageEnd::Failed;
        assembler.endFrame();
        if (parameters.last_frame)
            break;
    }
    if (!assembler.isComplete()) {
        status = SANE_STATUS_INVAL;
        return PageEnd::Failed;
    }
    return PageEnd::Done;
}

void SaneSession::Private::scan(const QString& folder, int generation)
{
    if (folder.isEmpty() || !mHandle) {
        deliver(&SaneSession::scanFinished, 0, kStatusRefused,
                folder.isEmpty() ? GetText(133)
                : mLibrary       ? mLibrary->statusText(SANE_STATUS_INVAL)
                                 : GetText(801));
        return;
    }
    if (cancelled(generation)) {
        deliver(&SaneSession::scanFinished, 0, int(SANE_STATUS_CANCELLED), QString());
        return;
    }
    const bool feeder = isFeederSource(optionValue(SANE_NAME_SCAN_SOURCE).toString());
    const int resolution = qRound(optionValue(SANE_NAME_SCAN_RESOLUTION).toDouble());
    const int firstNumber = acquire::nextPictureNumberIn(folder);
    mReadBuffer.resize(kReadBufferSize);
    mPagesSaved = 0;
    if (!mSaver) {
        const int encoders = std::clamp(QThread::idealThreadCount(), 1, kMaxEncoders);
        mSaver = std::make_unique<JobQueue>(encoders, encoders + 1);
    }

    SaneFrameAssembler assembler;
    SANE_Status status = SANE_STATUS_GOOD;
    QString error;
    for (int page = 1;; ++page) {
        if (cancelled(generation)) {
            status = SANE_STATUS_CANCELLED;
            break;
        }
        status = mLibrary->start(mHandle);
        if (status == SANE_STATUS_NO_DOCS && page > 1) {
            status = SANE_STATUS_GOOD; // the feeder is empty: the normal end
            break;
        }
        PageEnd end = PageEnd::Failed;
        if (status == SANE_STATUS_GOOD) {
            deliver(&SaneSession::scanProgress, page, 0);
            end = scanPage(page, generation, assembler, status);
        }
        if (end == PageEnd::Cancelled) {
            status = SANE_STATUS_CANCELLED;
            break;
        }
        if (end == PageEnd::Failed) {
            error = mLibrary->statusText(status);
            deliver(&SaneSession::pageFailed, page, error);
            break;
        }
        auto bitmap = std::make_shared<imaging::Bitmap>();
        assembler.takeBitmap(*bitmap);
        bitmap->setResolution(resolution, resolution);
        const int number = firstNumber + page - 1;
        mSaver->post([this, bitmap, folder, page, number] {
            QByteArray bytes;
            const int result = imaging::saveJpeg(
                *bitmap, imaging::jpegQualityForFactor(kJpegQualityFactor), bytes);
            bitmap->reset();
            if (result != imaging::Success) {
                deliver(&SaneSession::pageFailed, page, imaging::resultText(result));
                return;
            }
            const acquire::SavedPicture saved =
                acquire::saveNumberedPicture(folder, bytes, number, kScanNumberDigits);
            if (saved.path.isEmpty()) {
                deliver(&SaneSession::pageFailed, page, qt_error_string(saved.error));
                return;
            }
            ++mPagesSaved;
            deliver(&SaneSession::pageSaved, page, saved.path);
        });
        if (!feeder)
            break;
    }
    // Ends the scan on the device in every case (also after the last page).
    mLibrary->cancel(mHandle);
    mSaver->waitIdle();
    deliver(&SaneSession::scanFinished, mPagesSaved.load(), int(status), error);
}

SaneSession::SaneSession(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this))
{
    qRegisterMetaType<SaneDeviceInfo>();
    qRegisterMetaType<SaneOption>();
    qRegisterMetaType<QList<SaneDeviceInfo>>();
    qRegisterMetaType<QList<SaneOption>>();
    d->mWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    d->mDeliveryFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    d->mDeliveryNotifier = std::make_unique<QSocketNotifier>(d->mDeliveryFd, QSocketNotifier::Read);
    connect(d->mDeliveryNotifier.get(), &QSocketNotifier::activated, this,
            [p = d.get()] { p->deliverAll(); });
    d->mThread = std::make_unique<JobQueue>();
}

SaneSession::~SaneSession()
{
    cancel();
    Private* p = d.get();
    p->mThread->post([p] { p->shutDown(); });
    // The shut-down job is not dropped: waitIdle before stop lets it run.
    p->mThread->waitIdle();
    p->mThread.reset();
    p->mSaver.reset();
    p->mDeliveryNotifier.reset();
    for (const int fd : {p->mWakeFd, p->mDeliveryFd})
        if (fd >= 0)
            ::close(fd);
}

void SaneSession::listDevices()
{
    d->mThread->post([p = d.get()] { p->listDevices(); });
}

void SaneSession::open(const QByteArray& deviceName)
{
    d->mThread->post([p = d.get(), deviceName] { p->open(deviceName); });
}

void SaneSession::readOptions()
{
    d->mThread->post([p = d.get()] { p->readOptions(); });
}

void SaneSession::setOption(int index, const QVariant& value)
{
    d->mThread->post(
        [p = d.get(), index, value] { p->control(index, SANE_ACTION_SET_VALUE, value); });
}

void SaneSession::setAutomatic(int index)
{
    d->mThread->post([p = d.get(), index] { p->control(index, SANE_ACTION_SET_AUTO, {}); });
}

void SaneSession::startScan(const QString& destinationFolder)
{
    const int generation = ++d->mScanGeneration;
    d->mThread->post(
        [p = d.get(), destinationFolder, generation] { p->scan(destinationFolder, generation); });
}

void SaneSession::cancel()
{
    d->mCancelledGeneration = d->mScanGeneration.load();
    if (d->mWakeFd >= 0)
        ::eventfd_write(d->mWakeFd, 1);
}

void SaneSession::close()
{
    d->mThread->post([p = d.get()] { p->closeDevice(true); });
}

bool SaneSession::libraryAvailable()
{
    return SaneLibrary::load() != nullptr;
}
