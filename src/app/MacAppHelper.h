#pragma once

#include "crash/CrashReportSender.h"
#include "net/http/WebRequest.h"
#include "net/http/WebRequestDelegate.h"

#include "net/gui/AppRecommandWndCtl.h"

#include <QObject>
#include <QPointer>
#include <QString>

class AppRecommandWndCtl;
class QWidget;

// The application helper: at wake-up it hands a crash record left by an earlier run to the
// crash reporter (which deletes it) and reports the start to the maker's server; it answers the
// menu commands for feedback, more products, rating and the website.
// Thread: main thread.
class MacAppHelper : public QObject, public CrashReportDelegate, public WebRequestDelegate
{
    Q_OBJECT

public:
    // The maker's fixed addresses.
    static constexpr const char *kSupportMailbox = "support@morvane.com";
    static constexpr const char *kWebsite = "https://www.morvane.com/wavelark";

    explicit MacAppHelper(QObject *parent = nullptr);
    ~MacAppHelper() override;

    // The helper recorded as the shared one; null until one was created.
    static MacAppHelper *sharedInstance();

    void awakeFromNib();
    void reportStartup();

    void handleCrashReport(const CrashReportObject &report) override;

    void feedbackDown();
    void moreProductsDown();
    void rateDown();
    void websiteDown();

    // The addresses the commands open.
    static QUrl feedbackUrl();
    static QUrl storePageUrl();

    QString bundleID() const { return m_bundleID; }
    void setBundleID(const QString &bundleID) { m_bundleID = bundleID; }
    QWidget *mainWnd() const { return m_mainWnd; }
    void setMainWnd(QWidget *window) { m_mainWnd = window; }
    AppRecommandWndCtl *recommendationsWindow() const { return m_recWndCtl; }

private:
    QPointer<AppRecommandWndCtl> m_recWndCtl;
    QPointer<QWidget> m_mainWnd;
    QString m_bundleID;
    WebRequestPtr m_startupReport;
};
