#pragma once

class AppDelegate;
class MacAppHelper;
class MainWndController;

// The main window's menu bar: the application menu (about, preferences, hide, quit), the list
// commands, and the help menu with the maker's commands.
// Thread: main thread.
namespace AppMenus {

void install(MainWndController &window, AppDelegate &delegate, MacAppHelper &helper);

} // namespace AppMenus
