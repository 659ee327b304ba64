#include "Shared/Logging.h"

Q_LOGGING_CATEGORY(lcModel, "wavelark.model", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEngine, "wavelark.engine", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShared, "wavelark.shared", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCrash, "wavelark.crash", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNet, "wavelark.net", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMainWindow, "wavelark.mainwindow", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPrefs, "wavelark.preferences", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "wavelark.app", QtInfoMsg)

namespace Logging {
namespace {

bool switchedOn(const char *variable)
{
    const QByteArray value = qgetenv(variable);
    return !value.isEmpty() && value != "0";
}

QString rule(const char *level, bool on)
{
    return QStringLiteral("wavelark.*.") + QLatin1String(level) +
           (on ? QStringLiteral("=true") : QStringLiteral("=false"));
}

} // namespace

bool debugRequested()
{
    return switchedOn(kDebugVariable);
}

bool quietRequested()
{
    return switchedOn(kQuietVariable);
}

void configure(LogLines byDefault, bool verbose)
{
    const bool debug = verbose || debugRequested();
    const bool info = debug || (byDefault == LogLines::Written && !quietRequested());
    QLoggingCategory::setFilterRules(rule("debug", debug) + QLatin1Char('\n') + rule("info", info));
}

} // namespace Logging
