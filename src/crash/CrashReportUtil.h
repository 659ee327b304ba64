#pragma once

#include <QString>

// Where the crash record lives: "crash.info" in the user's Documents folder.
// Thread: any.
class CrashReportUtil
{
public:
    CrashReportUtil() = delete;

    // Computed afresh on every call; nothing else in the program chooses this path.
    static QString getCrashReportObjectPath();
};
