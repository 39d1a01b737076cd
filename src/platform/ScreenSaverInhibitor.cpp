#include "ScreenSaverInhibitor.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString kPortalRequest = QStringLiteral("org.freedesktop.portal.Request");
constexpr uint kPortalIdleFlag = 8;

// Fire and forget: nobody waits for the answer, and a service that is gone is not started
// again just to be told to let go.
void sendRelease(QDBusConnection bus, QDBusMessage message)
{
    message.setAutoStartService(false);
    bus.send(message);
}

void releaseScreenSaver(const QDBusConnection& bus, uint cookie)
{
    auto message = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                  kScreenSaverService, QStringLiteral("UnInhibit"));
    message << cookie;
    sendRelease(bus, message);
}

void releasePortal(const QDBusConnection& bus, const QDBusObjectPath& request)
{
    sendRelease(bus, QDBusMessage::createMethodCall(kPortalService, request.path(), kPortalRequest,
                                                    QStringLiteral("Close")));
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(const QString& reason, QObject* parent)
    : ScreenSaverInhibitor(reason, QDBusConnection::sessionBus(), parent)
{}

ScreenSaverInhibitor::ScreenSaverInhibitor(const QString& reason, const QDBusConnection& bus,
                                           QObject* parent)
    : QObject(parent), mBus(bus), mReason(reason)
{
    request(Service::ScreenSaver);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    switch (mState) {
    case State::InhibitedByScreenSaver:
        releaseScreenSaver(mBus, mCookie);
        break;
    case State::InhibitedByPortal:
        releasePortal(mBus, mPortalRequest);
        break;
    case State::Unavailable:
        break;
    case State::Requesting: {
        // The answer may still grant an inhibition; the watcher outlives us to release it.
        // Parented to the application so that one still waiting at exit is not leaked.
        QDBusPendingCallWatcher* orphan = mWatcher;
        orphan->disconnect(this);
        orphan->setParent(QCoreApplication::instance());
        const Service service = mPending;
        connect(orphan, &QDBusPendingCallWatcher::finished, orphan,
                [bus = mBus, service](QDBusPendingCallWatcher* watcher) {
                    watcher->deleteLater();
                    if (watcher->isError())
                        return;
                    if (service == Service::ScreenSaver)
                        releaseScreenSaver(bus, QDBusPendingReply<uint>(*watcher).value());
                    else
                        releasePortal(bus, QDBusPendingReply<QDBusObjectPath>(*watcher).value());
                });
        break;
    }
    }
}

void ScreenSaverInhibitor::request(Service service)
{
    QDBusMessage message;
    if (service == Service::ScreenSaver) {
        message = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                 kScreenSaverService, QStringLiteral("Inhibit"));
        message << QCoreApplication::applicationName() << mReason;
    } else {
        message = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInhibit,
                                                 QStringLiteral("Inhibit"));
        message << QString() << kPortalIdleFlag << QVariantMap{{QStringLiteral("reason"), mReason}};
    }
    // A call on a closed connection never finishes, so it is not made.
    if (!mBus.isConnected()) {
        setState(State::Unavailable);
        return;
    }
    mPending = service;
    mWatcher = new QDBusPendingCallWatcher(mBus.asyncCall(message), this);
    connect(mWatcher, &QDBusPendingCallWatcher::finished, this, &ScreenSaverInhibitor::onReply);
}

void ScreenSaverInhibitor::onReply(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    mWatcher = nullptr;
    if (mPending == Service::ScreenSaver) {
        const QDBusPendingReply<uint> reply(*watcher);
        if (reply.isError()) {
            request(Service::Portal);
            return;
        }
        mCookie = reply.value();
        setState(State::InhibitedByScreenSaver);
    } else {
        const QDBusPendingReply<QDBusObjectPath> reply(*watcher);
        if (reply.isError()) {
            setState(State::Unavailable);
            return;
        }
        mPortalRequest = reply.value();
        setState(State::InhibitedByPortal);
    }
}

void ScreenSaverInhibitor::setState(State state)
{
    mState = state;
    emit stateChanged(state);
}
