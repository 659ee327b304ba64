#pragma once

// Installs the crash hooks: the handler of uncaught C++ exceptions (std::set_terminate) and the
// handlers of the fatal signals. Either leaves one crash record ("crash.info", see
// CrashReportUtil) and lets the process end as it would have without the hooks.
// Thread: create on the main thread at start-up; the handlers run on the crashing thread.
// The class name keeps its spelling: docs/ARCHITECTURE.md, "Kept as they are".
class CrashReportSingal
{
public:
    CrashReportSingal();

    CrashReportSingal(const CrashReportSingal &) = delete;
    CrashReportSingal &operator=(const CrashReportSingal &) = delete;

    // errno of the signal registration that failed (the later signals stay untrapped); 0 when
    // every signal was trapped.
    int registrationError() const { return m_registrationError; }

private:
    int m_registrationError = 0;
};
