// The copy worker against real files: what it tells its window, what it asks, and what is
// in the destination folder afterwards.
#include "EventLoopWait.h"
#include "ShellChangeNotifier.h"
#include "ShellNamespace.h"
#include "ShellTestNamespace.h"
#include "TCopyFilesThread.h"
#include "TestApplication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace {

QStringList words(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QByteArray contentOf(const QString& name, const char* kind)
{
    return QByteArray(kind) + ' ' + name.toUtf8();
}

// A file is flushed while the next one is copied, so a file's D may come after the next
// file's S. Everything but the S entries keeps its order; this puts each D back right after
// the last entry of its own file, which gives the order of a copy done file after file.
QString oneAfterAnother(const QStringList& log)
{
    QStringList serial;
    for (const QString& entry : log) {
        if (!entry.startsWith(QLatin1String("D:"))) {
            serial << entry;
            continue;
        }
        const QString name = entry.mid(2);
        qsizetype at = serial.size();
        while (at > 0 && serial.at(at - 1).section(QLatin1Char(':'), 1) != name)
            --at;
        serial.insert(at, entry);
    }
    return serial.join(QLatin1Char(' '));
}

QString withoutStarts(const QStringList& log)
{
    QStringList rest;
    for (const QString& entry : log) {
        if (!entry.startsWith(QLatin1String("S:")))
            rest << entry;
    }
    return rest.join(QLatin1Char(' '));
}

class CopyFilesThreadTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testsupport::ensureApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(mTemp.isValid());
        mSource = mTemp.filePath(QStringLiteral("card"));
        mDestination = mTemp.filePath(QStringLiteral("Photos 1"));
        ASSERT_TRUE(QDir().mkpath(mSource));
        ASSERT_TRUE(QDir().mkpath(mDestination));
    }

    void TearDown() override
    {
        if (mThread)
            mThread->stop();
        // A read-only file would keep the temporary folder from going away.
        for (const QString& name : QDir(mDestination).entryList(QDir::Files | QDir::Hidden))
            QFile::setPermissions(QDir(mDestination).filePath(name),
                                  QFile::ReadOwner | QFile::WriteOwner);
    }

    static void writeFile(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }

    QString sourcePath(const QString& name) const { return QDir(mSource).filePath(name); }
    QString destinationPath(const QString& name) const { return QDir(mDestination).filePath(name); }

    void start(const QStringList& names)
    {
        mThread = std::make_unique<TCopyFilesThread>(
            [this](const WindowMessage& message) { return handle(message); }, mSource, mDestination,
            names);
        mThread->setCopyOptions(mOptions);
        ASSERT_TRUE(mThread->start());
    }

    bool waitForEnd()
    {
        return pumpUntil([this] { return !mThread->isRunning(); });
    }

    // The window's side: records what arrives and answers the questions from the queues.
    qintptr handle(const WindowMessage& message)
    {
        if (onMessage)
            onMessage(message);
        switch (message.id) {
        case WM_COPYSTART:
            mLog << QStringLiteral("S:") + message.text;
            mStarted = message.wParam;
            return 0;
        case WM_COPYPROGRESS:
            mProgress.push_back({mStarted, message.wParam, message.lParam});
            return 0;
        case WM_COPYDONE:
            mLog << QStringLiteral("D:") + message.text;
            return 0;
        case WM_COPYERROR: {
            mLog << QStringLiteral("E:") + message.text;
            mFailures.push_back(mThread->copyFailure());
            const qintptr answer = next(mErrorAnswers);
            // Retry after the card came back: the file is there again.
            if (answer == kCopyRetry && !QFile::exists(sourcePath(message.text)))
                writeFile(sourcePath(message.text), contentOf(message.text, "new"));
            return answer;
        }
        case WM_COPYCANCELLED:
            mLog << QStringLiteral("C");
            return 0;
        case WM_COPYEXISTS:
            mLog << QStringLiteral("X:") + message.text;
            return next(mExistsAnswers);
        case WM_COPYFINISHED:
            mLog << QStringLiteral("F");
            return 0;
        }
        ADD_FAILURE() << "unknown message " << message.id;
        return 0;
    }

    // The window is closed while a question is open (a nested event loop): the answer the
    // dialog gives afterwards must count for nothing.
    void stopInsideTheQuestion()
    {
        bool stopped = false;
        QTimer::singleShot(0, [&] {
            mThread->stop();
            stopped = true;
        });
        EXPECT_TRUE(pumpUntil([&] { return stopped; }));
    }

    QStringList entries() const
    {
        return QDir(mDestination).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    static qintptr next(std::deque<qintptr>& answers)
    {
        if (answers.empty()) {
            ADD_FAILURE() << "a question no answer was planned for";
            return kCopyCancel;
        }
        const qintptr answer = answers.front();
        answers.pop_front();
        return answer;
    }

    struct Progress
    {
        qintptr file;
        qintptr copied;
        qintptr total;
    };

    QTemporaryDir mTemp;
    QString mSource;
    QString mDestination;
    std::unique_ptr<TCopyFilesThread> mThread;
    CopyFileOptions mOptions;
    std::function<void(const WindowMessage&)> onMessage;
    QStringList mLog;
    std::vector<Progress> mProgress;
    std::vector<CopyFileFailure> mFailures;
    std::deque<qintptr> mExistsAnswers;
    std::deque<qintptr> mErrorAnswers;
    qintptr mStarted = -1;
};

