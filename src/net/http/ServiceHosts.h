#pragma once

#include <QString>

// The one place that knows where the maker's web server and the store live. Each address can be
// pointed elsewhere (a mirror, or a server on 127.0.0.1 in tests): the environment variable wins,
// then the preference, then the built-in default. Addresses come without a trailing slash.
// Thread: any.
class ServiceHosts
{
public:
    ServiceHosts() = delete;

    static constexpr const char *kMakerServerVariable = "WAVELARK_MAKER_SERVER";
    static constexpr const char *kStoreServerVariable = "WAVELARK_STORE_SERVER";
    static constexpr const char *kDefaultMakerServer = "http://www.morvane.com";

    // Start-up report and product list (PrefKeys::MakerServerOverride).
    static QString makerServer();
    // The store lookup service (PrefKeys::StoreServerOverride); without an address of its own,
    // the maker's server, never a third party: the store page itself is the desktop's software
    // centre (StoreLookup::storePageUrl), which no public lookup lists.
    static QString storeLookupServer();

    // makerServer() followed by `pathAndQuery`, which starts with a slash.
    static QString makerUrl(const QString &pathAndQuery);
    // The maker's product list, a JSON array.
    static QString productListUrl();
};
