#include "app/tavrintranslations.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qlibraryinfo.h>
#include <QtCore/qlocale.h>
#include <QtCore/qtranslator.h>

QString installTavrinTranslations(QCoreApplication *app)
{
    auto *own = new QTranslator(app);
    if (!own->load(QLocale(), QStringLiteral("tavrin"), QStringLiteral("_"),
                   QStringLiteral(":/i18n"))) {
        delete own;
        return QString();
    }
    app->installTranslator(own);
    // Qt's texts follow the language the program speaks, not another one the user also reads:
    // a box is German throughout, or English throughout.
    const QString language = own->language();
    auto *qt = new QTranslator(app);
    if (qt->load(QLatin1String("qtbase_") + language,
                 QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app->installTranslator(qt);
    else
        delete qt;
    return language;
}