// One run: which files are on the card and already in the destination, the user's answers,
// what the window is told and what the destination holds afterwards.
struct CopyCase
{
    const char* name;
    const char* onCard;   // names whose source file exists
    const char* listed;   // names handed to the worker, in order
    const char* existing; // names already in the destination; "!" marks a read-only one
    std::vector<qintptr> existsAnswers;
    std::vector<qintptr> errorAnswers;
    const char* log;    // S start, X exists, E error, D done, C cancelled, F finished
    const char* result; // name:new, name:old or name:none
};

void PrintTo(const CopyCase& c, std::ostream* os)
{
    *os << c.name;
}

class CopyRunTest : public CopyFilesThreadTest, public ::testing::WithParamInterface<CopyCase>
{};

TEST_P(CopyRunTest, TellsAsksAndLeavesTheExpectedFiles)
{
    const CopyCase& c = GetParam();
    for (const QString& name : words(c.onCard))
        writeFile(sourcePath(name), contentOf(name, "new"));
    for (QString name : words(c.existing)) {
        const bool readOnly = name.startsWith(QLatin1Char('!'));
        if (readOnly)
            name.remove(0, 1);
        writeFile(destinationPath(name), contentOf(name, "old"));
        if (readOnly)
            QFile::setPermissions(destinationPath(name), QFile::ReadOwner | QFile::ReadGroup);
    }
    mExistsAnswers.assign(c.existsAnswers.begin(), c.existsAnswers.end());
    mErrorAnswers.assign(c.errorAnswers.begin(), c.errorAnswers.end());

    start(words(c.listed));
    ASSERT_TRUE(waitForEnd());

    EXPECT_EQ(oneAfterAnother(mLog), QString::fromUtf8(c.log));
    EXPECT_EQ(withoutStarts(mLog), withoutStarts(words(c.log)));
    EXPECT_TRUE(mExistsAnswers.empty() && mErrorAnswers.empty()) << "answers left over";
    QStringList expectedFiles;
    for (const QString& entry : words(c.result)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0);
        const QString kind = entry.section(QLatin1Char(':'), 1);
        if (kind == QLatin1String("none")) {
            EXPECT_FALSE(QFile::exists(destinationPath(name))) << qPrintable(name);
            continue;
        }
        expectedFiles << name;
        QFile file(destinationPath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        EXPECT_EQ(file.readAll(), contentOf(name, kind.toUtf8().constData())) << qPrintable(name);
    }
    // Nothing else: no partial or temporary file is left behind.
    expectedFiles.sort();
    EXPECT_EQ(QDir(mDestination).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
              expectedFiles);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyRunTest,
    ::testing::Values(
        CopyCase{"AllCopied",
                 "a.jpg b.jpg c.jpg",
                 "a.jpg b.jpg c.jpg",
                 "",
                 {},
                 {},
                 "S:a.jpg D:a.jpg S:b.jpg D:b.jpg S:c.jpg D:c.jpg F",
                 "a.jpg:new b.jpg:new c.jpg:new"},
        CopyCase{"NoKeepsOnlyThatFile",
                 "a.jpg b.jpg c.jpg",
                 "a.jpg b.jpg c.jpg",
                 "a.jpg c.jpg",
                 {kCopyKeep, kCopyReplace},
                 {},
                 "S:a.jpg X:a.jpg S:b.jpg D:b.jpg S:c.jpg X:c.jpg D:c.jpg F",
                 "a.jpg:old b.jpg:new c.jpg:new"},
        CopyCase{"YesReplacesOnlyThatFile",
                 "a.jpg b.jpg c.jpg",
                 "a.jpg b.jpg c.jpg",
                 "a.jpg c.jpg",
                 {kCopyReplace, kCopyKeep},
                 {},
                 "S:a.jpg X:a.jpg D:a.jpg S:b.jpg D:b.jpg S:c.jpg X:c.jpg F",
                 "a.jpg:new b.jpg:new c.jpg:old"},
        CopyCase{"YesToAllReplacesLaterFilesUnasked",
                 "a.jpg b.jpg c.jpg",
                 "a.jpg b.jpg c.jpg",
                 "a.jpg c.jpg",
                 {kCopyReplaceAll},
                 {},
                 "S:a.jpg X:a.jpg D:a.jpg S:b.jpg D:b.jpg S:c.jpg D:c.jpg F",
                 "a.jpg:new b.jpg:new c.jpg:new"},
        CopyCase{"CancelInReplaceQuestionEndsTheRun",
                 "a.jpg b.jpg",
                 "a.jpg b.jpg",
                 "a.jpg",
                 {kCopyCancel},
                 {},
                 "S:a.jpg X:a.jpg C",
                 "a.jpg:old b.jpg:none"},
        CopyCase{"ReadOnlyReplacedOnceAgreed",
                 "a.jpg",
                 "a.jpg",
                 "!a.jpg",
                 {kCopyReplace},
                 {},
                 "S:a.jpg X:a.jpg D:a.jpg F",
                 "a.jpg:new"},
        CopyCase{"HiddenReadOnlyIsACopyErrorOnEveryRetry",
                 ".h.jpg",
                 ".h.jpg",
                 "!.h.jpg",
                 {kCopyReplace},
                 {kCopyRetry, kCopySkip},
                 "S:.h.jpg X:.h.jpg E:.h.jpg E:.h.jpg F",
                 ".h.jpg:old"},
        CopyCase{"VanishedSourceRetriedAfterItCameBack",
                 "b.jpg",
                 "a.jpg b.jpg",
                 "",
                 {},
                 {kCopyRetry},
                 "S:a.jpg E:a.jpg D:a.jpg S:b.jpg D:b.jpg F",
                 "a.jpg:new b.jpg:new"},
        CopyCase{"VanishedSourceSkipped",
                 "b.jpg",
                 "a.jpg b.jpg",
                 "",
                 {},
                 {kCopySkip},
                 "S:a.jpg E:a.jpg S:b.jpg D:b.jpg F",
                 "a.jpg:none b.jpg:new"},
        CopyCase{"CancelInErrorQuestionEndsTheRun",
                 "b.jpg",
                 "a.jpg b.jpg",
                 "",
                 {},
                 {kCopyCancel},
                 "S:a.jpg E:a.jpg C",
                 "a.jpg:none b.jpg:none"},
        // A retry after another error still asks before it replaces a file of that name.
        CopyCase{"RetryNeverReplacesUnasked",
                 "b.jpg",
                 "a.jpg b.jpg",
                 "a.jpg",
                 {kCopyKeep},
                 {kCopyRetry},
                 "S:a.jpg E:a.jpg X:a.jpg S:b.jpg D:b.jpg F",
                 "a.jpg:old b.jpg:new"},
        CopyCase{"RetryAsksThenReplacesOnYes",
                 "",
                 "a.jpg",
                 "a.jpg",
                 {kCopyReplace},
                 {kCopyRetry},
                 "S:a.jpg E:a.jpg X:a.jpg D:a.jpg F",
                 "a.jpg:new"},
        CopyCase{"YesToAllAlsoCoversRetries",
                 "a.jpg",
                 "a.jpg b.jpg",
                 "a.jpg b.jpg",
                 {kCopyReplaceAll},
                 {kCopyRetry},
                 "S:a.jpg X:a.jpg D:a.jpg S:b.jpg E:b.jpg D:b.jpg F",
                 "a.jpg:new b.jpg:new"},
        CopyCase{"EmptyListOnlyFinishes", "", "", "", {}, {}, "F", ""}),
    [](const ::testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.name); });

