#include "model/UserIdentity.h"

#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QMutex>
#include <QUuid>

QString UserIdentity::getGUID()
{
    // Two first calls at once would otherwise each create and store an id of their own.
    static QMutex creation;
    QMutexLocker locker(&creation);
    UserDefaults &store = UserDefaults::standard();
    const QString stored = store.stringForKey(PrefKeys::Guid);
    if (!stored.isEmpty())
        return stored;
    const QString created = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    store.setValue(PrefKeys::Guid, created);
    store.synchronize();
    return created;
}
