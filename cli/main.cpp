// hexjpg-cli: the conversion without the window, for scripts and for many dumps.

#include "diagnosis.h"
#include "exit_status.h"
#include "files.h"
#include "forgiving_reader.h"
#include "hex_to_jpeg.h"
#include "input.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "console.h"
#include "serial_run.h"
#include "startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>


using namespace Qt::StringLiterals;

// The texts a person reads, in the Chinese they are written in: Qt's translation system gives them
// in the user's language.
namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Cli)
};
} // namespace

namespace {

// No camera makes a picture whose dump passes 1 GiB (a 512 MiB picture, blanks left out).
constexpr qint64 kMaxInputBytes = qint64(1) << 30;
constexpr qint64 kBlock = qint64(1) << 20;
// The most of a written file that is not a picture read back to say what it holds.
constexpr qint64 kDiagnosedBytes = qint64(16) << 20;
// The most files that --all writes in one run, of the pictures found in order.
constexpr qint64 kMaxFiles = qint64(hexjpg::FoundPictures::kKeptFirst);
// The time that decoding may take in one run, all pictures together.
constexpr int kDecodeBudgetMs = 5000;
constexpr int kDecodeBudgetAllMs = 30000;

// The name of a folder whose name is not text (see keepRawPaths), as it is shown.
QString g_workingFolderShown;

QString shown(QString text)
{
    if (!g_workingFolderShown.isEmpty())
        text.replace(hexjpg::system::kWorkingFolder, g_workingFolderShown);
    return text;
}

void say(const QString &text)
{
    printLine(stderr, shown(text));
}

const char kUsage[] = QT_TRANSLATE_NOOP(
    "Cli",
    "用法：hexjpg-cli [--dir 文件夹] [-f] [--all] [--json] [文件]\n"
    "      hexjpg-cli --serial 串口 [--baud 波特率] [--count 张数] [--all] [--dir 文件夹] [--json]\n"
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

struct Options {
    QString folder;
    QString serial; // the port to receive from
    qint32 baud = 115200;
    qint64 count = 0;
    QString input;       // empty or "-": standard input
    QByteArray inputRaw; // the input's path as the command line gave its bytes
    bool forgiving = false;
    bool all = false;
    bool json = false;
};

void printJson(const QJsonObject &out);

// Bad usage: what is wrong and how it goes; with --json, that as the one object too.
int usage(const QString &problem, bool json)
{
    if (!problem.isEmpty())
        say(problem);
    say(Words::tr(kUsage));
    if (json)
        printJson({{u"status"_s, BadInput}, {u"reason"_s, problem}});
    return BadInput;
}

// Returns -1 when the command line is good, else the exit status to end with.
int parse(const QStringList &args, Options &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        Words::tr("把 JPEG 图片的十六进制文本（“FF D8 。。。FF D9”）转换成图片文件 1.jpg。\n"
        "从“文件”读取文本；没有给出文件或文件为“-”时从标准输入读取。文本按 UTF-8 读取，\n"
        "以字节顺序标记开头的按 UTF-16 读取（Windows 记事本存为“Unicode”的文件）。\n"
        "空白、制表符和换行只起分隔作用；其余字符按位置两个一组读作一个字节。"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption folder(u"dir"_s, Words::tr("把 1.jpg 写入该文件夹。"), Words::tr("文件夹"));
    const QCommandLineOption forgiving(
        {u"f"_s, u"forgiving"_s},
        Words::tr("宽松读法：也读不补零的字节（Arduino 的 Serial.print(b, HEX)）、0x、\\x、&H、$ 前缀和 h "
        "后缀、Python 的 b'…'、xxd、hexdump -C、ESP-IDF 和 od -x 的输出、十进制列表和 Base64，"
        "跳过时间戳、日志前缀、注释和文字行；1.jpg 是文本里最后一张完整的图片。"));
    const QCommandLineOption all(u"all"_s,
                                 Words::tr("把找到的每张图片分别存为 1.jpg、2.jpg……，并列出它们。"));
    const QCommandLineOption json(u"json"_s, Words::tr("把诊断和图片列表以 JSON 写到标准输出。"));
    const QCommandLineOption serial(u"serial"_s, Words::tr("从串口接收图片，不读文件。"), Words::tr("串口"));
    const QCommandLineOption baud(u"baud"_s, Words::tr("串口的波特率（默认 115200）。"), Words::tr("波特率"));
    const QCommandLineOption count(u"count"_s, Words::tr("收到这么多张图片后结束。"), Words::tr("张数"));
    parser.addOptions({folder, forgiving, all, json, serial, baud, count});
    parser.addPositionalArgument(Words::tr("文件"), Words::tr("十六进制文本；没有或为“-”时读标准输入。"),
                                 Words::tr("[文件]"));

    const bool jsonAsked = args.contains(u"--json"_s);
    auto usage = [jsonAsked](const QString &problem) { return ::usage(problem, jsonAsked); };
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
        bool ok = true;
        if (parser.isSet(baud)) {
            const qint64 rate = parser.value(baud).toLongLong(&ok);
            if (!ok || rate <= 0 || rate > 100'000'000)
                return usage(Words::tr("波特率应当是正整数：%1").arg(parser.value(baud)));
            options.baud = qint32(rate);
        }
        if (parser.isSet(count)) {
            options.count = parser.value(count).toLongLong(&ok);
            if (!ok || options.count <= 0)
                return usage(Words::tr("--count 应当是正整数：%1").arg(parser.value(count)));
        }
    } else if (parser.isSet(baud) || parser.isSet(count)) {
        return usage(Words::tr("--baud 和 --count 只用于 --serial"));
    }
    options.input = parser.positionalArguments().value(0);
    options.forgiving = parser.isSet(forgiving);
    options.all = parser.isSet(all);
    options.json = parser.isSet(json);
    return -1;
}

bool isAscii(QByteArrayView bytes)
{
    // A plain loop the compiler turns into vector code: a block is a megabyte.
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    unsigned char any = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        any |= p[i];
    return any < 0x80;
}

// How much of bytes ends on a whole UTF-8 sequence: a sequence cut by the block's end waits for
// the next block.
qsizetype wholeUtf8(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype i = size - 1; i >= 0 && i >= size - 3; --i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if ((byte & 0xc0) == 0x80)
            continue; // a continuation byte: look further back for the lead
        const int length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        return size - i < length ? i : size;
    }
    return size;
}

// Feeds the input's text to the decoder as it is read: ASCII straight, UTF-8 and UTF-16 through
// Qt's decoders. Memory stays the same whatever the input's length.
class TextFeeder {
public:
    explicit TextFeeder(hexjpg::HexStreamDecoder &decoder)
        : m_decoder(decoder)
    {
    }

