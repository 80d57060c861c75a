#include "options.h"

#include "command.h"

#include "cli_words.h"

#include "files.h"
#include "hex_to_jpeg.h"
#include "output.h"
#include "startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const char kUsage[] = QT_TRANSLATE_NOOP(
    "Cli", "用法：hexjpg-cli [--dir 文件夹] [-f] [--all] [--json] [文件]\n"
           "      hexjpg-cli --serial 串口 [--baud 波特率] [--count 张数] "
           "[--all] [--dir 文件夹] [--json]\n"
           "                 [--dtr on|off] [--rts on|off] "
           "[--send 文字 | --send-hex 字节 [--send-every 秒]]\n"
           "      hexjpg-cli --dump 文件 [--layout pairs|xxd|c|arduino|python|base64] "
           "[--per-line 字节数]\n"
           "（--help 说明全部选项）");

// Follows the options in --help.
const char kMore[] = QT_TRANSLATE_NOOP(
    "Cli",
    "1.jpg 只会被整个替换：写入失败或中断时原有的 1.jpg 保持不变。\n"
    "写入之后按图片读取刚写入的字节，检查它是否为图片、是否完整，并把诊断写到标准错误：\n"
    "图片从哪里开始、前后有多少多余的字节、格式和像素、解码了多少行、解码器的警告。\n"
    "过大、扫描过多或解码过久的图片不算图片。解码一次运行共用 5 秒（--all 为 30 秒），\n"
    "用完后其余的图片照样写入，但不再检查。超过 1 GiB 的文本不予处理。\n"
    "--all 最多写入 1,000 个文件；文件夹里接着编号的旧文件会被指出，不会被删除。\n"
    "--json 无论成败都在标准输出上写一个对象，失败时带有原因（reason）。\n"
    "不用 -f 和 --all 时边读边写，内存用量不随文本变大；用了则整个文本读入内存。\n"
    "1.jpg 若是符号链接，只在内核的 protected_symlinks 规则允许时才跟随：文件夹不是\n"
    "“他人可写且带粘滞位”的（如 /tmp），或者链接属于本用户或文件夹的主人。\n"
    "\n"
    "--serial 从串口（/dev/ttyUSB0、COM3 等，8N1，无流控）接收，直到 Ctrl+C、串口断开或收满\n"
    "--count 张。收到的可以是任何宽松读法认得的十六进制文本，也可以是图片本身的字节。\n"
    "每收完一张图片就写入 1.jpg（用 --all 时依次写入 1.jpg、2.jpg……），并在标准输出上写一行\n"
    "（用 --json 时每个事件一行 JSON）。图片开始后 2 秒没有新的字节，或者在结尾之前又来了\n"
    "新的图片，这张图片就按不完整写入。串口断开时退出状态为 2。\n"
    "\n"
    "退出状态：\n"
    "  0  已写入，且是图片\n"
    "  1  无法写入文件（给出路径和原因）\n"
    "  2  用法错误、无法读取输入、输入太长，或一个字节也没有读到（原有的 1.jpg 保持不变）\n"
    "  3  已写入，但不是图片（照片不正确！）\n"
    "  4  已写入，也能显示，但图片不完整");

} // namespace

// Bad usage: what is wrong and how it goes; with --json, that as the one object too.
int usage(const Output &output, const QString &problem)
{
    if (!problem.isEmpty())
        output.say(problem);
    output.say(Words::tr(kUsage));
    if (output.json())
        output.printJson({{u"status"_s, BadInput}, {u"reason"_s, problem}});
    return BadInput;
}

// The options that talk to the board (--dtr, --rts, --send, --send-hex, --send-every, in that
// order) read into options; what is wrong with them, or nothing.
static QString talkingOptions(const QCommandLineParser &parser,
                              const QList<QCommandLineOption> &talking, Options &options)
{
    const QCommandLineOption &dtr = talking[0], &rts = talking[1], &send = talking[2],
                             &sendHex = talking[3], &sendEvery = talking[4];
    for (const auto &[option, level] : {std::pair{&dtr, &options.dtr}, {&rts, &options.rts}}) {
        if (!parser.isSet(*option))
            continue;
        const QString value = parser.value(*option);
        if (value != u"on" && value != u"off")
            return Words::tr("--%1 应当是 on 或 off：%2").arg(option->names().first(), value);
        *level = value == u"on";
    }
    if (parser.isSet(send) && parser.isSet(sendHex))
        return Words::tr("--send 和 --send-hex 只能用一个");
    QString problem;
    const std::optional<QByteArray> command =
        parser.isSet(send)      ? hexjpg::commandFromText(parser.value(send), &problem)
        : parser.isSet(sendHex) ? hexjpg::commandFromHex(parser.value(sendHex), &problem)
                                : QByteArray();
    if (!command)
        return problem;
    options.send = *command;
    if (parser.isSet(sendEvery)) {
        bool ok = false;
        const double seconds = parser.value(sendEvery).toDouble(&ok);
        if (!ok || seconds < 0.1 || seconds > 86400)
            return Words::tr("--send-every 应当是 0.1 到 86400 秒：%1")
                .arg(parser.value(sendEvery));
        if (options.send.isEmpty())
            return Words::tr("--send-every 要和 --send 或 --send-hex 一起用");
        options.sendEveryMs = int(seconds * 1000);
    }
    return {};
}

