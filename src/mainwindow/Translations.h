#pragma once

class QCoreApplication;

// The English texts of the window's keys that are not plain English ("StatusBarInfo",
// "library_drag_tip"), compiled into the program as a resource.
namespace Translations {

// Installs the translator into `app` (once; later calls do nothing). Call it right after the
// application object is created, before any window is built. False when the table is missing.
bool install(QCoreApplication &app);

} // namespace Translations
