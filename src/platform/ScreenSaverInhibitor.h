// Stands for the slideshow's keep-awake keystroke: instead of a synthetic key at each slide,
// the screensaver and screen blanking are inhibited for as long as the object lives.
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Asks org.freedesktop.ScreenSaver on the session bus for an inhibition, else the
// org.freedesktop.portal.Inhibit portal (idle flag), and releases it on destruction. Every
// call is asynchronous: a service that cannot start answers only after the 25 s call timeout.
// Without a session bus the object is Unavailable from the start, without a message. An object
// destroyed while its request is under way leaves the request behind, so that an inhibition
// granted later is released at once. Window thread only.
class ScreenSaverInhibitor : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Requesting,
        InhibitedByScreenSaver,
        InhibitedByPortal,
        Unavailable, // neither service granted it; nothing is inhibited
    };
    Q_ENUM(State)

    explicit ScreenSaverInhibitor(const QString& reason, QObject* parent = nullptr);
    // On a given connection instead of the session bus (tests use a private bus).
    ScreenSaverInhibitor(const QString& reason, const QDBusConnection& bus,
                         QObject* parent = nullptr);
    ~ScreenSaverInhibitor() override;

    State state() const { return mState; }

signals:
    void stateChanged(ScreenSaverInhibitor::State state);

private:
    enum class Service
    {
        ScreenSaver,
        Portal
    };

    void request(Service service);
    void onReply(QDBusPendingCallWatcher* watcher);
    void setState(State state);

    QDBusConnection mBus;
    const QString mReason;
    State mState = State::Requesting;
    Service mPending = Service::ScreenSaver;
    QDBusPendingCallWatcher* mWatcher = nullptr;
    uint mCookie = 0;
    QDBusObjectPath mPortalRequest;
};
