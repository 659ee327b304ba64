#include "net/http/LocalAddress.h"

#include "Shared/Logging.h"

#include <QHostAddress>
#include <QNetworkReply>

namespace {

bool isLocalAddress(const QHostAddress &address)
{
    if (address.isLoopback() || address.isNull() || address.isLinkLocal() ||
        address.isSiteLocal() || address.isUniqueLocalUnicast() || address.isMulticast() ||
        address.isBroadcast())
        return true;
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    if (!mapped)
        return false;
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return isLocalAddress(QHostAddress(ipv4));
    // 0.0.0.0/8, 10/8, 100.64/10 (carrier-grade NAT), 127/8, 169.254/16, 172.16/12, 192.168/16.
    return (ipv4 >> 24) == 0 || (ipv4 >> 24) == 10 || (ipv4 >> 22) == (100u << 2 | 1u) ||
           (ipv4 >> 24) == 127 || (ipv4 >> 16) == (169u << 8 | 254u) ||
           (ipv4 >> 20) == (172u << 4 | 1u) || (ipv4 >> 16) == (192u << 8 | 168u);
}

} // namespace

bool LocalAddress::isLocal(const QUrl &url)
{
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return false;
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && isLocalAddress(address);
}

bool LocalAddress::allows(const QUrl &server, const QUrl &target)
{
    return !isLocal(target) || isLocal(server);
}

void LocalAddress::guardRedirects(QNetworkReply *reply)
{
    const QUrl first = reply->request().url();
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, first](const QUrl &target) {
        const QUrl next = reply->url().resolved(target);
        // What the default policy refuses stays refused: no step from HTTPS down to HTTP.
        const bool downgrade =
            first.scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https");
        if (!downgrade && allows(first, next)) {
            emit reply->redirectAllowed();
            return;
        }
        qCWarning(lcNet).noquote() << QStringLiteral("not following the redirect of %1 to %2")
                                          .arg(first.toDisplayString(), target.toDisplayString());
        reply->abort();
    });
}
