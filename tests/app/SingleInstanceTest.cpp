// Two real processes: the program started a second time hands its drive to the first copy.
#include "SingleInstance.h"

#include "EventLoopWait.h"
#include "ShellTestNamespace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSemaphore>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

namespace {

class SingleInstanceTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "velko_single_instance_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv); // lives for the whole test program
    }

    void SetUp() override
    {
        ASSERT_TRUE(mNamespace.isValid());
        mNamespace.makeFolder("run");
        QFile::setPermissions(runtimeFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
        // The namespace's variables are set in this process, so the programs inherit them.
        mEnvironment = QProcessEnvironment::systemEnvironment();
        mEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        mEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        mEnvironment.insert(QStringLiteral("XDG_CONFIG_DIRS"),
                            QFile::decodeName(mNamespace.path("etc")));
        mEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                            QFile::decodeName(mNamespace.path("config")));
    }

    void TearDown() override
    {
        for (auto& process : mProcesses) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    QProcess& startProgram(const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(mEnvironment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(VELKO_PROGRAM), arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        mProcesses.push_back(std::move(process));
        return *mProcesses.back();
    }

    QString runtimeFolder() const { return QFile::decodeName(mNamespace.path("run")); }
    QString socketPath() const
    {
        return runtimeFolder() + QStringLiteral("/velko-fotodesk.socket");
    }

    bool firstCopyListens(int timeoutMs) const
    {
        return pumpUntil(
            [this] {
                QLocalSocket probe;
                probe.connectToServer(socketPath());
                return probe.waitForConnected(200);
            },
            std::chrono::milliseconds(timeoutMs));
    }

    static bool exitsCleanly(QProcess& process, int timeoutMs)
    {
        const bool finished =
            pumpUntil([&process] { return process.state() == QProcess::NotRunning; },
                      std::chrono::milliseconds(timeoutMs));
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // A second copy in this process, sending from a thread of its own, so that this thread
    // plays the first copy and decides when its event loop runs.
    struct Sender
    {
        Sender(const QString& folder, const QString& drivePath, int answerWaitMs)
            : second(QStringLiteral("velko-fotodesk"), folder)
        {
            second.setAnswerWait(answerWaitMs);
            QObject::connect(
                &second, &SingleInstance::waitingForAnswer, &second, [this] { waiting.release(); },
                Qt::DirectConnection);
            thread.reset(QThread::create([this, drivePath] {
                delivered = second.sendToFirst({drivePath, true});
            }));
        }
        ~Sender() { thread->wait(); }

        SingleInstance second;
        QSemaphore waiting;
        std::atomic<bool> delivered = false;
        std::unique_ptr<QThread> thread;
    };

    ShellTestNamespace mNamespace;
    QProcessEnvironment mEnvironment;
    std::vector<std::unique_ptr<QProcess>> mProcesses;
};

} // namespace

TEST_F(SingleInstanceTest, secondCopyHandsItsPathAndFlagToTheFirstAndEnds)
{
    SingleInstance first(QStringLiteral("velko-fotodesk"), runtimeFolder());
    ASSERT_EQ(first.start(), SingleInstance::Role::First);
    first.setReady();
    std::vector<DriveRequest> received;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::requestReceived,
                     [&received](const DriveRequest& request) { received.push_back(request); });
    QObject::connect(&first, &SingleInstance::activationRequested,
                     [&activations] { ++activations; });

    QProcess& second = startProgram({QStringLiteral("/media/camera card")});
    EXPECT_TRUE(exitsCleanly(second, 15000));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].drivePath, QStringLiteral("/media/camera card"));
    EXPECT_TRUE(received[0].fromSecondCopy);
    EXPECT_EQ(activations, 1);

    // Without an argument the first copy is only brought forward.
    QProcess& third = startProgram({});
    EXPECT_TRUE(exitsCleanly(third, 15000));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[1].drivePath.isEmpty());
    EXPECT_EQ(activations, 2);
}

TEST_F(SingleInstanceTest, requestsWaitUntilTheFirstCopyIsReady)
{
    SingleInstance first(QStringLiteral("velko-fotodesk"), runtimeFolder());
    ASSERT_EQ(first.start(), SingleInstance::Role::First);
    std::vector<DriveRequest> received;
    QObject::connect(&first, &SingleInstance::requestReceived,
                     [&received](const DriveRequest& request) { received.push_back(request); });

    QProcess& second = startProgram({QStringLiteral("/mnt/dvd")});
    EXPECT_TRUE(exitsCleanly(second, 15000));
    EXPECT_TRUE(received.empty());
    first.setReady();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].drivePath, QStringLiteral("/mnt/dvd"));
}

TEST_F(SingleInstanceTest, garbageOnTheSocketIsDroppedAndTheServerGoesOn)
{
    SingleInstance first(QStringLiteral("velko-fotodesk"), runtimeFolder());
    ASSERT_EQ(first.start(), SingleInstance::Role::First);
    first.setReady();
    int received = 0;
    QObject::connect(&first, &SingleInstance::requestReceived, [&received] { ++received; });

    QLocalSocket rogue;
    rogue.connectToServer(first.socketPath());
    ASSERT_TRUE(rogue.waitForConnected(2000));
    rogue.write(QByteArray(64, '\xff'));
    rogue.flush();
    EXPECT_TRUE(
        pumpUntil([&rogue] { return rogue.state() == QLocalSocket::UnconnectedState; }, 5s));
    EXPECT_EQ(received, 0);

    SingleInstance second(QStringLiteral("velko-fotodesk"), runtimeFolder());
    ASSERT_EQ(second.start(), SingleInstance::Role::Second);
    // The sender blocks, so it runs on a thread of its own while this one serves.
    std::atomic<bool> sent = false;
    const std::unique_ptr<QThread> sender(QThread::create([&] {
        sent = second.sendToFirst({QStringLiteral("/x"), true});
    }));
    sender->start();
    EXPECT_TRUE(pumpUntil([&sender] { return sender->isFinished(); }, 10s));
    sender->wait();
    EXPECT_TRUE(sent);
    // The first acts on the "go", which may come in after the sender ended.
    EXPECT_TRUE(pumpUntil([&received] { return received == 1; }, 10s));
}

