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
