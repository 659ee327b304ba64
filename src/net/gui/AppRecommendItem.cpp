#include "net/gui/AppRecommendItem.h"

namespace {

QString member(const QVariantMap &object, const QString &key)
{
    const QVariant value = object.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

AppRecommendItem AppRecommendItem::fromJson(const QVariantMap &object)
{
    AppRecommendItem item;
    item.name = member(object, QStringLiteral("name"));
    item.desc = member(object, QStringLiteral("desc"));
    item.appstoreLink = member(object, QStringLiteral("appstorelink"));
    item.imageUrl = member(object, QStringLiteral("imageurl"));
    item.currentVersion = member(object, QStringLiteral("currentversion"));
    return item;
}