    void setEncoding(QStringConverter::Encoding encoding)
    {
        m_utf16 = encoding != QStringConverter::Utf8;
        m_decode = QStringDecoder(encoding);
    }

    bool feed(QByteArrayView block)
    {
        if (m_utf16)
            return m_decoder.feed(QString(m_decode(block)));
        bool ok = true;
        if (!m_carry.isEmpty()) {
            // The sequence the last block cut, completed by this one's continuation bytes.
            qsizetype continued = 0;
            while (continued < block.size() && continued < 3 &&
                   (static_cast<unsigned char>(block[continued]) & 0xc0) == 0x80)
                ++continued;
            m_carry.append(block.first(continued));
            ok = m_decoder.feed(QString::fromUtf8(m_carry));
            m_carry.clear();
            block = block.sliced(continued);
        }
        const qsizetype cut = wholeUtf8(block);
        const QByteArrayView head = block.first(cut);
        ok = (isAscii(head) ? m_decoder.feed(QLatin1StringView(head))
                            : m_decoder.feed(QString::fromUtf8(head))) &&
             ok;
        m_carry = block.sliced(cut).toByteArray();
        return ok;
    }

    bool finish()
    {
        // A sequence cut short by the end of the input counts as a character, not a digit.
        const bool ok = m_utf16 ? m_decoder.feed(QString(m_decode(QByteArrayView())))
                                : m_decoder.feed(QString::fromUtf8(m_carry));
        return ok && m_decoder.finish();
    }

private:
    hexjpg::HexStreamDecoder &m_decoder;
    QStringDecoder m_decode;
    bool m_utf16 = false;
    QByteArray m_carry;
};

// With --json, one object on standard output whatever happens.
void printJson(const QJsonObject &out)
{
    const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
}

// Ends the run as the stop that asked for it would have, once the step under way has let go: the
// earlier 1.jpg stays whole and nothing is left beside it.
void stopIfAsked()
{
    if (hexjpg::interruptionRequested())
        hexjpg::system::endByStop();
}

// What a run found and did: said on standard error as it goes, and as JSON with --json.
class Report {
public:
    explicit Report(const Options &options)
        : m_json(options.json)
    {
    }