TEST_F(SingleInstanceTest, realFirstCopyTakesRequestsAndAKilledOneIsReplaced)
{
    QProcess& first = startProgram({});
    ASSERT_TRUE(firstCopyListens(15000));

    QProcess& second = startProgram({QStringLiteral("/media/card")});
    EXPECT_TRUE(exitsCleanly(second, 15000));
    EXPECT_EQ(first.state(), QProcess::Running);

    // A killed first copy leaves its socket and lock file behind.
    first.kill();
    first.waitForFinished(5000);
    ASSERT_TRUE(QFile::exists(socketPath()));
    EXPECT_FALSE(firstCopyListens(300));

    QProcess& replacement = startProgram({});
    ASSERT_TRUE(firstCopyListens(15000));
    EXPECT_EQ(replacement.state(), QProcess::Running);
    QProcess& another = startProgram({QStringLiteral("/media/card")});
    EXPECT_TRUE(exitsCleanly(another, 15000));
    EXPECT_EQ(replacement.state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, aBusyFirstCopyStillGetsTheRequestOfASecondThatWaited)
{
    SingleInstance first(QStringLiteral("velko-fotodesk"), runtimeFolder());
    ASSERT_EQ(first.start(), SingleInstance::Role::First);
    first.setReady();
    std::vector<DriveRequest> received;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::requestReceived,
                     [&received](const DriveRequest& request) { received.push_back(request); });
    QObject::connect(&first, &SingleInstance::activationRequested,
                     [&activations] { ++activations; });

    Sender sender(runtimeFolder(), QStringLiteral("/media/slow card"),
                  SingleInstance::kDefaultAnswerWaitMs);
    ASSERT_EQ(sender.second.start(), SingleInstance::Role::Second);
    sender.thread->start();
    // The first copy's event loop does not run until the second waits for its answer.
    ASSERT_TRUE(sender.waiting.tryAcquire(1, 10000));
    EXPECT_FALSE(sender.thread->isFinished());
    EXPECT_TRUE(received.empty());

    EXPECT_TRUE(pumpUntil([&] { return sender.thread->isFinished() && !received.empty(); }, 20s));
    EXPECT_TRUE(sender.delivered);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].drivePath, QStringLiteral("/media/slow card"));
    EXPECT_EQ(activations, 1);
}

TEST_F(SingleInstanceTest, aRequestItsSenderGaveUpOnIsNeverActedOn)
{
    SingleInstance first(QStringLiteral("velko-fotodesk"), runtimeFolder());
    ASSERT_EQ(first.start(), SingleInstance::Role::First);
    first.setReady();
    std::vector<DriveRequest> received;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::requestReceived,
                     [&received](const DriveRequest& request) { received.push_back(request); });
    QObject::connect(&first, &SingleInstance::activationRequested,
                     [&activations] { ++activations; });

    // The first copy stays busy until the impatient second has given up and closed.
    {
        Sender impatient(runtimeFolder(), QStringLiteral("/media/given up"), 100);
        ASSERT_EQ(impatient.second.start(), SingleInstance::Role::Second);
        impatient.thread->start();
        ASSERT_TRUE(impatient.thread->wait(10000));
        EXPECT_FALSE(impatient.delivered);
    }

    // The first copy runs again; a later request is served after the dropped one.
    Sender patient(runtimeFolder(), QStringLiteral("/media/later"),
                   SingleInstance::kDefaultAnswerWaitMs);
    patient.thread->start();
    EXPECT_TRUE(pumpUntil([&] { return patient.thread->isFinished() && !received.empty(); }, 20s));
    EXPECT_TRUE(patient.delivered);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].drivePath, QStringLiteral("/media/later"));
    EXPECT_EQ(activations, 1);
}

TEST_F(SingleInstanceTest, aLiveLockHolderIsNeverReplacedEvenWhenItDoesNotListen)
{
    // A live copy holds the lock but is not listening (yet): this one stays second.
    QLockFile held(runtimeFolder() + QStringLiteral("/velko-fotodesk.lock"));
    ASSERT_TRUE(held.tryLock(0));
    {
        Sender sender(runtimeFolder(), QStringLiteral("/media/card"), 300);
        EXPECT_EQ(sender.second.start(), SingleInstance::Role::Second);
        sender.thread->start();
        ASSERT_TRUE(sender.thread->wait(10000));
        EXPECT_FALSE(sender.delivered);
    }

    // Once the holder is gone, the next copy becomes the first.
    held.unlock();
    SingleInstance next(QStringLiteral("velko-fotodesk"), runtimeFolder());
    EXPECT_EQ(next.start(), SingleInstance::Role::First);
    EXPECT_TRUE(firstCopyListens(2000));
}
