#include "crash/CrashReportSender.h"

#include "Shared/Logging.h"
#include "crash/CrashReportObject.h"
#include "crash/CrashReportSingal.h"
#include "crash/CrashReportUtil.h"

#include <QFile>

CrashReportDelegate::~CrashReportDelegate() = default;

CrashReportSender &CrashReportSender::sharedCrashReportSender()
{
    // Never destroyed: the hooks stay installed until the process ends.
    static CrashReportSender *const instance = new CrashReportSender;
    return *instance;
}

CrashReportSender::CrashReportSender()
    : m_crashSignalHanler(std::make_unique<CrashReportSingal>())
{}

CrashReportSender::~CrashReportSender() = default;

bool CrashReportSender::hasPendingCrashReport() const
{
    return QFile::exists(CrashReportUtil::getCrashReportObjectPath());
}

void CrashReportSender::handleCrashReport(CrashReportDelegate *delegate)
{
    m_delegate = delegate;
    if (m_delegate == nullptr || !hasPendingCrashReport())
        return;
    const QString path = CrashReportUtil::getCrashReportObjectPath();
    const std::optional<CrashReportObject> record = CrashReportObject::initWithContentsOfFile(path);
    if (!record) {
        qCWarning(lcCrash).noquote()
            << QStringLiteral("crash record %1 cannot be read; removing it").arg(path);
        cleanCrashReports();
        return;
    }
    m_delegate->handleCrashReport(*record);
}

void CrashReportSender::noticeHandleCrashReportSuccess()
{
    // Log wording kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
    qCInfo(lcCrash).noquote() << QStringLiteral("CRASH REPORT 处理成功");
    cleanCrashReports();
}

void CrashReportSender::cleanCrashReports()
{
    // A file that cannot be removed is simply handed on again at the next start.
    QFile::remove(CrashReportUtil::getCrashReportObjectPath());
}
