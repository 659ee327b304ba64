#include "crash/CrashReportUtil.h"

#include <QDir>
#include <QStandardPaths>

QString CrashReportUtil::getCrashReportObjectPath()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + QStringLiteral("/Documents");
    return documents + QStringLiteral("/crash.info");
}
