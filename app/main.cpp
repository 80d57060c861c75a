#include "hex_to_jpeg.h"
#include "main_window.h"
#include "startup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

void name(QCoreApplication &app)
{
    app.setApplicationName(u"hexjpg"_s);
    app.setApplicationVersion(QStringLiteral(HEXJPG_VERSION));
}

// The command line, read before any window exists: --help and --version need no display, and a
// bad option opens no window. Returns the folder to write 1.jpg to, or the status to end with.
std::optional<QString> readCommandLine(int argc, char *argv[], int &status)
{
    QCoreApplication app(argc, argv);
    name(app);
    installQtTranslations(app);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"图片转换工具：把 JPEG 图片的十六进制文本（“FF D8 。。。FF D9”）粘贴进窗口，按“转换”，\n"
        u"文本就变回图片文件 1.jpg，并显示出来。"_s);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption folder(u"dir"_s, u"把 1.jpg 写入该文件夹。"_s, u"文件夹"_s);
    parser.addOption(folder);

    status = 0;
    if (!parser.parse(app.arguments()) || !parser.positionalArguments().isEmpty() ||
        (parser.isSet(folder) && parser.value(folder).isEmpty())) {
        printLine(stderr, parser.errorText().isEmpty()
                              ? (parser.isSet(folder)
                                     ? u"--dir 后面的文件夹是空的"_s
                                     : u"多余的参数："_s + parser.positionalArguments().join(u' '))
                              : parser.errorText());
        printLine(stderr, u"用法：hexjpg [--dir 文件夹]（--help 说明全部选项）"_s);
        status = 2;
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        printLine(stdout,
                  helpText(parser) +
                      u"\n1.jpg 写在哪里：给了 --dir 时写在那个文件夹；从构建目录或解开的文件夹"
                      u"运行时写在本程序所在的文件夹；安装到系统之后写在用户的图片文件夹"
                      u"（没有时建立），不会写进系统的程序文件夹。\n"
                      u"1.jpg 只会被整个替换：写入失败时原有的 1.jpg 保持不变。"_s);
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        printLine(stdout, app.applicationName() + u' ' + app.applicationVersion());
        return std::nullopt;
    }
    return parser.isSet(folder) ? parser.value(folder) : hexjpg::defaultOutputFolder();
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // A write past a file size limit fails with its reason, told to the user, instead of killing
    // the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    int status = 0;
    const std::optional<QString> folder = readCommandLine(argc, argv, status);
    if (!folder)
        return status;

    QApplication app(argc, argv);
    name(app);
    // The desktop's launcher and task bar match the window to its menu entry.
    QGuiApplication::setDesktopFileName(u"com.example.hexjpg"_s);
    installQtTranslations(app);
    // The image plug-ins' warnings only repeat in English what the window tells the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    Form1 window(*folder);
    window.show();
    return app.exec();
}
