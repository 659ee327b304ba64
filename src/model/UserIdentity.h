#pragma once

#include <QString>

// This installation's user id, kept in the preferences store under "guid". Reports (start-up,
// crash records) send it so that the service can tell installations apart.
// Thread: any; the first call creates the id under a lock of its own.
class UserIdentity
{
public:
    UserIdentity() = delete;

    // The stored id; created (an upper-case UUID without braces) and stored on first use.
    static QString getGUID();
};