    // Why the run failed, in the words said on standard error.
    void failed(const QString &reason)
    {
        say(reason);
        m_reason = shown(reason);
    }
    void found(qint64 pictures) { m_found = pictures; }

    void reading(const QString &how, qint64 bytes)
    {
        m_reading = how;
        m_bytes = bytes;
    }
    void forgiving(const hexjpg::ForgivingRead &read)
    {
        m_layout = read.layout;
        say(Words::tr("读法：") + read.layout);
        note(hexjpg::diagnoseReading(read));
        for (const hexjpg::SkippedSpan &span : read.skipped)
            m_skipped.append(QJsonObject{
                {u"line"_s, span.line}, {u"column"_s, span.column}, {u"length"_s, span.length}});
        m_skippedSpans = read.skippedSpans;
        m_skippedCharacters = read.skippedCharacters;
    }
    void note(const QStringList &lines)
    {
        for (const QString &line : lines) {
            say(line);
            m_diagnosis.append(line);
        }
    }
    void picture(const QString &file, const hexjpg::FoundPicture &found,
                 const hexjpg::LoadedPicture &picture)
    {
        QJsonArray warnings;
        for (const QString &warning : picture.warnings)
            warnings.append(warning);
        const QSize size = picture.size.isValid() ? picture.size : found.size;
        m_pictures.append(
            QJsonObject{{u"file"_s, file.isEmpty() ? QJsonValue() : QJsonValue(shown(file))},
                        {u"offset"_s, found.offset},
                        {u"length"_s, found.length},
                        {u"format"_s, picture.format.isEmpty() ? found.format : picture.format},
                        {u"width"_s, size.width()},
                        {u"height"_s, size.height()},
                        {u"decodes"_s, picture.error == 0},
                        {u"complete"_s, picture.error == 0 && picture.complete},
                        {u"rows"_s, picture.rows},
                        {u"rowsDecoded"_s, picture.rowsWithData},
                        {u"warnings"_s, warnings}});
    }
    int finish(int status)
    {
        if (m_json) {
            QJsonObject out{{u"status"_s, status},
                            {u"reading"_s, m_reading},
                            {u"bytes"_s, m_bytes},
                            {u"pictures"_s, m_pictures},
                            {u"diagnosis"_s, m_diagnosis}};
            if (!m_reason.isEmpty())
                out.insert(u"reason"_s, m_reason);
            if (m_found >= 0)
                out.insert(u"picturesFound"_s, m_found);
            if (!m_layout.isEmpty()) {
                out.insert(u"layout"_s, m_layout);
                out.insert(u"skipped"_s, m_skipped);
                out.insert(u"skippedSpans"_s, m_skippedSpans);
                out.insert(u"skippedCharacters"_s, m_skippedCharacters);
            }
            printJson(out);
        }
        return status;
    }

private:
    bool m_json;
    QString m_reading, m_layout, m_reason;
    qint64 m_found = -1;
    qint64 m_bytes = 0, m_skippedSpans = 0, m_skippedCharacters = 0;
    QJsonArray m_pictures, m_skipped, m_diagnosis;
};

// The status of a picture as checked: shown whole, shown in part, or no picture.
int statusOf(const hexjpg::LoadedPicture &picture)
{
    if (picture.error != 0)
        return NotAPicture;
    return picture.complete ? Picture : Incomplete;
}

// Decodes under one time budget for the whole run.
hexjpg::PictureLoader makeLoader(const Options &options)
{
    hexjpg::DecodeLimits limits;
    limits.deadline = QDeadlineTimer(options.all ? kDecodeBudgetAllMs : kDecodeBudgetMs);
    return hexjpg::PictureLoader(hexjpg::kPictureAreaSize, limits);
}

// One run of the tool: the input read, 1.jpg (or each picture) written, and what it holds checked.
// Each step returns the exit status, or -1 to go on.
class Run {
public:
    explicit Run(const Options &options)
        : m_options(options)
        , m_report(options)
        , m_loader(makeLoader(options))
        , m_block(static_cast<std::size_t>(kBlock))
    {
    }

