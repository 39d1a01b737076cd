// The main window's TWAIN command: lists the scanners, lets the user choose one and its
// settings, and scans into the main window's folder. It also answers whether a scanner is
// there at all, which decides whether Get photos offers the choice of source.
#pragma once

#include "SaneOption.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QWidget;
class SaneSession;
class TfrmPics;

class TwainImport : public QObject
{
    Q_OBJECT
public:
    // Dialogs open over window.
    explicit TwainImport(QWidget* window);
    ~TwainImport() override;

    SaneSession& session();

    // Lists the devices in the background (at start-up), so that the first answer is quick.
    void startListing();
    // The devices as listed now. The hourglass shows and the window keeps painting while the
    // session looks; input waits until the answer is there. Nothing when the wait was broken
    // off because the program is ending.
    std::optional<QList<SaneDeviceInfo>> listDevices();
    // The last listing found a device.
    bool isAvailable() const { return mAvailable; }
    bool isListing() const { return mListing; }
    // Whether Get photos offers scanning: the last listing's answer, at once, so that a
    // computer without scanners copies photos without waiting for a listing (it takes
    // seconds there); until the first listing ends, no. A new listing then starts in the
    // background for the next time.
    bool scannerAvailable();

    // The command: refuses a folder without a disk path (empty) and a computer without
    // scanners, else the source choice, the device's settings and the scan. The side picture
    // comes from pics (may be null).
    void run(const QString& destinationFolder, const TfrmPics* pics);

signals:
    void availabilityChanged(bool available);

private:
    void devicesListed(const QList<SaneDeviceInfo>& devices);
    void warn(unsigned textId, const char* name);

    // Runs the thread's events, painting but without input, until the session answers.
    std::optional<QList<SaneDeviceInfo>> waitForListing(bool startOne);

    QWidget* const mWindow;
    std::unique_ptr<SaneSession> mSession;
    bool mAvailable = false;
    bool mListing = false;
};
