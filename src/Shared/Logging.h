#pragma once

#include <QLoggingCategory>

// One logging category per layer; the diagnostics of every layer go through its own.
Q_DECLARE_LOGGING_CATEGORY(lcModel)
Q_DECLARE_LOGGING_CATEGORY(lcEngine)
Q_DECLARE_LOGGING_CATEGORY(lcShared)
Q_DECLARE_LOGGING_CATEGORY(lcCrash)
Q_DECLARE_LOGGING_CATEGORY(lcNet)
Q_DECLARE_LOGGING_CATEGORY(lcMainWindow)
Q_DECLARE_LOGGING_CATEGORY(lcPrefs)
Q_DECLARE_LOGGING_CATEGORY(lcApp)

// The programs' start: debug and info messages of the wavelark.* categories stay quiet unless
// `verbose` or WAVELARK_DEBUG=1 asks for them; warnings always show. QT_LOGGING_RULES still
// wins over both. Thread: main thread, before other threads start.
namespace Logging {
inline constexpr const char *kDebugVariable = "WAVELARK_DEBUG";
bool debugRequested();
void configure(bool verbose);
} // namespace Logging