    // A run that runs out of memory says so, instead of ending by a signal.
    int exec()
    {
        try {
            return run();
        } catch (const std::bad_alloc &) {
            m_report.failed(Words::tr("内存不足：文本太大，无法处理"));
            return m_report.finish(BadInput);
        }
    }

private:
    int run()
    {
        if (!m_input.open(m_options.input, m_options.inputRaw))
            return unreadable();
        if (m_input.size() > kMaxInputBytes)
            return tooLong();
        if (const int status = readStart(); status >= 0)
            return status;
        if (!m_options.forgiving && !m_options.all)
            return convertStreamed();
        QByteArray bytes;
        if (const int status = readWhole(bytes); status >= 0)
            return status;
        if (bytes.isEmpty())
            return empty();
        const hexjpg::FoundPictures found = hexjpg::findPictures(bytes);
        stopIfAsked();
        m_report.found(found.total);
        m_report.note(hexjpg::diagnoseSearch(found));
        return m_options.all ? writeEach(bytes, found) : writeNewest(bytes, found);
    }

    int unreadable()
    {
        stopIfAsked();
        m_report.failed(Words::tr("无法读取文件：") + m_input.name() + u'\n' + m_input.errorString());
        return m_report.finish(BadInput);
    }

    int tooLong()
    {
        m_report.failed(Words::tr("输入太长：超过 %1 字节。这么长的文本不会是一张照片的十六进制文本。").arg(
            kMaxInputBytes));
        return m_report.finish(BadInput);
    }

    // No byte at all: like an empty panel, nothing is written and an earlier 1.jpg stays.
    int empty()
    {
        m_report.failed(Words::tr("请将数据粘贴文本框中"));
        return m_report.finish(BadInput);
    }

    int cannotWrite(const QString &path, const QString &reason)
    {
        stopIfAsked();
        m_report.failed(Words::tr("无法写入文件：") + path + u'\n' + reason);
        return m_report.finish(WriteFailed);
    }

    // What the start of the text says of its encoding, where it is likely wrong.
    void noteEncoding()
    {
        if (m_encoding == QStringConverter::Utf8 && hexjpg::looksLikeUtf16(m_first))
            m_report.note({Words::tr("文本每隔一个字节就是一个 NUL：它像是没有字节顺序标记的 UTF-16 文本，"
                           "请存为 UTF-8 或带字节顺序标记的 UTF-16")});
        if (m_encoding != QStringConverter::Utf8 && (m_input.total() - m_bomLength) % 2 != 0)
            m_report.note({Words::tr("UTF-16 文本的最后多出一个字节，没有读取")});
    }

    // The next block of the input into m_block: its length, 0 at the end, -1 on a failure.
    qint64 readBlock() { return m_input.read(m_block.data(), kBlock); }

