#include "StartUp.h"

#include "AppMessageFilter.h"
#include "DriveRequestEvent.h"
#include "SingleInstance.h"
#include "TfrmMain.h"
#include "TfrmSplash.h"
#include "uLanguage.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>

namespace {

constexpr int kSplashSeconds = 2;

enum StartUpText : unsigned
{
    TextOk = 7,
    TextRunningCopyNotResponding = 121,
};

void showRunningCopyNotResponding()
{
    LoadLanguage();
    QMessageBox box(QMessageBox::Warning, QLatin1String(kApplicationTitle),
                    GetText(TextRunningCopyNotResponding), QMessageBox::NoButton);
    box.setObjectName(QStringLiteral("RunningCopyNotResponding"));
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

QString driveArgument(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.at(1).isEmpty())
        return QString();
    return QFileInfo(arguments.at(1)).absoluteFilePath();
}

int runFotodesk(int& argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("velko-fotodesk"));
    app.setOrganizationName(QStringLiteral("Velkorp"));
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    // The window is laid out for Tahoma; Liberation Sans has nearly its widths.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    const QString drive = driveArgument(app.arguments());

    SingleInstance instance;
    if (instance.start() == SingleInstance::Role::Second) {
        if (instance.sendToFirst(DriveRequest{drive, true}))
            return 0;
        // A live copy holds the lock but did not answer: a second main window beside it
        // would share its files and settings, so this copy only says so and ends.
        showRunningCopyNotResponding();
        return 1;
    }

    TfrmSplash splash;
    splash.open(kSplashSeconds);
    LoadLanguage();

    TfrmMain frmMain;
    frmMain.createLongLivedWindows();
    splash.closeSplash();

    AppMessageFilter hook(
        [&frmMain](QObject* target, QEvent* event) { return frmMain.AppMessage(target, event); });
    app.installEventFilter(&hook);

    QObject::connect(&instance, &SingleInstance::activationRequested, &frmMain,
                     &TfrmMain::bringToFront);
    QObject::connect(
        &instance, &SingleInstance::requestReceived, &app, [&app](const DriveRequest& request) {
            if (!request.drivePath.isEmpty())
                QCoreApplication::postEvent(&app, new DriveRequestEvent(request.drivePath, true));
        });
    if (!drive.isEmpty())
        QCoreApplication::postEvent(&app, new DriveRequestEvent(drive, false));
    instance.setReady();

    // Without a window manager nothing maximises the window; it then fills the screen itself.
    if (const QScreen* screen = frmMain.screen())
        frmMain.setGeometry(screen->availableGeometry());
    frmMain.showMaximized();
    return app.exec();
}
