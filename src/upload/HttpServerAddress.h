// Where a request goes: the server string the caller names ("host", "host:port", either
// after "http://" or "https://") split into scheme, host and port.
#pragma once

#include <QString>

namespace upload {

struct HttpServerAddress
{
    bool tls = false;
    QString host;
    quint16 port = 80;

    // "http://host:port" or "https://host:port", for curl and for links.
    QString baseUrl() const;
};

// The scheme is taken off first. The rest is split at its first ":" into the host and a
// decimal port; without a colon the port is 80 (443 after "https://"); a port that is not
// a number makes the whole rest the host on the default port.
HttpServerAddress parseServerString(const QString& server);

// The user settings' "SiteHost", trimmed; empty when none is set (the site is not
// configured, and the upload command stays hidden).
QString siteHostSetting();

} // namespace upload
