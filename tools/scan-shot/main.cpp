// Shows one of the scanner's windows on SANE's test backend and saves what it draws.
// usage: velko-scan-shot chooser|source|options|progress OUTPUT.png
// The language is the machine setting's (XDG_CONFIG_DIRS), as in the program.
#include "SaneSession.h"
#include "ScanOptionsDialog.h"
#include "SourceChooser.h"
#include "TfrmTwain.h"
#include "uLanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QProgressBar>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

int fail(const char* message)
{
    std::fprintf(stderr, "velko-scan-shot: %s\n", message);
    return 1;
}

bool waitFor(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(20000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

bool save(QWidget& widget, const QString& path)
{
    QCoreApplication::processEvents();
    return widget.grab().save(path);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LoadLanguage();
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail("usage: velko-scan-shot chooser|source|options|progress OUTPUT.png");
    const QString which = args[1];
    const QString output = args[2];

    // The test backend: two devices; slow pages, so that a scan is caught in progress.
    QTemporaryDir config;
    QTemporaryDir pages;
    if (!config.isValid() || !pages.isValid())
        return fail("no temporary folder");
    const auto write = [&](const char* name, const QByteArray& text) {
        QFile file(config.filePath(QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    if (!write("dll.conf", "test\n") ||
        !write("test.conf", "number_of_devices 2\nmode Color\nresolution 150\n"
                            "test-picture \"Color pattern\"\nread-delay true\n"
                            "read-delay-duration 3000\n"))
        return fail("the test backend cannot be configured");
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(config.path()));
    const QString destination = QDir::homePath() + QStringLiteral("/Pictures/Scans");

    if (which == QLatin1String("chooser")) {
        SourceChooser chooser;
        chooser.show();
        return save(chooser, output) ? 0 : fail("cannot save");
    }

    SaneSession session;
    QList<SaneDeviceInfo> devices;
    bool listed = false;
    QObject::connect(&session, &SaneSession::devicesListed,
                     [&](const QList<SaneDeviceInfo>& found) {
                         devices = found;
                         listed = true;
                     });
    session.listDevices();
    if (!waitFor([&] { return listed; }) || devices.isEmpty())
        return fail("the test backend lists no device");

    if (which == QLatin1String("source")) {
        TfrmTwain frmTwain;
        for (const SaneDeviceInfo& device : devices)
            frmTwain.addSource(device.displayName() + QStringLiteral(" (") +
                                   QString::fromLatin1(device.name) + QLatin1Char(')'),
                               QString::fromLatin1(device.name));
        frmTwain.setDestination(destination);
        frmTwain.show();
        return save(frmTwain, output) ? 0 : fail("cannot save");
    }

    ScanOptionsDialog dialog(session, devices.first(), pages.path());
    bool shown = false;
    QObject::connect(&dialog, &ScanOptionsDialog::optionsShown, [&] { shown = true; });
    dialog.show();
    if (!waitFor([&] { return shown; }))
        return fail("the options were not shown");
    if (which == QLatin1String("options"))
        return save(dialog, output) ? 0 : fail("cannot save");
    if (which != QLatin1String("progress"))
        return fail("unknown window");

    auto* source = dialog.findChild<QComboBox*>(QStringLiteral("source"));
    if (source) {
        const int feeder = source->findText(QStringLiteral("Automatic Document Feeder"));
        source->setCurrentIndex(feeder);
        shown = false;
        emit source->activated(feeder);
        waitFor([&] { return shown; });
    }
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("pbPage"));
    dialog.btnScanClick();
    int saved = 0;
    QObject::connect(&session, &SaneSession::pageSaved, [&] { ++saved; });
    if (!waitFor([&] { return saved >= 2 && bar && bar->value() >= 40; }))
        return fail("the scan did not get going");
    const bool ok = save(dialog, output);
    dialog.reject(); // cancels the scan
    waitFor([&] { return !dialog.isScanning(); });
    return ok ? 0 : fail("cannot save");
}