TEST_F(CopyFilesThreadTest, VanishedSourceHandsItsReasonToTheWindow)
{
    mErrorAnswers = {kCopySkip};
    start(words("gone.jpg"));
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(mFailures.size(), 1u);
    EXPECT_EQ(mFailures[0].code, CopyFileError::SourceMissing);
    EXPECT_EQ(mFailures[0].systemError, ENOENT);
    EXPECT_FALSE(mFailures[0].text.isEmpty());
}

TEST_F(CopyFilesThreadTest, ProgressRunsFromZeroToEachFilesSize)
{
    const qint64 bigSize = 5 * 1024 * 1024 / 2; // several blocks
    writeFile(sourcePath(QStringLiteral("big.jpg")), QByteArray(bigSize, 'x'));
    writeFile(sourcePath(QStringLiteral("small.jpg")), QByteArray(10, 'y'));
    start(words("big.jpg small.jpg"));
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(oneAfterAnother(mLog),
              QStringLiteral("S:big.jpg D:big.jpg S:small.jpg D:small.jpg F"));

    const qint64 sizes[] = {bigSize, 10};
    for (qintptr file = 0; file < 2; ++file) {
        std::vector<Progress> reports;
        for (const Progress& p : mProgress)
            if (p.file == file)
                reports.push_back(p);
        ASSERT_GE(reports.size(), 2u) << "file " << file;
        EXPECT_EQ(reports.front().copied, 0);
        EXPECT_EQ(reports.back().copied, sizes[file]);
        for (size_t i = 0; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].total, sizes[file]);
            if (i > 0) {
                EXPECT_GE(reports[i].copied, reports[i - 1].copied);
            }
        }
    }
    EXPECT_GT(std::count_if(mProgress.begin(), mProgress.end(),
                            [](const Progress& p) { return p.file == 0; }),
              2)
        << "a large file reports between its blocks";
}