    // The first bytes: a byte-order mark tells the encoding; nothing at all is an empty input.
    int readStart()
    {
        qint64 have = 0;
        while (have < 3) {
            const qint64 got = m_input.read(m_block.data() + have, kBlock - have);
            if (got < 0)
                return unreadable();
            if (got == 0)
                break;
            have += got;
        }
        m_first = QByteArrayView(m_block.data(), have);
        if (m_first.startsWith("\xef\xbb\xbf")) {
            m_first = m_first.sliced(3);
        } else if (m_first.startsWith("\xff\xfe") || m_first.startsWith("\xfe\xff")) {
            m_encoding =
                m_first[0] == '\xff' ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
            m_first = m_first.sliced(2);
            m_bomLength = 2;
        }
        if (!m_first.isEmpty())
            return -1;
        if (have > 0) { // a byte-order mark alone: look on for text
            const qint64 got = readBlock();
            if (got < 0)
                return unreadable();
            m_first = QByteArrayView(m_block.data(), got);
        }
        if (!m_first.isEmpty())
            return -1;
        return empty();
    }

    // The described reading, streamed: the text is decoded as it is read, into 1.jpg.
    int convertStreamed()
    {
        hexjpg::OutputFile output(m_options.folder);
        if (!output.open())
            return cannotWrite(output.path(), output.errorString());
        hexjpg::HexStreamDecoder decoder(output);
        TextFeeder feeder(decoder);
        feeder.setEncoding(m_encoding);
        bool written = feeder.feed(m_first);
        while (written) {
            const qint64 got = readBlock();
            if (got < 0) {
                output.cancel();
                return unreadable();
            }
            if (got == 0)
                break;
            if (m_input.total() > kMaxInputBytes) {
                output.cancel();
                return tooLong();
            }
            written = feeder.feed(QByteArrayView(m_block.data(), got));
        }
        if (written && m_input.size() >= 0 && m_input.total() < m_input.size()) {
            output.cancel();
            m_input.fail(Words::tr("文件在读取时变短了：原有 %1 字节，只读到 %2 字节").arg(m_input.size())
                             .arg(m_input.total()));
            return unreadable();
        }
        if (written && (written = feeder.finish()) && decoder.bytes() == 0) {
            output.cancel();
            noteEncoding();
            return empty();
        }
        if (!written || !output.commit()) {
            output.cancel();
            return cannotWrite(output.path(), output.errorString());
        }
        noteEncoding();
        const qint64 bytes = decoder.bytes();
        say(Words::tr("已写入 %1 字节：%2").arg(bytes).arg(output.path()));
        m_report.reading(u"strict"_s, bytes);
        return checkWritten(output, bytes);
    }

    // The check reads the bytes this run wrote, not whatever the path holds by now.
    int checkWritten(const hexjpg::OutputFile &output, qint64 bytes)
    {
        const std::shared_ptr<QIODevice> device = output.readBack();
        const hexjpg::LoadedPicture picture =
            device ? m_loader.load(*device)
                   : hexjpg::failedLoad(hexjpg::kFileAccessError, Words::tr("无法读回写入的文件"));
        stopIfAsked();
        if (picture.error == 0) {
            hexjpg::FoundPicture whole;
            whole.length = bytes;
            whole.whole = picture.endMarker;
            m_report.note(hexjpg::diagnosePicture(picture, 0, bytes, bytes));
            m_report.picture(output.path(), whole, picture);
            return m_report.finish(statusOf(picture));
        }
        if (picture.error == hexjpg::kInvalidPicture)
            say(Words::tr("照片不正确！"));
        // The diagnosis looks at the file's start only: what is no picture must not cost memory as
        // large as itself.
        QByteArray data;
        if (device && device->seek(0))
            data = device->read(kDiagnosedBytes);
        m_report.note(hexjpg::diagnoseNoPicture(data, hexjpg::findPictures(data),
                                                picture.errorString, bytes));
        stopIfAsked();
        m_report.note({Words::tr("可以试试 -f（宽松读法）或 --all")});
        return m_report.finish(NotAPicture);
    }

