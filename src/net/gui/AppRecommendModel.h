#pragma once

#include "net/gui/AppRecommendItem.h"

#include <QAbstractTableModel>
#include <QList>

// The product table's data: one row per product, columns "thumbnail", "version", "desc" and
// "button" (the store button; it has no value of its own). The name is not shown.
// Thread: main thread.
class AppRecommendModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kThumbnailSize = 64;

    using QAbstractTableModel::QAbstractTableModel;

    static QStringList columnIdentifiers();
    static int columnOf(const QString &identifier);

    const QList<AppRecommendItem> &items() const { return m_items; }
    void setItems(const QList<AppRecommendItem> &items);
    // Shows `image` (scaled down to the thumbnail size) in `row`.
    void setThumbnail(int row, const QImage &image);

    // The value of the cell of column `identifier` in `row`: the thumbnail image, the version
    // text, the description text, or nothing.
    QVariant objectValue(const QString &identifier, int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<AppRecommendItem> m_items;
};
