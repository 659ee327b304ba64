#include "engine/QueueWidthPreference.h"

#include "engine/OperationQueue.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QObject>

int QueueWidthPreference::width(const UserDefaults &store)
{
    return int(store.integerForKey(PrefKeys::AppMaxConvertNum));
}

void QueueWidthPreference::follow(OperationQueue *queue, UserDefaults &store)
{
    QObject::connect(&store, &UserDefaults::valueChanged, queue,
                     [queue, &store](const QString &key) {
                         if (key == PrefKeys::AppMaxConvertNum)
                             queue->setMaxConcurrentOperationCount(width(store));
                     });
}
