#include "net/gui/AppRecommendModel.h"

#include <QTextDocument>

QStringList AppRecommendModel::columnIdentifiers()
{
    return {QStringLiteral("thumbnail"), QStringLiteral("version"), QStringLiteral("desc"),
            QStringLiteral("button")};
}

int AppRecommendModel::columnOf(const QString &identifier)
{
    return int(columnIdentifiers().indexOf(identifier));
}

void AppRecommendModel::setItems(const QList<AppRecommendItem> &items)
{
    beginResetModel();
    m_items = items;
    endResetModel();
}

void AppRecommendModel::setThumbnail(int row, const QImage &image)
{
    if (row < 0 || row >= m_items.size())
        return;
    QImage thumbnail = image;
    if (thumbnail.width() > kThumbnailSize || thumbnail.height() > kThumbnailSize) {
        thumbnail = thumbnail.scaled(kThumbnailSize, kThumbnailSize, Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
    }
    m_items[row].imgThumbnail = thumbnail;
    const QModelIndex cell = index(row, columnOf(QStringLiteral("thumbnail")));
    emit dataChanged(cell, cell, {Qt::DecorationRole});
}

QVariant AppRecommendModel::objectValue(const QString &identifier, int row) const
{
    if (row < 0 || row >= m_items.size())
        return {};
    const AppRecommendItem &item = m_items.at(row);
    if (identifier == QLatin1String("thumbnail"))
        return item.imgThumbnail;
    if (identifier == QLatin1String("version"))
        return item.currentVersion;
    if (identifier == QLatin1String("desc"))
        return item.desc;
    return {};
}

int AppRecommendModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int AppRecommendModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columnIdentifiers().size());
}

QVariant AppRecommendModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const QString identifier = columnIdentifiers().value(index.column());
    if (identifier == QLatin1String("thumbnail")) {
        if (role == Qt::DecorationRole) {
            const QImage image = objectValue(identifier, index.row()).value<QImage>();
            return image.isNull() ? QVariant() : QVariant(image);
        }
        return {};
    }
    if (role == Qt::DisplayRole)
        return objectValue(identifier, index.row());
    // A tool tip that looks like markup would be rendered as such: the server's texts are shown
    // as the text they are.
    if (role == Qt::ToolTipRole) {
        const QString text = objectValue(identifier, index.row()).toString();
        return text.isEmpty() ? QVariant() : QVariant(Qt::convertFromPlainText(text));
    }
    return {};
}

QVariant AppRecommendModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 1:
        return tr("Version");
    case 2:
        return tr("Description");
    default:
        return QString();
    }
}
