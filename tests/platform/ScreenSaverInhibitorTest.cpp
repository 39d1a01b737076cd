// The screensaver inhibition against a ScreenSaver service and a portal registered by the test on
// a private dbus-daemon, and without any bus.
#include "ScreenSaverInhibitor.h"

#include "EventLoopWait.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <csignal>
#include <memory>
#include <optional>
#include <vector>

namespace {

const QString kReason = QStringLiteral("Slideshow");
const QString kChildEnv = QStringLiteral("VELKO_INHIBITOR_NO_BUS_CHILD");

QStringList gWarnings;

void recordWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        gWarnings << text;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// How a service answers an Inhibit call.
enum class Answer
{
    Grant,
    Refuse,
    Hold
};

// dbus-daemon with a configuration of its own: no standard service folders, so nothing of the
// machine is started, and optionally an org.freedesktop.ScreenSaver whose start fails.
class PrivateBus
{
public:
    explicit PrivateBus(bool screenSaverActivatable = false)
    {
        const QString services = mDir.filePath(QStringLiteral("services"));
        QDir().mkpath(services);
        if (screenSaverActivatable)
            writeFile(services + QStringLiteral("/screensaver.service"),
                      "[D-BUS Service]\nName=org.freedesktop.ScreenSaver\nExec=/bin/false\n");
        const QString config = mDir.filePath(QStringLiteral("bus.conf"));
        writeFile(config, QStringLiteral("<busconfig>\n"
                                         "  <type>session</type>\n"
                                         "  <listen>unix:path=%1/bus</listen>\n"
                                         "  <servicedir>%2</servicedir>\n"
                                         "  <policy context=\"default\">\n"
                                         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                         "    <allow eavesdrop=\"true\"/>\n"
                                         "    <allow own=\"*\"/>\n"
                                         "  </policy>\n"
                                         "</busconfig>\n")
                              .arg(mDir.path(), services)
                              .toUtf8());
        // A test run that is killed takes its bus along.
        mDaemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        mDaemon.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"),
                       QStringLiteral("--nofork")});
        while (!mDaemon.canReadLine() && mDaemon.waitForReadyRead(10000)) {
        }
        mAddress = QString::fromUtf8(mDaemon.readLine().trimmed());
    }
    ~PrivateBus()
    {
        mDaemon.terminate();
        mDaemon.waitForFinished();
    }

    QString address() const { return mAddress; }

    // A connection of its own, closed when the bus object goes.
    QDBusConnection connect(const QString& name)
    {
        mNames << name;
        return QDBusConnection::connectToBus(mAddress, name);
    }
    void disconnectAll()
    {
        for (const QString& name : mNames)
            QDBusConnection::disconnectFromBus(name);
    }

private:
    static void writeFile(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir mDir;
    QProcess mDaemon;
    QString mAddress;
    QStringList mNames;
};

class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QDBusConnection bus{QString()};
    Answer answer = Answer::Grant;
    uint nextCookie = 41;
    std::vector<std::pair<QString, QString>> inhibits; // application, reason
    std::vector<uint> uninhibits;
    std::optional<QDBusMessage> held;

    void replyHeld(bool grant)
    {
        bus.send(grant ? held->createReply(nextCookie)
                       : held->createErrorReply(QDBusError::AccessDenied, {}));
    }

public slots:
    uint Inhibit(const QString& application, const QString& reason)
    {
        inhibits.emplace_back(application, reason);
        if (answer == Answer::Refuse)
            sendErrorReply(QDBusError::NotSupported, QStringLiteral("not here"));
        if (answer == Answer::Hold) {
            setDelayedReply(true);
            held = message();
        }
        return nextCookie;
    }
    void UnInhibit(uint cookie) { uninhibits.push_back(cookie); }
    // Answered after every call sent to this service before it.
    void Sync() {}
};

class FakePortal;

class FakeRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    FakeRequest(FakePortal* portal, QString path) : mPortal(portal), mPath(std::move(path)) {}

public slots:
    void Close();

private:
    FakePortal* mPortal;
    QString mPath;
};

class FakePortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    struct Call
    {
        QString window;
        uint flags;
        QVariantMap options;
    };
    explicit FakePortal(QDBusConnection bus) : mBus(bus) {}

    Answer answer = Answer::Grant;
    std::vector<Call> inhibits;
    QStringList closed;
    std::optional<QDBusMessage> held;

    void replyHeld() { mBus.send(held->createReply(QVariant::fromValue(newRequest()))); }

public slots:
    QDBusObjectPath Inhibit(const QString& window, uint flags, const QVariantMap& options)
    {
        inhibits.push_back({window, flags, options});
        if (answer == Answer::Hold) {
            setDelayedReply(true);
            held = message();
            return {};
        }
        return newRequest();
    }
    void Sync() {}

