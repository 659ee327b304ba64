#pragma once

#include "net/http/WebRequest.h"

#include <QString>

class WebRequestDelegate;

// Tells the maker's server, once per launch, which version runs on which system for which user
// id. The reply, its status and any failure are ignored.
// Thread: main thread.
class StartupReport
{
public:
    StartupReport() = delete;

    static constexpr int kChannelId = 5;

    // "/common_task/reportstartup.php?appver=...&appid=...&sysver=...&channelid=5&userid=..."
    // (creates and stores the user id on the first launch).
    static QString reportPath();
    // The path on the maker's server (ServiceHosts).
    static QString reportAddress();
    // Sends the report without cache; `delegate` (may be null) hears the usual calls.
    static WebRequestPtr send(WebRequestDelegate *delegate = nullptr);
};
