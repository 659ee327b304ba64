#pragma once

#include "preferences/FolderPanel.h"
#include "preferences/MVTrustedPathViewCtl.h"
#include "preferences/PrefsViewController.h"

class QAbstractTableModel;
class QTableView;

// The "Trusted Paths" preferences pane: the trusted folder list, one folder per row, with
// buttons to add folders (a folder dialog, several at once) and to remove the selected rows.
// Additions are stored at once; removals only when the pane commits (leaving it or closing the
// preferences window), so a removal that is never committed comes back at the next start.
//
// Creating the pane regains the stored folders, so the application creates it at start.
// Thread: main thread.
class TrustedPathsPane : public MVTrustedPathViewCtl, public PrefsViewController
{
    Q_OBJECT

public:
    // `store` as for MVTrustedPathViewCtl: null is the user's preferences store.
    explicit TrustedPathsPane(QWidget *parent = nullptr, UserDefaults *store = nullptr);
    ~TrustedPathsPane() override;

    QString identifier() const override;
    QIcon toolbarItemImage() const override;
    QString toolbarItemLabel() const override;
    QWidget *view() override { return this; }
    bool commitEditing() override;

    // Replaces the folder dialog of the add button (tests pick folders without one).
    void setFolderChooser(FolderPanel::Chooser chooser);

    QTableView *tableView() const { return m_tableView; }

public slots:
    void addFolderDown(QObject *sender = nullptr);
    void removeFolderDown(QObject *sender = nullptr);

protected:
    void reloadList() override;

private:
    QTableView *m_tableView = nullptr;
    QAbstractTableModel *m_model = nullptr;
    FolderPanel::Chooser m_folderChooser;
};
