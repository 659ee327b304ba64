#include "CliProcess.h"

#include <QCoreApplication>
#include <QProcess>

namespace CliProcess {

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/wavelark-cli");
}

Result run(const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program(), arguments);
    Result result;
    if (!process.waitForStarted(60000) || !process.waitForFinished(600000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace CliProcess
