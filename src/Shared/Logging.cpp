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

bool debugRequested()
{
    const QByteArray value = qgetenv(kDebugVariable);
    return !value.isEmpty() && value != "0";
}

void configure(bool verbose)
{
    const bool on = verbose || debugRequested();
    QLoggingCategory::setFilterRules(on ? QStringLiteral("wavelark.*.debug=true\n"
                                                         "wavelark.*.info=true")
                                        : QStringLiteral("wavelark.*.debug=false\n"
                                                         "wavelark.*.info=false"));
}

} // namespace Logging
