#include "net/http/ServiceHosts.h"

#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

namespace {

QString overridden(const char *variable, QLatin1String preference, const char *fallback)
{
    QString address = qEnvironmentVariable(variable).trimmed();
    if (address.isEmpty())
        address = UserDefaults::standard().stringForKey(preference).trimmed();
    if (address.isEmpty())
        address = QString::fromLatin1(fallback);
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return address;
}

} // namespace

QString ServiceHosts::makerServer()
{
    return overridden(kMakerServerVariable, PrefKeys::MakerServerOverride, kDefaultMakerServer);
}

QString ServiceHosts::storeLookupServer()
{
    // Without an address of its own the lookup goes where the maker's server is.
    const QString own = overridden(kStoreServerVariable, PrefKeys::StoreServerOverride, "");
    return own.isEmpty() ? makerServer() : own;
}

QString ServiceHosts::makerUrl(const QString &pathAndQuery)
{
    return makerServer() + pathAndQuery;
}

QString ServiceHosts::productListUrl()
{
    return makerUrl(QStringLiteral("/jsons/products.json"));
}