// --raw FORMAT --size WxH [--png]: why they do not go together, or nothing.
static QString rawOptions(const QCommandLineParser &parser, const QCommandLineOption &raw,
                          const QCommandLineOption &size, const QCommandLineOption &png,
                          Options &options)
{
    if (!parser.isSet(raw) || !parser.isSet(size))
        return Words::tr("--raw、--size 要一起用（--png 也要和它们一起用）");
    options.raw = hexjpg::rawFormatNamed(parser.value(raw));
    if (!options.raw) {
        QStringList names;
        for (const hexjpg::RawFormat format : hexjpg::rawFormats())
            names << hexjpg::rawFormatName(format);
        return Words::tr("没有这种原始图像格式：%1（可用的：%2）")
            .arg(parser.value(raw), names.join(u", "_s));
    }
    const std::optional<QSize> typed = hexjpg::rawSizeFromText(parser.value(size));
    if (!typed)
        return Words::tr("--size 应当是宽x高，每边 1 到 16384，例如 320x240：%1")
            .arg(parser.value(size));
    options.rawSize = *typed;
    if (hexjpg::isYuv(*options.raw) && typed->width() % 2 != 0)
        return Words::tr("YUV 4:2:2 的宽度要是偶数：%1").arg(parser.value(size));
    options.png = parser.isSet(png);
    return {};
}

// --dump [--layout NAME] [--per-line N]: why they do not go together, or nothing.
static QString dumpOptions(const QCommandLineParser &parser, const QCommandLineOption &layout,
                           const QCommandLineOption &perLine, Options &options)
{
    if (parser.isSet(layout)) {
        const std::optional<hexjpg::DumpLayout> named =
            hexjpg::dumpLayoutNamed(parser.value(layout));
        if (!named) {
            QStringList names;
            for (const hexjpg::DumpLayout each : hexjpg::dumpLayouts())
                names << hexjpg::dumpLayoutName(each);
            return Words::tr("没有这种排列：%1（可用的：%2）")
                .arg(parser.value(layout), names.join(u", "_s));
        }
        options.dumpLayout = *named;
    }
    options.perLine = hexjpg::defaultPerLine(options.dumpLayout);
    if (parser.isSet(perLine)) {
        bool ok = false;
        options.perLine = parser.value(perLine).toInt(&ok);
        if (!ok || !hexjpg::perLineFits(options.dumpLayout, options.perLine))
            return Words::tr("--per-line 应当是 1 到 %1 的整数（base64 要是 3 的倍数）：%2")
                .arg(hexjpg::kMaxPerLine)
                .arg(parser.value(perLine));
    }
    return {};
}

