#include "baud.h"
#include "main_window.h"
#include "startup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(WindowProgram)
};
} // namespace

namespace {

void name(QCoreApplication &app)
{
    app.setApplicationName(u"hexjpg"_s);
    app.setApplicationVersion(QStringLiteral(HEXJPG_VERSION));
}

struct Start {
    QString folder; // where 1.jpg goes
    QString serial; // the port to receive from, if any
    qint32 baud = hexjpg::kDefaultBaud;
    QString file; // opened into the panel, if any
};

// The command line, read before any window exists: --help and --version need no display, and a
// bad option opens no window. Returns how to start, or nothing and the status to end with.
std::optional<Start> readCommandLine(int argc, char *argv[], int &status)
{
    QCoreApplication app(argc, argv);
    name(app);
    installTranslations(app);
    QCommandLineParser parser;
    parser.setApplicationDescription(Words::tr(
        "图片转换工具：把 JPEG 图片的十六进制文本（“FF D8 。。。FF D9”）粘贴进窗口，按“转换”，\n"
        "文本就变回图片文件 1.jpg，并显示出来。"));
    const auto [help, version, folderOption] = addCommonOptions(parser);
    const QCommandLineOption serialOption(
        u"serial"_s,
        Words::tr("一开始就从这个串口接收：收到的内容放进文本框，每收完一张图片就转换一次。"),
        Words::tr("串口"));
    const QCommandLineOption baud = baudOption();
    parser.addOptions({serialOption, baud});
    parser.addPositionalArgument(
        Words::tr("文件"),
        Words::tr("放进文本框的十六进制文本，或者一张图片（它的十六进制文本放进文本框）。"),
        Words::tr("[文件]"));

    status = 0;
    QString problem;
    Start start;
    if (!parser.parse(app.arguments())) {
        problem = parser.errorText();
    } else if (parser.positionalArguments().size() > 1) {
        problem = Words::tr("多余的参数：") + parser.positionalArguments().mid(1).join(u' ');
    } else {
        start.file = parser.positionalArguments().value(0);
        start.folder = outputFolder(parser, folderOption, problem);
        start.serial = parser.value(serialOption);
        if (parser.isSet(baud)) {
            start.baud = hexjpg::baudRate(parser.value(baud));
            if (start.baud == 0)
                problem = Words::tr("波特率应当是正整数：%1").arg(parser.value(baud));
            else if (start.serial.isEmpty())
                problem = Words::tr("--baud 只用于 --serial");
        }
    }
    if (!problem.isEmpty()) {
        printLine(stderr, problem);
        printLine(stderr, Words::tr("用法：hexjpg [--dir 文件夹] [--serial 串口 [--baud "
                                    "波特率]] [文件]（--help 说明全部选项）"));
        status = 2;
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        printLine(
            stdout,
            helpText(parser, Words::tr("1.jpg 只会被整个替换：写入失败时原有的 1.jpg 保持不变。")));
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        printLine(stdout, versionText());
        return std::nullopt;
    }
    return start;
}

} // namespace

int main(int argc, char *argv[])
{
    // A write past a file size limit fails with its reason, told to the user, instead of killing
    // the program.
    hexjpg::system::ignoreFileSizeLimit();
    int status = 0;
    const std::optional<Start> start = readCommandLine(argc, argv, status);
    if (!start)
        return status;

    QApplication app(argc, argv);
    name(app);
    // The desktop's launcher and task bar match the window to its menu entry.
    QGuiApplication::setDesktopFileName(u"com.example.hexjpg"_s);
    installTranslations(app);
    // The image plug-ins' warnings only repeat in English what the window tells the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    Form1 window(start->folder);
    window.show();
    if (!start->file.isEmpty())
        QTimer::singleShot(0, &window, [&window, &start] { window.openFile(start->file); });
    if (!start->serial.isEmpty())
        QTimer::singleShot(
            0, &window, [&window, &start] { window.startReceiving(start->serial, start->baud); });
    return app.exec();
}