    // The whole input read and decoded: forgivingly with -f, else as described.
    int readWhole(QByteArray &bytes)
    {
        QByteArray text(m_first.toByteArray());
        for (;;) {
            const qint64 got = readBlock();
            if (got < 0)
                return unreadable();
            if (got == 0)
                break;
            if (m_input.total() > kMaxInputBytes)
                return tooLong();
            // Grown by doubling, but never past the most the input may hold.
            if (text.capacity() - text.size() < got)
                text.reserve(std::min(std::max(2 * text.capacity(), text.size() + got),
                                      qsizetype(kMaxInputBytes + kBlock)));
            text.append(m_block.data(), got);
        }
        noteEncoding();
        const bool utf16 = m_encoding != QStringConverter::Utf8;
        const QString wide = utf16 ? QStringDecoder(m_encoding)(text) : QString();
        if (m_options.forgiving) {
            const hexjpg::ForgivingRead read =
                utf16 ? hexjpg::readForgiving(QStringView(wide)) : hexjpg::readForgiving(text);
            stopIfAsked();
            m_report.forgiving(read);
            bytes = read.bytes;
        } else {
            bytes = utf16 ? hexjpg::decodeHex(QStringView(wide))
                          : hexjpg::decodeHex(QStringView(QString::fromUtf8(text)));
        }
        m_report.reading(m_options.forgiving ? u"forgiving"_s : u"strict"_s, bytes.size());
        return -1;
    }

    // --all: every picture found, as 1.jpg, 2.jpg, ...
    int writeEach(const QByteArray &bytes, const hexjpg::FoundPictures &found)
    {
        int status = found.empty() ? NotAPicture : Picture;
        qint64 files = 0, notChecked = 0;
        for (const hexjpg::FoundPicture &picture : found) {
            if (picture.number > kMaxFiles)
                break;
            const QString name = u"%1.jpg"_s.arg(++files);
            const QByteArrayView data =
                QByteArrayView(bytes).sliced(picture.offset, picture.length);
            const hexjpg::ConversionResult written =
                hexjpg::writeOutput(data, m_options.folder, name);
            if (!written.ok())
                return cannotWrite(written.path, written.error);
            const hexjpg::LoadedPicture loaded = m_loader.load(data);
            stopIfAsked();
            hexjpg::LoadedPicture told = loaded; // what the finder saw where it does not decode
            if (loaded.error != 0) {
                told.format = picture.format;
                told.size = picture.size;
            }
            const bool checked = loaded.error != hexjpg::kNotChecked;
            notChecked += !checked;
            say(Words::tr("%1：%2，%3").arg(written.path, hexjpg::describePicture(told, picture.length),
                                    !checked              ? Words::tr("时间已用完，没有检查")
                                    : loaded.error != 0   ? Words::tr("不能解码")
                                    : loaded.complete     ? Words::tr("完整")
                                                          : Words::tr("不完整")));
            if (loaded.error == 0 && !loaded.complete)
                m_report.note({hexjpg::incompleteness(loaded, picture.length)});
            m_report.picture(written.path, picture, loaded);
            if (checked)
                status = std::max(status, statusOf(loaded));
        }
        if (found.total > files)
            m_report.note({Words::tr("文本中共有 %1 张图片，只写入了前 %2 张").arg(hexjpg::number(found.total))
                               .arg(hexjpg::number(files))});
        if (notChecked > 0)
            m_report.note({Words::tr("解码的时间（%1 秒）已用完：%2 张图片写入了，但没有检查").arg(
                kDecodeBudgetAllMs / 1000)
                               .arg(hexjpg::number(notChecked))});
        noteLeftOver(files);
        if (found.empty())
            m_report.note(hexjpg::diagnoseNoPicture(bytes, found, {}));
        return m_report.finish(status);
    }

