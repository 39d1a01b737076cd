// The proxy the desktop names for an address, through libproxy: the environment, the
// desktop's settings and PAC files (through libproxy's plug-ins).
#pragma once

#include <QString>

namespace upload {

// curl's proxy string for url ("http://proxy.example:3128", "socks5://..."), empty for a
// direct connection ("direct://") or when libproxy has no answer. Thread-safe. May take a
// while (a PAC file may be fetched): call it off the GUI thread.
QString proxyFor(const QString& url);

} // namespace upload
