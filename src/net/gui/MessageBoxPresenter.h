#pragma once

#include "net/store/PromptPresenter.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

// Shows the rating prompt's and the update check's sheets as window-modal message boxes on the
// main window: the registered one when it is visible, else the active window.
// Thread: main thread.
class MessageBoxPresenter final : public PromptPresenter
{
public:
    static constexpr int kNotesWidth = 380;
    static constexpr int kNotesMaxHeight = 203;

    explicit MessageBoxPresenter(QWidget *mainWindow = nullptr);

    void setMainWindow(QWidget *mainWindow) { m_mainWindow = mainWindow; }

    bool mainWindowAvailable() override;
    void showSheet(const PromptSheet &sheet, std::function<void(int)> done) override;

    // The message box of the sheet on display, or null (for tests).
    QMessageBox *visibleBox() const { return m_visibleBox; }

    // Builds the message box of `sheet` on `parent` without showing it.
    static QMessageBox *createBox(const PromptSheet &sheet, QWidget *parent);

private:
    QWidget *mainWindow() const;

    QPointer<QWidget> m_mainWindow;
    QPointer<QMessageBox> m_visibleBox;
};
