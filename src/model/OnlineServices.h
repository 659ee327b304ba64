#pragma once

// Whether the program may send anything to the network on its own: the start-up report, the
// store lookups of the rating prompt and the update check. The user's "Privacy" switch
// ("AppOnlineServicesKey", on unless stored off) decides, and WAVELARK_OFFLINE=1 turns it off
// whatever is stored. The products window still fetches its list when the user opens it.
// Thread: any.
class OnlineServices
{
public:
    OnlineServices() = delete;

    static constexpr const char *kOfflineVariable = "WAVELARK_OFFLINE";

    // True when WAVELARK_OFFLINE holds anything but "" or "0".
    static bool forcedOffline();
    static bool allowed();
};
