#include "TwainImport.h"

#include "ProgramVersion.h"
#include "SaneSession.h"
#include "ScanOptionsDialog.h"
#include "TfrmTwain.h"
#include "WaitCursor.h"
#include "uLanguage.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>

#include <algorithm>

namespace {

enum : unsigned
{
    TextOk = 7,
    TextNoDiskFolder = 133,
    TextNoSources = 801,
};

} // namespace

TwainImport::TwainImport(QWidget* window)
    : mWindow(window), mSession(std::make_unique<SaneSession>())
{
    connect(mSession.get(), &SaneSession::devicesListed, this,
            [this](const QList<SaneDeviceInfo>& devices) { devicesListed(devices); });
}

TwainImport::~TwainImport() = default;

SaneSession& TwainImport::session()
{
    return *mSession;
}

void TwainImport::startListing()
{
    if (!SaneSession::libraryAvailable())
        return;
    mListing = true;
    mSession->listDevices();
}

std::optional<QList<SaneDeviceInfo>> TwainImport::listDevices()
{
    if (!SaneSession::libraryAvailable())
        return QList<SaneDeviceInfo>();
    // A listing already under way (the background one) answers; a second would only queue.
    return waitForListing(!mListing);
}

bool TwainImport::scannerAvailable()
{
    if (!mListing)
        startListing();
    return mAvailable;
}

std::optional<QList<SaneDeviceInfo>> TwainImport::waitForListing(bool startOne)
{
    WaitCursor wait;
    QEventLoop loop;
    std::optional<QList<SaneDeviceInfo>> answer;
    connect(mSession.get(), &SaneSession::devicesListed, &loop,
            [&](const QList<SaneDeviceInfo>& devices) {
                answer = devices;
                loop.quit();
            });
    if (startOne)
        startListing();
    // The window paints while the session looks (network scanners take seconds); clicks
    // wait, so that no command starts in the middle of this one.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answer;
}

void TwainImport::devicesListed(const QList<SaneDeviceInfo>& devices)
{
    mListing = false;
    const bool available = !devices.isEmpty();
    if (available == mAvailable)
        return;
    mAvailable = available;
    emit availabilityChanged(available);
}

void TwainImport::run(const QString& destinationFolder, const TfrmPics* pics)
{
    const std::optional<QList<SaneDeviceInfo>> devices = listDevices();
    if (!devices)
        return;
    if (devices->isEmpty()) {
        warn(TextNoSources, "NoTwainSources");
        return;
    }
    // Nothing is written anywhere without a folder on the disk.
    if (destinationFolder.isEmpty()) {
        warn(TextNoDiskFolder, "NoDiskFolder");
        return;
    }

    SaneDeviceInfo chosen;
    {
        TfrmTwain frmTwain(mWindow, pics);
        for (const SaneDeviceInfo& device : *devices) {
            // Two scanners of the same model are told apart by their device names.
            QString caption = device.displayName();
            if (std::count_if(devices->cbegin(), devices->cend(), [&](const SaneDeviceInfo& other) {
                    return other.displayName() == caption;
                }) > 1)
                caption +=
                    QStringLiteral(" (") + QString::fromLatin1(device.name) + QLatin1Char(')');
            frmTwain.addSource(caption, QString::fromLatin1(device.name));
        }
        frmTwain.setDestination(destinationFolder);
        if (frmTwain.exec() != QDialog::Accepted)
            return;
        const QByteArray name = frmTwain.selectedSource().toLatin1();
        for (const SaneDeviceInfo& device : *devices)
            if (device.name == name)
                chosen = device;
        if (chosen.name.isEmpty())
            return;
    }

    {
        ScanOptionsDialog options(*mSession, chosen, destinationFolder, mWindow);
        options.exec();
    }
    mSession->close();
}

void TwainImport::warn(unsigned textId, const char* name)
{
    QMessageBox box(QMessageBox::Warning, QLatin1String(kApplicationTitle), GetText(textId),
                    QMessageBox::NoButton, mWindow);
    box.setObjectName(QLatin1String(name));
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
}
