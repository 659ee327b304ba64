#include "net/http/StartupReport.h"

#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "model/UserIdentity.h"
#include "net/http/ServiceHosts.h"
#include "net/http/WebDataResponse.h"

QString StartupReport::reportPath()
{
    // The values hold only letters, digits, dots and hyphens, so they go in as they are.
    return QStringLiteral("/common_task/reportstartup.php?appver=%1&appid=%2&sysver=%3"
                          "&channelid=%4&userid=%5")
        .arg(GlobalFun::getAppBuildVersion(), GlobalFun::bundleID(),
             GlobalFun::getSystemVersionString(), QString::number(kChannelId),
             UserIdentity::getGUID());
}

QString StartupReport::reportAddress()
{
    return ServiceHosts::makerUrl(reportPath());
}

WebRequestPtr StartupReport::send(WebRequestDelegate *delegate)
{
    const QString address = reportAddress();
    qCDebug(lcNet) << "reporting start-up:" << address;
    WebRequestPtr request = WebRequest::requestWithURL(address, delegate);
    request->setResponse(std::make_shared<WebDataResponse>());
    request->setCachePolicy(WebCacheNoCache);
    request->send();
    return request;
}