    // Files numbered on from those this run wrote, left by an earlier run: they stay, and are
    // told, so that nobody takes them for this run's pictures.
    void noteLeftOver(qint64 files)
    {
        qint64 last = files;
        while (last < files + 1000000 &&
               QFileInfo::exists(hexjpg::outputPath(m_options.folder, u"%1.jpg"_s.arg(last + 1))))
            ++last;
        if (last == files + 1)
            m_report.note({Words::tr("文件夹里还有以前留下的 %1.jpg，它不是这次写入的").arg(last)});
        else if (last > files)
            m_report.note({Words::tr("文件夹里还有以前留下的 %1.jpg 到 %2.jpg，它们不是这次写入的")
                               .arg(files + 1)
                               .arg(last)});
    }

    // -f: 1.jpg is the newest picture found, or, without one, all the bytes read.
    int writeNewest(const QByteArray &bytes, const hexjpg::FoundPictures &found)
    {
        hexjpg::LoadedPicture picture;
        const hexjpg::FoundPicture *chosen = m_loader.loadNewest(bytes, found, picture);
        stopIfAsked();
        const QByteArrayView data =
            chosen ? QByteArrayView(bytes).sliced(chosen->offset, chosen->length)
                   : QByteArrayView(bytes);
        const hexjpg::ConversionResult written = hexjpg::writeOutput(data, m_options.folder);
        if (!written.ok())
            return cannotWrite(written.path, written.error);
        say(Words::tr("已写入 %1 字节：%2").arg(data.size()).arg(written.path));
        if (!chosen) {
            say(Words::tr("照片不正确！"));
            if (picture.error == hexjpg::kNotChecked)
                m_report.note({Words::tr("解码的时间已用完，没有再检查其余的图片")});
            m_report.note(hexjpg::diagnoseNoPicture(bytes, found, {}));
            return m_report.finish(NotAPicture);
        }
        if (found.total > 1)
            m_report.note({Words::tr("文本中共有 %1 张图片，写入的是最后一张%2").arg(found.total)
                               .arg(chosen->whole ? Words::tr("完整的") : QString())});
        m_report.note(
            hexjpg::diagnosePicture(picture, chosen->offset, chosen->length, bytes.size()));
        m_report.picture(written.path, *chosen, picture);
        return m_report.finish(statusOf(picture));
    }

    const Options &m_options;
    Report m_report;
    const hexjpg::PictureLoader m_loader;
    hexjpg::system::Input m_input;
    std::vector<char> m_block;
    QByteArrayView m_first; // the input's first text, past a byte-order mark
    QStringConverter::Encoding m_encoding = QStringConverter::Utf8;
    qint64 m_bomLength = 0;
};

} // namespace

// Paths whose bytes are not text (a folder named on another system, say) lose them when the
// command line is decoded: they are taken as the bytes given. The input is opened by its bytes;
// the output folder becomes the working folder, which 1.jpg is then written in through a name of
// plain text for it.
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
        g_workingFolderShown = QFile::decodeName(dir);
        if (options.folder.isEmpty()) {
            say(Words::tr("无法写入文件：") + g_workingFolderShown + u'\n' + error);
            return false;
        }
    }
    return true;
}

int main(int argc, char *argv[])
{
    hexjpg::system::installStopHandlers();
    QCoreApplication app(argc, argv);
    app.setApplicationName(u"hexjpg-cli"_s);
    app.setApplicationVersion(QStringLiteral(HEXJPG_VERSION));
    installTranslations(app);
    // The image plug-ins' own warnings would only repeat "照片不正确！" in English.
    QLoggingCategory::setFilterRules(u"qt.gui.imageio*=false"_s);
    Options options;
    if (const int status = parse(app.arguments(), options); status >= 0)
        return status;
    if (!keepRawPaths(argc, argv, options))
        return WriteFailed;
    if (!options.serial.isEmpty()) {
#ifdef HEXJPG_SERIAL
        SerialOptions serial{options.serial, options.baud, options.count,
                             options.all,    options.json, options.folder};
        return receiveFromSerial(serial);
#else
        return usage(Words::tr("这个版本的 hexjpg-cli 不能从串口接收"), options.json);
#endif
    }
    return Run(options).exec();
}
