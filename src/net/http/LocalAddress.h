#pragma once

#include <QUrl>

class QNetworkReply;

// Keeps answers from a public server from steering Wavelark into the user's own machine or
// network: a redirect, or an address a server lists (a thumbnail), that leads to a loopback,
// private, link-local or unspecified address is not followed, unless the configured server is
// at such an address itself (a mirror on the local network, a test server on 127.0.0.1). Hosts
// are judged by their text: a literal address, or "localhost" and names below it.
// Thread: any (no state); guardRedirects() on the reply's thread.
class LocalAddress
{
public:
    LocalAddress() = delete;

    // True when `url` names this machine or a private network.
    static bool isLocal(const QUrl &url);
    // Whether a step from a request to `server` (what Wavelark asked for) may go to `target`.
    static bool allows(const QUrl &server, const QUrl &target);
    // Makes `reply` (sent with QNetworkRequest::UserVerifiedRedirectPolicy) follow a redirect
    // only where allows(first address, target) and it does not go from HTTPS to HTTP; anything
    // else ends it with an error.
    static void guardRedirects(QNetworkReply *reply);
};
