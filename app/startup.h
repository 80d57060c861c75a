#pragma once

// What both programs do as they start: Qt's own translations, and their command line's help.

#include <QLocale>
#include <QString>

#include <cstdio>

class QCommandLineOption;
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

// Where 1.jpg goes: the folder --dir names, or without it where the program puts it (see
// hexjpg::defaultOutputFolder). An empty --dir, most likely "$UNSET", is a problem: writing beside
// the program instead would surprise.
QString outputFolder(const QCommandLineParser &parser, const QCommandLineOption &dir,
                     QString &problem);

// The same in words, for --help.
inline constexpr char16_t kWhereOutputGoes[] =
    u"1.jpg 写在哪里：给了 --dir 时写在那个文件夹；从构建目录或解开的文件夹运行时写在本程序所在\n"
    u"的文件夹；安装到系统之后写在用户的图片文件夹（没有时建立），不会写进系统的程序文件夹。";
