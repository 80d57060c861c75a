#pragma once

#include <QLocale>

class QCoreApplication;

// Installs Qt's own translations of its standard texts (the scroll bar's menu, the buttons of
// message boxes) for the system's language: Simplified Chinese where that language is Chinese or
// unknown, like the rest of the program. Returns false when no translation could be loaded.
bool installQtTranslations(QCoreApplication &app, const QLocale &system = QLocale::system());