TEST_F(CopyFilesThreadTest, CancelDuringALargeFileStopsAtOnceAndLeavesNothing)
{
    writeFile(sourcePath(QStringLiteral("big.jpg")), QByteArray(32 * 1024 * 1024, 'x'));
    writeFile(sourcePath(QStringLiteral("next.jpg")), QByteArray(10, 'y'));
    // The window's Cancel: raise the flags, release the worker and wait for its end.
    onMessage = [this](const WindowMessage& message) {
        if (message.id == WM_COPYPROGRESS && message.wParam > 0)
            mThread->stop();
    };
    start(words("big.jpg next.jpg"));
    ASSERT_TRUE(waitForEnd());

    EXPECT_EQ(mLog.join(QLatin1Char(' ')), QStringLiteral("S:big.jpg"));
    ASSERT_FALSE(mProgress.empty());
    EXPECT_LT(mProgress.back().copied, mProgress.back().total);
    EXPECT_EQ(QDir(mDestination).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList());
}

TEST_F(CopyFilesThreadTest, StopWhileAQuestionIsOpenReleasesTheWorker)
{
    writeFile(sourcePath(QStringLiteral("a.jpg")), contentOf(QStringLiteral("a.jpg"), "new"));
    writeFile(destinationPath(QStringLiteral("a.jpg")), contentOf(QStringLiteral("a.jpg"), "old"));
    writeFile(sourcePath(QStringLiteral("b.jpg")), contentOf(QStringLiteral("b.jpg"), "new"));
    // The replace dialog is open (a nested event loop) when the window is closed.
    bool stopped = false;
    qint64 stopMs = -1;
    onMessage = [&](const WindowMessage& message) {
        if (message.id != WM_COPYEXISTS)
            return;
        QTimer::singleShot(0, [&] {
            QElapsedTimer clock;
            clock.start();
            mThread->stop();
            stopMs = clock.elapsed();
            stopped = true;
        });
        EXPECT_TRUE(pumpUntil([&] { return stopped; }));
    };
    mExistsAnswers = {kCopyReplace}; // returned after the stop: it must count for nothing
    start(words("a.jpg b.jpg"));
    ASSERT_TRUE(waitForEnd());

    EXPECT_TRUE(stopped);
    EXPECT_LT(stopMs, 2000);
    EXPECT_EQ(mLog.join(QLatin1Char(' ')), QStringLiteral("S:a.jpg X:a.jpg"));
    QFile kept(destinationPath(QStringLiteral("a.jpg")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), contentOf(QStringLiteral("a.jpg"), "old"));
    EXPECT_FALSE(QFile::exists(destinationPath(QStringLiteral("b.jpg"))));
}

// A copy that reads back wrong is found while the next files are already on their way: the
// question still names that file, and no later file gets its name before the answer.
struct VerifyFaultCase
{
    const char* name;
    qintptr answer;  // kStopInside: the window is closed while the question is open
    const char* log; // without the S entries, whose place depends on the timing
    const char* copied;
};

