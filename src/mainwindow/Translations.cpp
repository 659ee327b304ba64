#include "mainwindow/Translations.h"

#include "Shared/Logging.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace Translations {

bool install(QCoreApplication &app)
{
    static QPointer<QTranslator> installed;
    if (installed)
        return true;
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/i18n/wavelark_en.qm"))) {
        qCWarning(lcMainWindow) << "the English text table is missing";
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    installed = translator;
    return true;
}

} // namespace Translations
