#include "Shared/Logging.h"

Q_LOGGING_CATEGORY(lcModel, "wavelark.model", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEngine, "wavelark.engine", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShared, "wavelark.shared", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCrash, "wavelark.crash", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNet, "wavelark.net", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMainWindow, "wavelark.mainwindow", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPrefs, "wavelark.preferences", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "wavelark.app", QtInfoMsg)
