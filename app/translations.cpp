#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installQtTranslations(QCoreApplication &app, const QLocale &system)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const bool chinese = system.language() == QLocale::Chinese || system.language() == QLocale::C ||
                         system.language() == QLocale::AnyLanguage;
    const QLocale language = chinese ? QLocale(QLocale::Chinese, QLocale::China) : system;
    auto *translator = new QTranslator(&app);
    if (translator->load(language, QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
        app.installTranslator(translator))
        return true;
    delete translator;
    return false;
}
