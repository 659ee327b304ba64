#pragma once

class OperationQueue;
class UserDefaults;

// The width of a conversion queue, kept in the preferences store as "AppMaxConvertNumKey".
// Thread: width() any; follow() the thread the queue belongs to.
class QueueWidthPreference
{
public:
    QueueWidthPreference() = delete;

    // The stored width, else the registered default.
    static int width(const UserDefaults &store);

    // From now on `queue` takes every width stored in `store` (until either is destroyed).
    static void follow(OperationQueue *queue, UserDefaults &store);
};
