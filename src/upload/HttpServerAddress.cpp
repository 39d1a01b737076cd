#include "HttpServerAddress.h"

#include "MachineSettings.h"

namespace upload {

QString HttpServerAddress::baseUrl() const
{
    const quint16 defaultPort = tls ? 443 : 80;
    QString url = QLatin1String(tls ? "https://" : "http://") + host;
    if (port != defaultPort)
        url += QLatin1Char(':') + QString::number(port);
    return url;
}

HttpServerAddress parseServerString(const QString& server)
{
    HttpServerAddress address;
    QString rest = server.trimmed();
    for (const bool tls : {true, false}) {
        const QLatin1String scheme(tls ? "https://" : "http://");
        if (rest.startsWith(scheme, Qt::CaseInsensitive)) {
            address.tls = tls;
            rest = rest.mid(scheme.size());
            break;
        }
    }
    // What someone typed after the host is no part of the server.
    rest = rest.section(QLatin1Char('/'), 0, 0);
    address.port = address.tls ? 443 : 80;
    address.host = rest;

    // An IPv6 literal keeps its colons inside the brackets.
    qsizetype colon = rest.indexOf(QLatin1Char(':'));
    if (rest.startsWith(QLatin1Char('['))) {
        colon = rest.indexOf(QLatin1String("]:"));
        if (colon >= 0)
            ++colon;
    }
    if (colon < 0)
        return address;
    bool isNumber = false;
    const QString portText = rest.mid(colon + 1);
    const uint port = portText.toUInt(&isNumber, 10);
    // Only digits count: toUInt also takes a sign or blanks.
    bool digitsOnly = !portText.isEmpty();
    for (const QChar c : portText)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!isNumber || !digitsOnly || port == 0 || port > 65535)
        return address;
    address.host = rest.left(colon);
    address.port = quint16(port);
    return address;
}

QString siteHostSetting()
{
    const std::unique_ptr<QSettings> settings = openUserSettings(false);
    return settings ? settings->value(QStringLiteral("SiteHost")).toString().trimmed() : QString();
}

} // namespace upload
