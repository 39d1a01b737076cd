#include "ProxyResolver.h"

#include <proxy.h>

#include <mutex>

namespace upload {

namespace {

// One factory for the process: it loads the plug-ins and caches a PAC file. Lookups are
// serialised, since a factory is not safe to share between threads.
struct ProxyFactory
{
    std::mutex mutex;
    pxProxyFactory* factory = nullptr;

    ~ProxyFactory()
    {
        if (factory)
            px_proxy_factory_free(factory);
    }
};

ProxyFactory& proxyFactory()
{
    static ProxyFactory instance;
    return instance;
}

} // namespace

QString proxyFor(const QString& url)
{
    ProxyFactory& shared = proxyFactory();
    const std::lock_guard lock(shared.mutex);
    if (!shared.factory)
        shared.factory = px_proxy_factory_new();
    if (!shared.factory)
        return QString();
    char** proxies = px_proxy_factory_get_proxies(shared.factory, url.toUtf8().constData());
    if (!proxies)
        return QString();
    QString proxy = proxies[0] ? QString::fromUtf8(proxies[0]) : QString();
    px_proxy_factory_free_proxies(proxies);
    if (proxy.startsWith(QLatin1String("direct://")))
        return QString();
    // libproxy's plain "socks" (the desktop's SOCKS host) goes to curl as version 5, which
    // desktops mean by it; curl alone would take version 4.
    if (proxy.startsWith(QLatin1String("socks://")))
        proxy.replace(0, 5, QStringLiteral("socks5"));
    return proxy;
}

} // namespace upload