private:
    QDBusObjectPath newRequest()
    {
        const QString path =
            QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t%1").arg(mRequests.size());
        mRequests.push_back(std::make_unique<FakeRequest>(this, path));
        mBus.registerObject(path, mRequests.back().get(), QDBusConnection::ExportAllSlots);
        return QDBusObjectPath(path);
    }

    friend class FakeRequest;
    QDBusConnection mBus;
    std::vector<std::unique_ptr<FakeRequest>> mRequests;
};

void FakeRequest::Close()
{
    mPortal->closed << mPath;
}

using State = ScreenSaverInhibitor::State;

// A private bus, the client's connection to it and the services the case asks for.
class InhibitorTest : public testing::Test
{
protected:
    void start(bool withScreenSaver, bool withPortal, bool screenSaverActivatable = false)
    {
        gWarnings.clear();
        mBus = std::make_unique<PrivateBus>(screenSaverActivatable);
        ASSERT_FALSE(mBus->address().isEmpty());
        client = mBus->connect(QStringLiteral("client"));
        ASSERT_TRUE(client.isConnected());
        QDBusConnection services = mBus->connect(QStringLiteral("services"));
        screenSaver.bus = services;
        if (withScreenSaver) {
            ASSERT_TRUE(services.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                &screenSaver, QDBusConnection::ExportAllSlots));
            ASSERT_TRUE(services.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        }
        portal = std::make_unique<FakePortal>(services);
        if (withPortal) {
            ASSERT_TRUE(services.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                portal.get(), QDBusConnection::ExportAllSlots));
            ASSERT_TRUE(services.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        }
    }
    void TearDown() override
    {
        if (mBus)
            mBus->disconnectAll();
    }

    static bool waitForState(const ScreenSaverInhibitor& inhibitor, State state)
    {
        return pumpUntil([&] { return inhibitor.state() == state; });
    }

    // Every call the client sent to `service` before this one has been handled there.
    void syncWith(const QString& service, const QString& path)
    {
        QDBusPendingCallWatcher watcher(client.asyncCall(
            QDBusMessage::createMethodCall(service, path, {}, QStringLiteral("Sync"))));
        ASSERT_TRUE(pumpUntil([&] { return watcher.isFinished(); }));
        ASSERT_FALSE(watcher.isError()) << qPrintable(watcher.error().message());
    }

    static bool watchersLeft()
    {
        return !QCoreApplication::instance()
                    ->findChildren<QDBusPendingCallWatcher*>(Qt::FindDirectChildrenOnly)
                    .isEmpty();
    }

    QDBusConnection client{QString()};
    FakeScreenSaver screenSaver;
    std::unique_ptr<FakePortal> portal;

private:
    std::unique_ptr<PrivateBus> mBus;
};

TEST_F(InhibitorTest, ScreenSaverIsAskedOnceAndGetsItsCookieBackOnDestruction)
{
    start(true, true);
    screenSaver.nextCookie = 1234;
    auto inhibitor = std::make_unique<ScreenSaverInhibitor>(kReason, client);
    ASSERT_TRUE(waitForState(*inhibitor, State::InhibitedByScreenSaver));
    ASSERT_EQ(screenSaver.inhibits.size(), 1u);
    EXPECT_EQ(screenSaver.inhibits[0].first, QCoreApplication::applicationName());
    EXPECT_EQ(screenSaver.inhibits[0].second, kReason);
    EXPECT_TRUE(screenSaver.uninhibits.empty());

    inhibitor.reset();
    ASSERT_TRUE(pumpUntil([&] { return !screenSaver.uninhibits.empty(); }));
    EXPECT_EQ(screenSaver.uninhibits, std::vector<uint>{1234});
    syncWith(QStringLiteral("org.freedesktop.portal.Desktop"),
             QStringLiteral("/org/freedesktop/portal/desktop"));
    EXPECT_TRUE(portal->inhibits.empty());
    EXPECT_TRUE(gWarnings.isEmpty()) << qPrintable(gWarnings.join(u'\n'));
}

// The ways in which the ScreenSaver service can be missing; each falls back to the portal.
enum class Missing
{
    NotOnBus,
    CannotStart,
    Refuses
};

class PortalFallback : public InhibitorTest, public testing::WithParamInterface<Missing>
{};

