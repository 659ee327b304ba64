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

// The programs' start. The window writes its log lines (the wavelark.* info messages) unless
// WAVELARK_QUIET=1 silences them; wavelark-cli stays quiet unless `verbose` asks for them.
// Debug messages need WAVELARK_DEBUG=1 (or `verbose`); warnings always show. QT_LOGGING_RULES
// still wins over all of these. Thread: main thread, before other threads start.
namespace Logging {
inline constexpr const char *kDebugVariable = "WAVELARK_DEBUG";
inline constexpr const char *kQuietVariable = "WAVELARK_QUIET";
enum class LogLines { Written, Quiet };
bool debugRequested();
bool quietRequested();
void configure(LogLines byDefault, bool verbose);
} // namespace Logging