constexpr qintptr kStopInside = -1;

void PrintTo(const VerifyFaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class VerifyFaultTest : public CopyFilesThreadTest,
                        public ::testing::WithParamInterface<VerifyFaultCase>
{};

TEST_P(VerifyFaultTest, AsksAboutThatFileBeforeAnyLaterFileIsNamed)
{
    const VerifyFaultCase& c = GetParam();
    const QStringList names = words("a.jpg b.jpg c.jpg d.jpg");
    const auto content = [](const QString& name) {
        return contentOf(name, "new").leftJustified(3 * 1024 * 1024 / 2, '.');
    };
    for (const QString& name : names)
        writeFile(sourcePath(name), content(name));
    // The first file written is damaged after its checksum was taken; a retry is not.
    int written = 0;
    mOptions.beforeFlush = [&written](int fd) {
        if (written++ > 0)
            return;
        char byte = 0;
        ASSERT_EQ(::pread(fd, &byte, 1, 1000), 1);
        byte = char(byte ^ 0x20);
        ASSERT_EQ(::pwrite(fd, &byte, 1, 1000), 1);
    };
    QStringList namedWhenAsked;
    onMessage = [&](const WindowMessage& message) {
        if (message.id != WM_COPYERROR)
            return;
        namedWhenAsked = QDir(mDestination).entryList(QDir::Files);
        if (c.answer == kStopInside)
            stopInsideTheQuestion();
    };
    mErrorAnswers = {c.answer == kStopInside ? kCopyRetry : c.answer};
    start(names);
    ASSERT_TRUE(waitForEnd());

    EXPECT_EQ(withoutStarts(mLog), QString::fromUtf8(c.log));
    ASSERT_EQ(mFailures.size(), 1u);
    EXPECT_EQ(mFailures[0].code, CopyFileError::VerifyMismatch);
    EXPECT_FALSE(mFailures[0].text.isEmpty());
    EXPECT_EQ(namedWhenAsked, QStringList());
    // Only whole copies, no temporary file of a copy that was still waiting for its flush.
    EXPECT_EQ(entries(), words(c.copied));
    for (const QString& name : entries()) {
        QFile file(destinationPath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), content(name)) << qPrintable(name);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, VerifyFaultTest,
    ::testing::Values(VerifyFaultCase{"Retry", kCopyRetry,
                                      "E:a.jpg D:a.jpg D:b.jpg D:c.jpg D:d.jpg F",
                                      "a.jpg b.jpg c.jpg d.jpg"},
                      VerifyFaultCase{"Skip", kCopySkip, "E:a.jpg D:b.jpg D:c.jpg D:d.jpg F",
                                      "b.jpg c.jpg d.jpg"},
                      VerifyFaultCase{"Cancel", kCopyCancel, "E:a.jpg C", ""},
                      VerifyFaultCase{"WindowClosed", kStopInside, "E:a.jpg", ""}),
    [](const ::testing::TestParamInfo<VerifyFaultCase>& info) {
        return std::string(info.param.name);
    });

// Another program creates a.jpg while its copy waits for its flush; b.jpg is there from the
// start. The Yes to all given for a.jpg covers b.jpg, whichever was copied first.
TEST_F(CopyFilesThreadTest, YesToAllForAFileNamedLateCoversTheFilesCopiedMeanwhile)
{
    for (const QString& name : words("a.jpg b.jpg"))
        writeFile(sourcePath(name), contentOf(name, "new"));
    writeFile(destinationPath(QStringLiteral("b.jpg")), contentOf(QStringLiteral("b.jpg"), "old"));
    bool first = true;
    const QString lateName = destinationPath(QStringLiteral("a.jpg"));
    mOptions.beforeFlush = [&first, lateName](int) {
        QFile late(lateName);
        if (std::exchange(first, false) && late.open(QIODevice::WriteOnly))
            late.write(contentOf(QStringLiteral("a.jpg"), "old"));
    };
    mExistsAnswers = {kCopyReplaceAll};
    start(words("a.jpg b.jpg"));
    ASSERT_TRUE(waitForEnd());

    EXPECT_EQ(withoutStarts(mLog), QStringLiteral("X:a.jpg D:a.jpg D:b.jpg F"));
    for (const QString& name : words("a.jpg b.jpg")) {
        QFile file(destinationPath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), contentOf(name, "new")) << qPrintable(name);
    }
    EXPECT_EQ(entries(), words("a.jpg b.jpg"));
}

