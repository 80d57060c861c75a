#include "file_run.h"

#include "raw_output.h"

#include "cli_words.h"

#include "check.h"
#include "console.h"
#include "diagnosis.h"
#include "forgiving_reader.h"
#include "hex_to_jpeg.h"
#include "input.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "report.h"
#include "text_feeder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

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

// Ends the run as the stop that asked for it would have, once the step under way has let go: the
// earlier 1.jpg stays whole and nothing is left beside it.
void stopIfAsked()
{
    if (hexjpg::interruptionRequested())
        hexjpg::system::endByStop();
}

// One run of the tool: the input read, 1.jpg (or each picture) written, and what it holds checked.
// Each step returns the exit status, or -1 to go on.
class FileRun {
public:
    FileRun(const Options &options, const Output &output)
        : m_options(options)
        , m_output(output)
        , m_report(output)
        , m_loader(checkingLoader(options.all ? kDecodeBudgetAllMs : kDecodeBudgetMs))
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
        if (!m_options.forgiving && !m_options.all && !m_options.raw)
            return convertStreamed();
        QByteArray bytes;
        if (const int status = readWhole(bytes); status >= 0)
            return status;
        if (bytes.isEmpty())
            return empty();
        if (m_options.raw)
            return writeRawFrame(bytes, m_options, m_output, m_report);
        const hexjpg::FoundPictures found = hexjpg::findPictures(bytes);
        stopIfAsked();
        m_report.found(found.total);
        m_report.note(hexjpg::diagnoseSearch(found));
        return m_options.all ? writeEach(bytes, found) : writeNewest(bytes, found);
    }

    int unreadable()
    {
        stopIfAsked();
        m_report.failed(Words::tr("无法读取文件：") + m_input.name() + u'\n' +
                        m_input.errorString());
        return m_report.finish(BadInput);
    }

    int tooLong()
    {
        m_report.failed(
            Words::tr("输入太长：超过 %1 字节。这么长的文本不会是一张照片的十六进制文本。")
                .arg(kMaxInputBytes));
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
        m_report.failed(hexjpg::notWritten(path, reason));
        return m_report.finish(WriteFailed);
    }

    // What the start of the text says of its encoding, where it is likely wrong.
    void noteEncoding()
    {
        if (m_encoding == QStringConverter::Utf8 && hexjpg::looksLikeUtf16(m_first))
            m_report.note(
                {Words::tr("文本每隔一个字节就是一个 NUL：它像是没有字节顺序标记的 UTF-16 文本，"
                           "请存为 UTF-8 或带字节顺序标记的 UTF-16")});
        if (m_encoding != QStringConverter::Utf8 && (m_input.total() - 2) % 2 != 0)
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
        const ByteOrder order = sniffByteOrder(m_first);
        m_encoding = order.encoding;
        m_first = m_first.sliced(order.mark);
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
        TextFeeder feeder(decoder, m_encoding);
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
            m_input.fail(Words::tr("文件在读取时变短了：原有 %1 字节，只读到 %2 字节")
                             .arg(m_input.size())
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
        m_output.say(Words::tr("已写入 %1 字节：%2").arg(bytes).arg(output.path()));
        m_report.reading(u"strict"_s, bytes);
        return checkWritten(output, bytes);
    }

    // The check reads the bytes this run wrote, not whatever the path holds by now.
    int checkWritten(const hexjpg::OutputFile &output, qint64 bytes)
    {
        const std::shared_ptr<QIODevice> device = output.readBack();
        // Another program (another run, say) put its own 1.jpg in place of this run's before it
        // could be read back: what this run wrote is gone, and no verdict on it can be given.
        if (!device)
            return cannotWrite(output.path(),
                               Words::tr("写入后，这个文件马上又被另一个程序换掉了，无法检查"));
        const hexjpg::LoadedPicture picture = m_loader.load(*device);
        stopIfAsked();
        if (picture.error == 0) {
            hexjpg::FoundPicture whole;
            whole.length = bytes;
            whole.whole = picture.endMarker;
            m_report.note(hexjpg::diagnosePicture(picture, 0, bytes, bytes));
            m_report.picture(output.path(), whole, picture);
            return m_report.finish(statusOf(stateOf(picture)));
        }
        if (picture.error == hexjpg::kInvalidPicture)
            m_output.say(Words::tr("照片不正确！"));
        // The diagnosis looks at the file's start only: what is no picture must not cost memory as
        // large as itself.
        QByteArray data;
        if (device->seek(0))
            data = device->read(kDiagnosedBytes);
        m_report.note(hexjpg::diagnoseNoPicture(data, hexjpg::findPictures(data),
                                                picture.errorString, bytes));
        if (data.size() == bytes)
            suggestRawFrame(data, m_report);
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
            const PictureState state = stateOf(loaded, picture.whole);
            notChecked += state == PictureState::NotChecked;
            m_output.say(Words::tr("%1：%2，%3")
                             .arg(written.path, hexjpg::describePicture(told, picture.length),
                                  stateWords(state, picture)));
            if (loaded.error == 0 && !loaded.complete)
                m_report.note({hexjpg::incompleteness(loaded, picture.length)});
            m_report.picture(written.path, picture, loaded);
            status = std::max(status, statusOf(state));
        }
        if (found.total > files)
            m_report.note({Words::tr("文本中共有 %1 张图片，只写入了前 %2 张")
                               .arg(hexjpg::number(found.total))
                               .arg(hexjpg::number(files))});
        if (notChecked > 0)
            m_report.note({Words::tr("解码的时间（%1 秒）已用完：%2 张图片写入了，但没有检查")
                               .arg(kDecodeBudgetAllMs / 1000)
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
        m_output.say(Words::tr("已写入 %1 字节：%2").arg(data.size()).arg(written.path));
        if (!chosen) {
            m_output.say(Words::tr("照片不正确！"));
            if (picture.error == hexjpg::kNotChecked)
                m_report.note({Words::tr("解码的时间已用完，没有再检查其余的图片")});
            m_report.note(hexjpg::diagnoseNoPicture(bytes, found, {}));
            suggestRawFrame(bytes, m_report);
            return m_report.finish(NotAPicture);
        }
        if (found.total > 1)
            m_report.note({Words::tr("文本中共有 %1 张图片，写入的是最后一张%2")
                               .arg(found.total)
                               .arg(chosen->whole ? Words::tr("完整的") : QString())});
        m_report.note(
            hexjpg::diagnosePicture(picture, chosen->offset, chosen->length, bytes.size()));
        m_report.picture(written.path, *chosen, picture);
        return m_report.finish(statusOf(stateOf(picture, chosen->whole)));
    }

    const Options &m_options;
    const Output &m_output;
    Report m_report;
    const hexjpg::PictureLoader m_loader;
    hexjpg::system::Input m_input;
    std::vector<char> m_block;
    QByteArrayView m_first; // the input's first text, past a byte-order mark
    QStringConverter::Encoding m_encoding = QStringConverter::Utf8;
};

} // namespace

int readFromFile(const Options &options, const Output &output)
{
    return FileRun(options, output).exec();
}
