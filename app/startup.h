#pragma once

// What both programs do as they start: Qt's own translations, and their command line's help.

#include <QLocale>
#include <QString>

#include <cstdio>

class QCommandLineParser;
class QCoreApplication;

// Installs Qt's own translations of its standard texts (the scroll bar's menu, the buttons of
// message boxes, the command line's help) for the system's language: Simplified Chinese where
// that language is Chinese or unknown, like the rest of the program. Returns false when no
// translation could be loaded.
bool installQtTranslations(QCoreApplication &app, const QLocale &system = QLocale::system());

// Qt's help for the command line, with the program's name where Qt puts the path it was started
// by (a manual page made from it names the program, not a build folder).
QString helpText(const QCommandLineParser &parser);

// A line of text to standard output or standard error, in UTF-8.
void printLine(std::FILE *to, const QString &text);
