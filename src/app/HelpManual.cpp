#include "HelpManual.h"

#include "HttpServerAddress.h"
#include "ProgramData.h"
#include "ProgramVersion.h"
#include "uLanguage.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QScopedValueRollback>

namespace {

enum : unsigned
{
    TextOk = 7,
    TextManualNotInstalled = 132,
};

constexpr char kManualFile[] = "Manual/manual.htm";
constexpr char kOnlineManualPath[] = "/fotodesk/manual/default.aspx";

} // namespace

QString photoSiteBaseAddress(const QString& siteHost)
{
    const upload::HttpServerAddress server = upload::parseServerString(siteHost);
    const QUrl address(server.baseUrl(), QUrl::StrictMode);
    if (server.host.isEmpty() || !address.isValid() || address.host().isEmpty() ||
        !address.userInfo().isEmpty())
        return QString();
    return address.toString();
}

QUrl manualAddress()
{
    const QFileInfo manual(programDataFile(QLatin1String(kManualFile)));
    if (manual.isFile())
        return QUrl::fromLocalFile(manual.absoluteFilePath());
    const QString site = photoSiteBaseAddress(upload::siteHostSetting());
    if (site.isEmpty())
        return QUrl();
    return QUrl(site + QLatin1String(kOnlineManualPath));
}

void openManual(QWidget* parent)
{
    // F1 held down, or pressed again on the message below, opens nothing more.
    static bool opening = false;
    if (opening)
        return;
    const QScopedValueRollback guard(opening, true);

    const QUrl address = manualAddress();
    if (!address.isEmpty()) {
        QDesktopServices::openUrl(address);
        return;
    }
    QMessageBox box(QMessageBox::Information, QLatin1String(kApplicationTitle),
                    GetText(TextManualNotInstalled), QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("ManualNotInstalled"));
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
}
