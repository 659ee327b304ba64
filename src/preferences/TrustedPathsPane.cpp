#include "preferences/TrustedPathsPane.h"

#include "preferences/PrefsImages.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The folders of the list, one path per row, in every column.
class TrustedPathsModel final : public QAbstractTableModel
{
public:
    explicit TrustedPathsModel(const MVTrustedPathViewCtl *list, QObject *parent)
        : QAbstractTableModel(parent)
        , m_list(list)
    {}

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_list->items().size());
    }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_list->items().size())
            return QVariant();
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return m_list->items().at(index.row()).toLocalFile();
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return TrustedPathsPane::tr("Path");
        return QVariant();
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const MVTrustedPathViewCtl *m_list;
};

} // namespace

TrustedPathsPane::TrustedPathsPane(QWidget *parent, UserDefaults *store)
    : MVTrustedPathViewCtl(parent, store)
    , m_folderChooser(&FolderPanel::chooseFolders)
{
    m_tableView = new QTableView(this);
    m_model = new TrustedPathsModel(this, this);
    m_tableView->setModel(m_model);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->verticalHeader()->hide();

    auto *add = new QPushButton(QStringLiteral("+"), this);
    add->setToolTip(tr("Add Folder"));
    auto *remove = new QPushButton(QStringLiteral("-"), this);
    remove->setToolTip(tr("Remove Folder"));
    connect(add, &QPushButton::clicked, this, [this, add] { addFolderDown(add); });
    connect(remove, &QPushButton::clicked, this, [this, remove] { removeFolderDown(remove); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tableView, 1);
    layout->addLayout(buttons);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    resize(480, 300);

    restoreBookmarks();
}

TrustedPathsPane::~TrustedPathsPane() = default;

QString TrustedPathsPane::identifier() const
{
    return QStringLiteral("TrustedViewController");
}

QIcon TrustedPathsPane::toolbarItemImage() const
{
    return PrefsImages::named(QStringLiteral("prefs_paths"));
}

QString TrustedPathsPane::toolbarItemLabel() const
{
    return tr("Trusted Paths");
}

bool TrustedPathsPane::commitEditing()
{
    return MVTrustedPathViewCtl::commitEditing();
}

void TrustedPathsPane::setFolderChooser(FolderPanel::Chooser chooser)
{
    m_folderChooser = std::move(chooser);
}

void TrustedPathsPane::addFolderDown(QObject *)
{
    if (!m_folderChooser)
        return;
    QPointer<TrustedPathsPane> self(this);
    m_folderChooser(window(), true, [self](const QList<QUrl> &folders) {
        if (!self)
            return;
        for (const QUrl &folder : folders)
            self->addToBookmarkWithURL(folder);
        self->reloadList();
    });
}

void TrustedPathsPane::removeFolderDown(QObject *)
{
    QList<int> rows;
    for (const QModelIndex &index : m_tableView->selectionModel()->selectedRows())
        rows.append(index.row());
    removeItemsAtRows(rows);
}

void TrustedPathsPane::reloadList()
{
    if (m_model)
        static_cast<TrustedPathsModel *>(m_model)->reload();
    MVTrustedPathViewCtl::reloadList();
}
