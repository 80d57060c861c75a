// hexjpg-cli: the conversion without the window, for scripts and for many dumps.

#include "hex_to_jpeg.h"
#include "picture_loader.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

enum ExitStatus { Picture = 0, WriteFailed = 1, BadInput = 2, NotAPicture = 3 };

void say(const QString &text)
{
    const QByteArray utf8 = (text + u'\n').toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), stderr);
}

const char16_t kUsage[] = u"用法：hexjpg-cli [--dir 文件夹] [文件]";

// Follows the usage line in --help.
const char16_t kHelp[] =
    u"把 JPEG 图片的十六进制文本（“FF D8 。。。FF D9”）转换成图片文件 1.jpg。\n"
    u"从“文件”读取文本（UTF-8）；没有给出文件或文件为“-”时从标准输入读取。\n"
    u"空白、制表符和换行只起分隔作用；其余字符按位置两个一组读作一个字节。\n"
    u"\n"
    u"  --dir 文件夹  把 1.jpg 写入该文件夹（默认：本程序所在的文件夹）\n"
    u"  -h, --help    显示本说明\n"
    u"\n"
    u"1.jpg 只会被整个替换：写入失败时原有的 1.jpg 保持不变。\n"
    u"写入之后按图片读取 1.jpg 以检查它是否为图片。\n"
    u"\n"
    u"退出状态：\n"
    u"  0  已写入，且是图片\n"
    u"  1  无法写入文件（给出路径和原因）\n"
    u"  2  用法错误、无法读取输入文件，或输入为空（不写入任何文件）\n"
    u"  3  已写入，但不是图片（照片不正确！）";

struct Options {
    QString folder;
    QString input; // empty or "-": standard input
};

// Returns -1 when the command line is good, else the exit status to end with.
int parse(const QStringList &args, Options &options)
{
    bool haveInput = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == u"-h" || arg == u"--help") {
            const QByteArray help =
                (QString::fromUtf16(kUsage) + u"\n\n"_s + QString::fromUtf16(kHelp)).toUtf8() +
                '\n';
            std::fwrite(help.constData(), 1, std::size_t(help.size()), stdout);
            return Picture;
        }
        if (arg == u"--dir" && i + 1 < args.size()) {
            options.folder = args[++i];
        } else if (arg.startsWith(u"--dir=")) {
            options.folder = arg.mid(6);
        } else if ((arg == u"-" || !arg.startsWith(u'-')) && !haveInput) {
            options.input = arg;
            haveInput = true;
        } else {
            say(QString::fromUtf16(kUsage));
            return BadInput;
        }
    }
    if (options.folder.isEmpty())
        options.folder = QCoreApplication::applicationDirPath();
    return -1;
}

// The input's bytes: a regular file mapped into memory, anything else read whole.
class Input {
public:
    bool open(const QString &name)
    {
        const bool fromStdin = name.isEmpty() || name == u"-";
        const bool opened = fromStdin
                                ? m_file.open(stdin, QIODevice::ReadOnly)
                                : (m_file.setFileName(name), m_file.open(QIODevice::ReadOnly));
        if (opened && !fromStdin && m_file.size() > 0) {
            if (const uchar *map = m_file.map(0, m_file.size())) {
                m_bytes = {map, m_file.size()};
                return true;
            }
        }
        if (opened) {
            m_read = m_file.readAll();
            m_bytes = m_read;
        }
        if (!opened || m_file.error() != QFileDevice::NoError) {
            say(u"无法读取文件："_s + (fromStdin ? u"-"_s : name) + u'\n' + m_file.errorString());
            return false;
        }
        return true;
    }

    QByteArrayView bytes() const { return m_bytes; }

private:
    QFile m_file;
    QByteArray m_read;
    QByteArrayView m_bytes;
};

bool isAscii(QByteArrayView bytes)
{
    // Eight bytes at a time: the input can be tens of megabytes.
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    std::uint64_t any = 0;
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        any |= word;
    }
    for (; p < end; ++p)
        any |= static_cast<unsigned char>(*p);
    return (any & 0x8080808080808080u) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The image plug-ins' own warnings would only repeat "照片不正确！" in English.
    QLoggingCategory::setFilterRules(u"qt.gui.imageio*=false"_s);
    Options options;
    if (const int status = parse(app.arguments(), options); status >= 0)
        return status;

    Input input;
    if (!input.open(options.input))
        return BadInput;
    QByteArrayView bytes = input.bytes();
    if (bytes.startsWith("\xef\xbb\xbf")) // UTF-8 byte-order mark
        bytes = bytes.sliced(3);
    if (bytes.isEmpty()) {
        say(u"请将数据粘贴文本框中"_s);
        return BadInput;
    }

    // A dump is nearly always ASCII: decoded straight from the bytes. Anything else is
    // decoded as UTF-8 first, so that every character counts as the window would count it.
    const hexjpg::ConversionResult written =
        isAscii(bytes) ? hexjpg::convertHexDump(QLatin1StringView(bytes), options.folder)
                       : hexjpg::convertHexDump(QString::fromUtf8(bytes), options.folder);
    if (!written.ok()) {
        say(u"无法写入文件："_s + written.path + u'\n' + written.error);
        return WriteFailed;
    }
    say(u"已写入 %1 字节：%2"_s.arg(written.bytesWritten).arg(written.path));

    const hexjpg::LoadedPicture picture =
        hexjpg::PictureLoader(hexjpg::kPictureAreaSize).load(written.path);
    if (picture.error == hexjpg::kInvalidPicture) {
        say(u"照片不正确！"_s);
        return NotAPicture;
    }
    if (picture.error != 0) {
        say(picture.errorString);
        return NotAPicture;
    }
    return Picture;
}
