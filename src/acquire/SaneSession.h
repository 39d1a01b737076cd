// Stands for the TWAIN session: the scanners that SANE offers, one of them opened, its
// options, and the acquisition of pages into numbered JPEG files.
#pragma once

#include "SaneOption.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

// libsane is not thread-safe, so every SANE call runs on the session's own thread. Each
// public call queues a job and returns at once; its result comes back as a signal, emitted
// on the thread that created the session (the GUI thread), so that thread never waits for a
// device.
//
// SANE is initialised when the first job runs and left (sane_exit) only when the session is
// destroyed; the destructor cancels a scan in progress and waits for the thread's end.
class SaneSession : public QObject
{
    Q_OBJECT

public:
    // Status values of the signals besides SANE's own (SANE_STATUS_GOOD = 0, CANCELLED = 2,
    // NO_DOCS = 7, ...): the library could not be loaded, or the call was refused by the
    // session itself (no device open, no folder to save into).
    static constexpr int kStatusNoLibrary = -1;
    static constexpr int kStatusRefused = -2;

    explicit SaneSession(QObject* parent = nullptr);
    ~SaneSession() override;

    // Lists the devices (may take seconds for network scanners): devicesListed.
    void listDevices();
    // Opens the device (closing one that is open): opened.
    void open(const QByteArray& deviceName);
    // Reads every option descriptor and value of the open device: optionsRead.
    void readOptions();
    // Sets an option: optionSet; when its flag says so, the dialog reads the options (or
    // the parameters) again. value as SaneOption::value holds it.
    void setOption(int index, const QVariant& value);
    // Lets the device choose the value itself: optionSet.
    void setAutomatic(int index);
    // Scans into destinationFolder: pages until the feeder is empty, or one page from a
    // flatbed; each page is saved as KVF<number>.jpg. scanProgress, pageSaved or pageFailed
    // for each page, scanFinished at the end. An empty folder is refused.
    void startScan(const QString& destinationFolder);
    // Stops a scan in progress as soon as the device allows; a page being scanned is
    // dropped (no file). Safe from any thread.
    void cancel();
    // Closes the open device: closed.
    void close();

    // Whether libsane could be loaded at all (cheap; does not initialise SANE).
    static bool libraryAvailable();

signals:
    void devicesListed(const QList<SaneDeviceInfo>& devices, int status);
    void opened(bool ok, const QString& error);
    void optionsRead(const QList<SaneOption>& options);
    void optionSet(int index, bool reloadOptions, bool reloadParams, const QString& error);
    // percent is -1 while the page's height is unknown (a hand scanner).
    void scanProgress(int page, int percent);
    void pageSaved(int page, const QString& path);
    void pageFailed(int page, const QString& reason);
    // status: 0 when the pages ran out normally, 2 when cancelled, another SANE status or
    // one of the kStatus values on failure; error then says what happened.
    void scanFinished(int pagesSaved, int status, const QString& error);
    void closed();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
