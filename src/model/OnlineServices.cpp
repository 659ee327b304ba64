#include "model/OnlineServices.h"

#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QByteArray>

bool OnlineServices::forcedOffline()
{
    const QByteArray value = qgetenv(kOfflineVariable);
    return !value.isEmpty() && value != "0";
}

bool OnlineServices::allowed()
{
    if (forcedOffline())
        return false;
    const QVariant stored = UserDefaults::standard().objectForKey(PrefKeys::AppOnlineServices);
    return !stored.isValid() || stored.toBool();
}
