// The scanner's settings window, built from the device's own option descriptors, and the
// scan it starts: pages arrive with a progress bar and can be cancelled. Every call to the
// device goes through the session, so the window never waits for it.
#pragma once

#include "SaneOption.h"

#include <QDialog>

#include <memory>

class SaneSession;

class ScanOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    // Opens deviceName through the session and shows its options; the pages go to
    // destinationFolder. The session must outlive the window.
    ScanOptionsDialog(SaneSession& session, const SaneDeviceInfo& device,
                      const QString& destinationFolder, QWidget* parent = nullptr);
    ~ScanOptionsDialog() override;

    const SaneDeviceInfo& device() const;
    bool isScanning() const;
    // Pages saved by the scans of this window.
    int pagesSaved() const;
    // The options as last read from the device.
    const QList<SaneOption>& options() const;

    // Starts the scan, as the Scan button does.
    void btnScanClick();

    // Closing while a scan runs cancels it; the window closes when the scan has stopped.
    void reject() override;

signals:
    // The options were read from the device and the editors show them.
    void optionsShown();
    void scanStopped(int status);

private:
    void deviceOpened(bool ok, const QString& error);
    void showOptions(const QList<SaneOption>& options);
    // Makes the editors anew, keeping the scroll position and the focused option.
    void buildEditors();
    QWidget* buildSection(const QString& title, const QList<int>& positions);
    void addEditor(class QFormLayout* form, int position);
    // Shows the option's value and state in its editor without sending it back.
    void showValue(int position);
    void commit(int position, const QVariant& value);
    void optionSet(int index, bool reloadOptions, bool reloadParams, const QString& error);
    void scanProgress(int page, int percent);
    void pageFailed(int page, const QString& reason);
    void scanFinished(int pagesSaved, int status, const QString& error);
    void btnStopClick();
    void setScanning(bool scanning);
    void showError(unsigned textId, const QString& detail);

    struct Private;
    std::unique_ptr<Private> d;
};
