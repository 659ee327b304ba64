#pragma once

#include <QIcon>
#include <QString>

// The toolbar images of the preferences panes, by the names the panes ask for ("Run-64",
// "prefs_paths"): the desktop theme's icon for the purpose, else the widget style's own.
// Thread: main thread.
namespace PrefsImages {

QIcon named(const QString &name);

} // namespace PrefsImages
