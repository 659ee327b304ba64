#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

// One of the maker's products as the recommendations window lists it: plain data.
struct AppRecommendItem
{
    // From one object of the product list: the string members "name", "desc", "appstorelink",
    // "imageurl" and "currentversion"; a missing or non-string member leaves its field empty.
    static AppRecommendItem fromJson(const QVariantMap &object);

    QString name;
    QString desc;
    QString appstoreLink;
    QString imageUrl;
    QString currentVersion;
    QImage imgThumbnail; // null until (unless) the image arrives
};