int parse(const QStringList &args, Options &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        Words::tr("把 JPEG 图片的十六进制文本（“FF D8 。。。FF D9”）转换成图片文件 1.jpg。\n"
                  "从“文件”读取文本；没有给出文件或文件为“-”时从标准输入读取。文本按 UTF-8 读取，\n"
                  "以字节顺序标记开头的按 UTF-16 读取（Windows 记事本存为“Unicode”的文件）。\n"
                  "空白、制表符和换行只起分隔作用；其余字符按位置两个一组读作一个字节。"));
    const auto [help, version, folder] = addCommonOptions(parser);
    const QCommandLineOption forgiving(
        {u"f"_s, u"forgiving"_s},
        Words::tr(
            "宽松读法：也读不补零的字节（Arduino 的 Serial.print(b, HEX)）、0x、\\x、&H、$ 前缀和 "
            "h "
            "后缀、Python 的 b'…'、xxd、hexdump -C、ESP-IDF 和 od -x 的输出、十进制列表和 Base64，"
            "跳过时间戳、日志前缀、注释和文字行；1.jpg 是文本里最后一张完整的图片。"));
    const QCommandLineOption all(
        u"all"_s, Words::tr("把找到的每张图片分别存为 1.jpg、2.jpg……，并列出它们。"));
    const QCommandLineOption json(u"json"_s, Words::tr("把诊断和图片列表以 JSON 写到标准输出。"));
    const QCommandLineOption serial(u"serial"_s, Words::tr("从串口接收图片，不读文件。"),
                                    Words::tr("串口"));
    const QCommandLineOption baud = baudOption();
    const QCommandLineOption listPorts(u"list-ports"_s,
                                       Words::tr("列出这台电脑上的串口和它们是什么设备。"));
    const QCommandLineOption count(u"count"_s, Words::tr("收到这么多张图片后结束。"),
                                   Words::tr("张数"));
    const QCommandLineOption dtr(u"dtr"_s, Words::tr("打开串口时 DTR 的电平（默认 off）。"),
                                 u"on|off"_s);
    const QCommandLineOption rts(u"rts"_s, Words::tr("打开串口时 RTS 的电平（默认 off）。"),
                                 u"on|off"_s);
    const QCommandLineOption send(u"send"_s,
                                  Words::tr("串口打开后发送这段文字（可用 \\r、\\n、\\xNN）。"),
                                  Words::tr("文字"));
    const QCommandLineOption sendHex(u"send-hex"_s,
                                     Words::tr("串口打开后发送这些字节（“56 00 36 01 00”）。"),
                                     Words::tr("十六进制"));
    const QCommandLineOption sendEvery(u"send-every"_s, Words::tr("每隔这么多秒再发送一次。"),
                                       Words::tr("秒"));
    const QCommandLineOption saveEach(
        u"save-each"_s,
        Words::tr(
            "把收到的每张图片另存到这个文件夹，以收到的时间命名（20261209-235959-123.jpg）。"),
        Words::tr("文件夹"));
    const QCommandLineOption reconnect(
        u"reconnect"_s,
        Words::tr("串口断开后每半秒试一次重新打开它，最多这么多秒（默认 30，0 表示不等）。"),
        Words::tr("秒"));
    const QCommandLineOption raw(
        u"raw"_s,
        Words::tr("字节是一帧原始图像（没有 JPEG 输出的摄像头）：rgb565（低字节在前）、rgb565be、"
                  "rgb555、yuyv、uyvy、yvyu、vyuy、gray、rgb888 或 bgr888；要和 --size 一起用。"
                  "写成 1.jpg（质量 95，4:4:4）。"),
        Words::tr("格式"));
    const QCommandLineOption size(u"size"_s, Words::tr("原始图像的宽和高，例如 320x240。"),
                                  Words::tr("宽x高"));
    const QCommandLineOption png(u"png"_s, Words::tr("原始图像写成无损的 1.png，不写 1.jpg。"));
    const QCommandLineOption frameMarker(
        u"frame-marker"_s, Words::tr("用 --serial 和 --raw 时，每帧前面的标记，例如 *RDY*。"),
        Words::tr("文字"));
    const QCommandLineOption dump(
        u"dump"_s,
        Words::tr("反过来：把文件的字节（比如一张图片）按 --layout 写成文本，输出到标准输出。"));
    const QCommandLineOption layout(
        u"layout"_s,
        Words::tr("--dump 的排列：pairs（默认，本工具读的成对数字）、xxd、c（C 数组）、arduino"
                  "（PROGMEM 里的 C 数组）、python（bytes）或 base64。"),
        Words::tr("排列"));
    const QCommandLineOption perLine(u"per-line"_s, Words::tr("--dump 每行的字节数。"),
                                     Words::tr("字节数"));
    parser.addOptions({forgiving, all,  json,    serial,      baud,      count,    dtr,
                       rts,       send, sendHex, sendEvery,   reconnect, saveEach, listPorts,
                       raw,       size, png,     frameMarker, dump,      layout,   perLine});
    parser.addPositionalArgument(Words::tr("文件"),
                                 Words::tr("十六进制文本；没有或为“-”时读标准输入。"),
                                 Words::tr("[文件]"));

    options.json = args.contains(u"--json"_s);
    const Output output(options);
    auto usage = [&output](const QString &problem) { return ::usage(output, problem); };
    if (!parser.parse(args))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        printLine(stdout, helpText(parser, Words::tr(kMore)));
        return Picture;
    }
    if (parser.isSet(version)) {
        printLine(stdout, versionText());
        return Picture;
    }
    if (parser.positionalArguments().size() > 1)
        return usage(Words::tr("只能读一个文件"));
    QString problem;
    options.folder = outputFolder(parser, folder, problem);
    if (!problem.isEmpty())
        return usage(problem);
    if (parser.isSet(serial)) {
        if (!parser.positionalArguments().isEmpty() || parser.isSet(forgiving))
            return usage(Words::tr("--serial 不能和文件或 -f 一起用：串口收到的总是宽松地读"));
        options.serial = parser.value(serial);
        if (parser.isSet(baud)) {
            options.baud = hexjpg::baudRate(parser.value(baud));
            if (options.baud == 0)
                return usage(Words::tr("波特率应当是正整数：%1").arg(parser.value(baud)));
        }
        if (parser.isSet(count)) {
            bool ok = false;
            options.count = parser.value(count).toLongLong(&ok);
            if (!ok || options.count <= 0)
                return usage(Words::tr("--count 应当是正整数：%1").arg(parser.value(count)));
        }
        if (const QString why =
                talkingOptions(parser, {dtr, rts, send, sendHex, sendEvery}, options);
            !why.isEmpty())
            return usage(why);
        if (parser.isSet(reconnect)) {
            bool ok = false;
            const double seconds = parser.value(reconnect).toDouble(&ok);
            if (!ok || seconds < 0 || seconds > 86400)
                return usage(
                    Words::tr("--reconnect 应当是 0 到 86400 秒：%1").arg(parser.value(reconnect)));
            options.reconnectMs = int(seconds * 1000);
        }
        if (parser.isSet(saveEach)) {
            options.saveEach = parser.value(saveEach);
            if (!QFileInfo(options.saveEach).isDir())
                return usage(Words::tr("--save-each 的文件夹不存在：%1").arg(options.saveEach));
        }
    } else if (parser.isSet(baud) || parser.isSet(count) || parser.isSet(saveEach) ||
               parser.isSet(reconnect)) {
        return usage(Words::tr("--baud、--count、--reconnect 和 --save-each 只用于 --serial"));
    } else if (parser.isSet(dtr) || parser.isSet(rts) || parser.isSet(send) ||
               parser.isSet(sendHex) || parser.isSet(sendEvery)) {
        return usage(Words::tr("--dtr、--rts 和 --send 这些选项只用于 --serial"));
    }
    options.listPorts = parser.isSet(listPorts);
    if (options.listPorts && (parser.isSet(serial) || !parser.positionalArguments().isEmpty()))
        return usage(Words::tr("--list-ports 只列出串口，不读也不写"));
    if (parser.isSet(raw) || parser.isSet(size) || parser.isSet(png)) {
        if (const QString why = rawOptions(parser, raw, size, png, options); !why.isEmpty())
            return usage(why);
        if ((parser.isSet(all) && !parser.isSet(serial)) || options.listPorts ||
            (options.png && parser.isSet(serial)))
            return usage(Words::tr("--raw 读文件时只有一帧，不能和 --all 一起用；也不能和 "
                                   "--list-ports 一起用；--png 只用于文件"));
    }
    if (parser.isSet(frameMarker)) {
        if (!options.raw || !parser.isSet(serial))
            return usage(Words::tr("--frame-marker 要和 --serial、--raw 一起用"));
        options.frameMarker = parser.value(frameMarker).toUtf8();
        if (options.frameMarker.isEmpty())
            return usage(Words::tr("--frame-marker 不能是空的"));
    }
    if (parser.isSet(dump)) {
        if (parser.isSet(serial) || parser.isSet(forgiving) || parser.isSet(all) ||
            parser.isSet(json) || parser.isSet(raw) || options.listPorts)
            return usage(
                Words::tr("--dump 只把一个文件写成文本：不能和 --serial、-f、--all、--json、"
                          "--raw 或 --list-ports 一起用"));
        options.dump = true;
        if (const QString why = dumpOptions(parser, layout, perLine, options); !why.isEmpty())
            return usage(why);
    } else if (parser.isSet(layout) || parser.isSet(perLine)) {
        return usage(Words::tr("--layout 和 --per-line 只用于 --dump"));
    }
    options.input = parser.positionalArguments().value(0);
    options.forgiving = parser.isSet(forgiving);
    options.all = parser.isSet(all);
    options.json = parser.isSet(json);
    return -1;
}

bool keepRawPaths(int argc, char *argv[], Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        QByteArray dir;
        if (arg == "--dir" && i + 1 < argc)
            dir = hexjpg::system::rawPathArgument(argv[++i]);
        else if (arg.startsWith("--dir="))
            dir = hexjpg::system::rawPathArgument(argv[i] + 6);
        else if (!arg.startsWith('-'))
            options.inputRaw = hexjpg::system::rawPathArgument(argv[i]);
        if (dir.isEmpty())
            continue;
        QString error;
        options.folder = hexjpg::system::enterRawFolder(dir, error);
        options.folderShown = QFile::decodeName(dir);
        if (options.folder.isEmpty()) {
            Output(options).say(hexjpg::notWritten(options.folderShown, error));
            return false;
        }
    }
    return true;
}
