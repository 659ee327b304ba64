#pragma once

class PrefsWindowController;

// The application's preferences window with its two panes, conversion settings and trusted
// folders. Thread: main thread; a QApplication must exist.
namespace PreferencesWindow {

// Creates the panes and the window controller on the first call (which regains the trusted
// folders, so call it once at start) and answers the same controller afterwards. Everything is
// released when the application quits.
PrefsWindowController *shared();

// The Preferences command: shows the window and brings it to the front.
void show();

} // namespace PreferencesWindow
