#pragma once

// What both programs do as they start: their language, and their command line's help.

#include "console.h"

#include <QCommandLineOption>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <cstdio>

class QCommandLineParser;
class QCoreApplication;

// The language the programs speak: their own Chinese where the first of the system's languages
// for the user interface (QLocale::uiLanguages: LANGUAGE, LC_ALL, LANG on Linux, the display
// language on Windows) is Chinese, or where none is set (the C or POSIX locale); else English.
bool speaksChinese(const QLocale &system = QLocale::system());

// Every text a person reads is written in Chinese and goes through Qt's translation system. Each
// source file names its translation context with a class of its own, Words, declared with
// Q_DECLARE_TR_FUNCTIONS: lupdate reads no macro of ours, so each declaration is written out.
//
// Installs the texts of that language: for Chinese, Qt's own translations of its standard texts
// (the scroll bar's menu, the buttons of message boxes, the command line's help); for English,
// the programs' English catalogue, carried in them, with Qt's texts as they are. Returns false
// when the catalogue could not be loaded.
bool installTranslations(QCoreApplication &app, const QLocale &system = QLocale::system());

// Qt's help for the command line, with the program's name where Qt puts the path it was started
// by (a manual page made from it names the program, not a build folder), then where 1.jpg goes,
// then more.
QString helpText(const QCommandLineParser &parser, QStringView more);

// The options both programs take: --help, --version and --dir, added to parser; and --baud, to
// add among the others.
struct CommonOptions {
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption folder;
};
CommonOptions addCommonOptions(QCommandLineParser &parser);
QCommandLineOption baudOption();

// The program's name and version, for --version.
QString versionText();

// A line of text to standard output or standard error (see system/console.h).
using hexjpg::system::printLine;

// Where 1.jpg goes: the folder --dir names, or without it where the program puts it (see
// hexjpg::defaultOutputFolder). An empty --dir, most likely "$UNSET", is a problem: writing beside
// the program instead would surprise.
QString outputFolder(const QCommandLineParser &parser, const QCommandLineOption &dir,
                     QString &problem);