TEST_P(PortalFallback, PortalIsAskedForTheIdleFlagAndItsRequestClosedOnDestruction)
{
    const Missing missing = GetParam();
    start(missing == Missing::Refuses, true, missing == Missing::CannotStart);
    screenSaver.answer = Answer::Refuse;
    auto inhibitor = std::make_unique<ScreenSaverInhibitor>(kReason, client);
    ASSERT_TRUE(waitForState(*inhibitor, State::InhibitedByPortal));
    ASSERT_EQ(portal->inhibits.size(), 1u);
    EXPECT_EQ(portal->inhibits[0].window, QString());
    EXPECT_EQ(portal->inhibits[0].flags, 8u);
    EXPECT_EQ(portal->inhibits[0].options.value(QStringLiteral("reason")).toString(), kReason);
    EXPECT_TRUE(portal->closed.isEmpty());

    inhibitor.reset();
    ASSERT_TRUE(pumpUntil([&] { return !portal->closed.isEmpty(); }));
    EXPECT_EQ(portal->closed,
              QStringList{QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t0")});
    EXPECT_TRUE(screenSaver.uninhibits.empty());
}

INSTANTIATE_TEST_SUITE_P(ScreenSaver, PortalFallback,
                         testing::Values(Missing::NotOnBus, Missing::CannotStart, Missing::Refuses),
                         [](const testing::TestParamInfo<Missing>& info) {
                             switch (info.param) {
                             case Missing::NotOnBus:
                                 return "NotOnBus";
                             case Missing::CannotStart:
                                 return "CannotStart";
                             case Missing::Refuses:
                                 return "Refuses";
                             }
                             return "";
                         });

TEST_F(InhibitorTest, NeitherServiceEndsUnavailableWithoutWaitingOrWarning)
{
    start(false, false, true);
    auto inhibitor = std::make_unique<ScreenSaverInhibitor>(kReason, client);
    // The constructor returned before any answer: it did not wait for one.
    EXPECT_EQ(inhibitor->state(), State::Requesting);
    ASSERT_TRUE(waitForState(*inhibitor, State::Unavailable));
    inhibitor.reset();

    // One destroyed at once leaves nothing waiting once its answers are in.
    auto shortLived = std::make_unique<ScreenSaverInhibitor>(kReason, client);
    shortLived.reset();
    ASSERT_TRUE(pumpUntil([] { return !watchersLeft(); }));
    EXPECT_TRUE(gWarnings.isEmpty()) << qPrintable(gWarnings.join(u'\n'));
}

// The inhibitor is destroyed while a service still holds its answer.
enum class Late
{
    ScreenSaverGrants,
    PortalGrants,
    ScreenSaverRefuses
};

class DestroyedBeforeReply : public InhibitorTest, public testing::WithParamInterface<Late>
{};

TEST_P(DestroyedBeforeReply, AGrantArrivingLaterIsReleasedAndARefusalAsksNobodyElse)
{
    const Late late = GetParam();
    start(late != Late::PortalGrants, true);
    screenSaver.answer = Answer::Hold;
    portal->answer = Answer::Hold;
    auto inhibitor = std::make_unique<ScreenSaverInhibitor>(kReason, client);
    ASSERT_TRUE(pumpUntil([&] { return screenSaver.held || portal->held; }));
    EXPECT_EQ(inhibitor->state(), State::Requesting);
    inhibitor.reset();

    switch (late) {
    case Late::ScreenSaverGrants:
        screenSaver.nextCookie = 77;
        screenSaver.replyHeld(true);
        ASSERT_TRUE(pumpUntil([&] { return !screenSaver.uninhibits.empty(); }));
        EXPECT_EQ(screenSaver.uninhibits, std::vector<uint>{77});
        break;
    case Late::PortalGrants:
        portal->replyHeld();
        ASSERT_TRUE(pumpUntil([&] { return !portal->closed.isEmpty(); }));
        EXPECT_EQ(portal->closed,
                  QStringList{QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t0")});
        break;
    case Late::ScreenSaverRefuses:
        // A fallback now would start an inhibition nobody is left to release.
        screenSaver.replyHeld(false);
        ASSERT_TRUE(pumpUntil([] { return !watchersLeft(); }));
        syncWith(QStringLiteral("org.freedesktop.portal.Desktop"),
                 QStringLiteral("/org/freedesktop/portal/desktop"));
        EXPECT_TRUE(portal->inhibits.empty());
        break;
    }
    EXPECT_TRUE(pumpUntil([] { return !watchersLeft(); }));
}

INSTANTIATE_TEST_SUITE_P(Inhibitor, DestroyedBeforeReply,
                         testing::Values(Late::ScreenSaverGrants, Late::PortalGrants,
                                         Late::ScreenSaverRefuses),
                         [](const testing::TestParamInfo<Late>& info) {
                             switch (info.param) {
                             case Late::ScreenSaverGrants:
                                 return "ScreenSaverGrants";
                             case Late::PortalGrants:
                                 return "PortalGrants";
                             case Late::ScreenSaverRefuses:
                                 return "ScreenSaverRefuses";
                             }
                             return "";
                         });

// Runs in a copy of this program started without any session bus: the default constructor.
int runWithoutBus()
{
    ScreenSaverInhibitor inhibitor(kReason);
    if (inhibitor.state() != State::Unavailable)
        return 2;
    return gWarnings.isEmpty() ? 0 : 4;
}

TEST(InhibitorWithoutBus, EndsUnavailableWithoutHangingOrWarning)
{
    // No address, no runtime folder with a bus socket and no display to autolaunch one on.
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(kChildEnv, QStringLiteral("1"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {});
    // Far above any answer; only a hang (a 25 s blocking call) reaches it.
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(recordWarnings);
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("velko-inhibitor-test"));
    if (qEnvironmentVariableIsSet(qPrintable(kChildEnv)))
        return runWithoutBus();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "ScreenSaverInhibitorTest.moc"
