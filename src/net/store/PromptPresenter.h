#pragma once

#include <QString>

#include <functional>

// One sheet of the rating prompt or the update check, as the core describes it.
struct PromptSheet
{
    QString title;           // the message text
    QString informativeText; // the line below it
    QString defaultButton;   // always present
    QString alternateButton; // empty: no such button
    QString otherButton;     // empty: no such button
    bool hasNotes = false;   // show `notes` in a read-only text area
    QString notes;
};

// The button a sheet ended with.
enum SheetReturnCode : int {
    SheetDefaultReturn = 1,
    SheetAlternateReturn = 0,
    SheetOtherReturn = -1,
};

// How the widget-free core shows its sheets: the GUI installs one that opens window-modal
// message boxes on the main window; tests install one that records the sheets and answers them.
// Until one is installed there is no main window, so nothing is ever shown.
// Thread: main thread.
class PromptPresenter
{
public:
    virtual ~PromptPresenter() = default;

    // True when there is a main window to show a sheet on.
    virtual bool mainWindowAvailable() = 0;
    // Shows `sheet` on the main window and returns at once; `done` is called later on the main
    // thread with the SheetReturnCode of the button chosen.
    virtual void showSheet(const PromptSheet &sheet, std::function<void(int)> done) = 0;

    static PromptPresenter &shared();
    // Installs `presenter` (not owned; it must outlive its use). Null restores the one that
    // shows nothing.
    static void setShared(PromptPresenter *presenter);
};
