#pragma once

#include <memory>

class CrashReportObject;
class CrashReportSingal;

// Takes over a crash record found at start-up. When done with it, the delegate calls
// CrashReportSender::sharedCrashReportSender().noticeHandleCrashReportSuccess().
class CrashReportDelegate
{
public:
    virtual ~CrashReportDelegate();
    virtual void handleCrashReport(const CrashReportObject &report) = 0;
};

// The process-wide owner of the crash hooks and of the record a crash left behind. Creating it
// installs the hooks; at start-up the application hands a pending record to its delegate, whose
// acknowledgement deletes the file.
// Thread: main thread (only the creation of the instance is guarded).
class CrashReportSender
{
public:
    static CrashReportSender &sharedCrashReportSender();

    CrashReportSender(const CrashReportSender &) = delete;
    CrashReportSender &operator=(const CrashReportSender &) = delete;

    // True when a crash record file exists.
    bool hasPendingCrashReport() const;
    // Hands a pending record to `delegate`. A record file that cannot be read is removed, so it
    // does not come back at every start.
    void handleCrashReport(CrashReportDelegate *delegate);
    // The delegate is done with the record: logs it and deletes the file.
    void noticeHandleCrashReportSuccess();

private:
    CrashReportSender();
    ~CrashReportSender();

    void cleanCrashReports();

    std::unique_ptr<CrashReportSingal> m_crashSignalHanler;
    CrashReportDelegate *m_delegate = nullptr; // not owned
};
