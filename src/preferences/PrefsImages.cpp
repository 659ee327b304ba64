#include "preferences/PrefsImages.h"

#include <QApplication>
#include <QStyle>

QIcon PrefsImages::named(const QString &name)
{
    QStyle *style = QApplication::style();
    if (name == QLatin1String("Run-64"))
        return QIcon::fromTheme(QStringLiteral("system-run"),
                                style->standardIcon(QStyle::SP_MediaPlay));
    if (name == QLatin1String("prefs_paths"))
        return QIcon::fromTheme(QStringLiteral("folder"), style->standardIcon(QStyle::SP_DirIcon));
    return QIcon::fromTheme(name);
}