TEST_F(CopyFilesThreadTest, EachFileIsReportedInItsTurnOnceItIsWholeUnderItsName)
{
    QStringList names;
    for (int i = 0; i < 12; ++i)
        names << QStringLiteral("IMG_%1.JPG").arg(i);
    const QByteArray content(3 * 1024 * 1024 / 2, 'p');
    for (const QString& name : names)
        writeFile(sourcePath(name), content);
    QStringList incomplete;
    onMessage = [&](const WindowMessage& message) {
        if (message.id == WM_COPYDONE &&
            QFileInfo(destinationPath(message.text)).size() != content.size())
            incomplete << message.text;
    };
    start(names);
    ASSERT_TRUE(waitForEnd());

    QStringList done;
    for (const QString& name : names)
        done << QStringLiteral("D:") + name;
    EXPECT_EQ(withoutStarts(mLog), done.join(QLatin1Char(' ')) + QStringLiteral(" F"));
    EXPECT_EQ(incomplete, QStringList());
    EXPECT_EQ(entries().size(), names.size());
}

TEST_F(CopyFilesThreadTest, StopWithFilesWaitingForTheirFlushLeavesOnlyWholeCopies)
{
    const QStringList names = words("a.jpg b.jpg c.jpg d.jpg");
    const QByteArray content(2 * 1024 * 1024, 'q');
    for (const QString& name : names)
        writeFile(sourcePath(name), content);
    // The window's Cancel as the third file starts: the first two are somewhere between
    // copied and named.
    onMessage = [this](const WindowMessage& message) {
        if (message.id == WM_COPYSTART && message.wParam == 2)
            mThread->stop();
    };
    start(names);
    ASSERT_TRUE(waitForEnd());

    EXPECT_FALSE(mLog.contains(QStringLiteral("F")));
    const QStringList left = entries();
    for (const QString& name : left) {
        EXPECT_TRUE(name == QLatin1String("a.jpg") || name == QLatin1String("b.jpg"))
            << qPrintable(name);
        EXPECT_EQ(QFileInfo(destinationPath(name)).size(), content.size()) << qPrintable(name);
    }
}

// The main window's grid learns of each copied file from the shell's notifications.
class ShellRecorder : public QObject
{
public:
    static constexpr int kMessage = QEvent::User + 1;
    std::vector<std::pair<quint32, ShellItemIdList>> events;

    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::Type(kMessage))
            return QObject::event(e);
        const auto* message = static_cast<ShellChangeMessage*>(e);
        events.emplace_back(message->event(), message->first());
        return true;
    }
    bool has(quint32 event, const ShellItemIdList& item) const
    {
        return std::any_of(events.begin(), events.end(), [&](const auto& e) {
            return e.first == event && sameFolderId(e.second, item);
        });
    }
};

TEST_F(CopyFilesThreadTest, EveryCopiedFileIsAnnouncedToTheShell)
{
    ShellTestNamespace ns;
    ASSERT_TRUE(ns.isValid());
    ns.makeFolder("home/card");
    ns.makeFolder("home/Photos 1");
    mSource = QFile::decodeName(ns.path("home/card"));
    mDestination = QFile::decodeName(ns.path("home/Photos 1"));
    writeFile(sourcePath(QStringLiteral("new.jpg")), "n");
    writeFile(sourcePath(QStringLiteral("old.jpg")), "o");
    writeFile(destinationPath(QStringLiteral("old.jpg")), "before");

    const ShellItemIdList folder =
        ShellNamespace::instance().idsOfPath(ns.path("home/Photos 1")).back();
    const auto item = [&](const char* name) {
        return folder + ShellItemIdList(ShellItem{ShellItemKind::Entry, QByteArray(name)});
    };
    ShellRecorder recorder;
    ShellChangeNotifier& notifier = ShellChangeNotifier::instance();
    // Only what the program announces: the rename into place is observed as a rename.
    const auto registration = notifier.registerClient(&recorder, ShellRecorder::kMessage, folder,
                                                      false, ShcneCreate | ShcneUpdateItem);
    ASSERT_NE(registration, 0u);
    mExistsAnswers = {kCopyReplace};
    start(words("new.jpg old.jpg"));
    ASSERT_TRUE(waitForEnd());

    EXPECT_TRUE(pumpUntil([&] { return recorder.has(ShcneCreate, item("new.jpg")); }));
    EXPECT_TRUE(pumpUntil([&] { return recorder.has(ShcneUpdateItem, item("old.jpg")); }));
    notifier.deregisterClient(registration);
}

} // namespace
