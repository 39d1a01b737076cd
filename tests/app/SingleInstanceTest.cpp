// Two real processes: the program started a second time hands its drive to the first copy.
#include "SingleInstance.h"

#include "EventLoopWait.h"
#include "ShellTestNamespace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
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
    EXPECT_EQ(received, 1);
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
