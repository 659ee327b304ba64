#include "app/MacAppHelper.h"

#include "AppInfo.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "Shared/Workspace.h"
#include "model/OnlineServices.h"
#include "net/gui/AppRecommandWndCtl.h"
#include "net/http/StartupReport.h"

#include <QUrlQuery>

namespace {
MacAppHelper *g_shared = nullptr;
}

MacAppHelper::MacAppHelper(QObject *parent)
    : QObject(parent)
{
    g_shared = this;
}

MacAppHelper::~MacAppHelper()
{
    if (g_shared == this)
        g_shared = nullptr;
    delete m_recWndCtl;
}

MacAppHelper *MacAppHelper::sharedInstance()
{
    return g_shared;
}

void MacAppHelper::awakeFromNib()
{
    if (!g_shared)
        g_shared = this;
    CrashReportSender &sender = CrashReportSender::sharedCrashReportSender();
    if (sender.hasPendingCrashReport())
        sender.handleCrashReport(this);
    setBundleID(GlobalFun::bundleID());
    reportStartup();
}

void MacAppHelper::reportStartup()
{
    if (!OnlineServices::allowed()) {
        qCInfo(lcApp) << "start-up report not sent: online services are off";
        return;
    }
    // Held only so the request outlives this call; its reply is of no interest.
    m_startupReport = StartupReport::send(this);
}

void MacAppHelper::handleCrashReport(const CrashReportObject &)
{
    CrashReportSender::sharedCrashReportSender().noticeHandleCrashReportSuccess();
}

QUrl MacAppHelper::feedbackUrl()
{
    QUrl url(QStringLiteral("mailto:") + QLatin1String(kSupportMailbox));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
                       QStringLiteral("About %1").arg(QLatin1String(AppInfo::kProductName)));
    url.setQuery(query);
    return url;
}

QUrl MacAppHelper::storePageUrl()
{
    // The desktop's software centre shows the program's page from its AppStream id.
    return QUrl(QStringLiteral("appstream:") + QLatin1String(AppInfo::kBundleIdentifier));
}

void MacAppHelper::feedbackDown()
{
    Workspace::shared().openUrl(feedbackUrl());
}

void MacAppHelper::moreProductsDown()
{
    if (!m_recWndCtl)
        m_recWndCtl = new AppRecommandWndCtl;
    m_recWndCtl->showWindow();
}

void MacAppHelper::rateDown()
{
    Workspace::shared().openUrl(storePageUrl());
}

void MacAppHelper::websiteDown()
{
    Workspace::shared().openUrl(QUrl(QLatin1String(kWebsite)));
}
