// The forgiving reading and the diagnosis, on captures written the way real tools and serial
// monitors write them.

#include "diagnosis.h"
#include "forgiving_reader.h"
#include "jpeg_markers.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "test_support.h"

#include <functional>

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace hexjpg;
using namespace Qt::StringLiterals;

namespace {

// What a tool prints for the bytes: xxd, hexdump -C, od -x, base64 and Python's repr.
QString tool(const QStringList &command, const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"picture.jpg"_s);
    testing::writeFile(path, bytes);
    QProcess process;
    process.start(command.first(), command.mid(1) << path);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString joined(const QByteArray &bytes, const QString &format, const QString &separator,
               int perLine, const QString &lineEnd = u"\r\n"_s)
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        text += format.arg(QString::number(uchar(bytes[i]), 16).rightJustified(2, u'0').toUpper());
        if (i + 1 < bytes.size())
            text += (i + 1) % perLine ? separator : separator.trimmed() + lineEnd;
    }
    return text;
}

// ESP-IDF's ESP_LOG_BUFFER_HEXDUMP, behind its log prefix.
QString espHexdump(const QByteArray &bytes)
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); i += 16) {
        QString hex, ascii;
        for (qsizetype j = i; j < i + 16; ++j) {
            hex += j < bytes.size() ? u"%1 "_s.arg(uchar(bytes[j]), 2, 16, QChar(u'0')) : u"   "_s;
            if (j == i + 7)
                hex += u' ';
            if (j < bytes.size())
                ascii += bytes[j] >= 32 && bytes[j] < 127 ? QChar(bytes[j]) : QChar(u'.');
        }
        text += u"I (%1) cam: 0x%2   %3 |%4|\n"_s.arg(1000 + i)
                    .arg(0x3ffb4280 + i, 8, 16, QChar(u'0'))
                    .arg(hex, ascii);
    }
    return text;
}

} // namespace

class TestForgivingReader : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data();
    void verdicts();
    void fillIsBoundedForTheWholeText_data();
    void fillIsBoundedForTheWholeText();
    void captures_data();
    void captures();
    void damage_data();
    void damage();
    void endlessLines();
    void skippedTextIsCountedOnce();
};

void TestForgivingReader::captures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("layout"); // in the words the reading gives

    // A baseline picture with a run of zeros (folded into '*' lines by hexdump and od), a
    // progressive one of odd length (od pads its last word), and one followed by repeated lines.
    QByteArray progressive = testing::makeJpeg({90, 60}, true);
    if (progressive.size() % 2 == 0)
        progressive += '\0';
    const QList<std::pair<const char *, QByteArray>> pictures = {
        {"baseline", testing::withZeroRun(testing::makeJpeg({160, 120}), 200)},
        {"progressive", progressive},
        // Lines of the same bytes, not zeros, folded too, and an odd length after them.
        {"repeated lines", testing::makeJpeg({40, 30}) +
                               QByteArray("\x10\x32\x54\x76\x98\xba\xdc\xfe").repeated(41) +
                               "\xff"}};
    for (const auto &[name, b] : pictures) {
        auto row = [&](const char *layout) -> QTestData & {
            return QTest::addRow("%s, %s", layout, name);
        };
        row("pairs on one line") << testing::dumpOf(b) << b << u"每两个十六进制数字一个字节"_s;
        row("pairs in lines") << joined(b, u"%1"_s, u" "_s, 16) << b << u"每两个"_s;
        row("pairs in lines, among the receiving window's own lines")
            << u"\u2192 已发送：56 00 36 01 00 0a 0b 0c 0d 0e 0f 10\n"_s +
                   joined(b, u"%1"_s, u" "_s, 16)
                       .replace(u"\n"_s, u"\n\u203b 串口 COM5 又打开了 ff d8\n"_s)
            << b << u"跳过了"_s;
        row("Arduino, unpadded") << testing::unpaddedDump(b) << b << u"单个数字也算一个字节"_s;
        row("serial monitor with timestamps")
            << testing::serialLog({b}) << b
            << u"跳过了每行开头的时间戳或日志前缀，跳过了 2 行文字"_s;
        row("ESP-IDF log") << u"I (100) cam: taking picture\n"_s +
                                  joined(b, u"%1"_s, u" "_s, 16, u"\nI (200) cam: "_s)
                           << b << u"时间戳或日志前缀"_s;
        row("C array") << u"// photo.jpg\nconst unsigned char photo[] = {\n"_s +
                              joined(b, u"0x%1"_s, u", "_s, 12, u"\n"_s) + u"\n}; /* the end */\n"_s
                       << b << u"带 0x 前缀"_s;
        row("C string of escapes")
            << u"\""_s + joined(b, u"\\x%1"_s, QString(), 1 << 30) + u"\""_s << b << u"\\x 转义"_s;
        row("Visual Basic &H") << joined(b, u"&H%1"_s, u", "_s, 16) << b << u"&H 前缀"_s;
        row("assembler h") << joined(b, u"0%1h"_s, u", "_s, 16) << b << u"h 后缀"_s;
        row("Pascal $") << joined(b, u"$%1"_s, u" "_s, 16) << b << u"$ 前缀"_s;
        row("decimal list") << QString::fromLatin1([&] {
            QByteArrayList numbers;
            for (char c : b)
                numbers << QByteArray::number(uchar(c));
            return numbers.join(',');
        }()) << b << u"十进制"_s;
        row("xxd -p") << tool({u"xxd"_s, u"-p"_s}, b) << b << u"连写"_s;
        row("xxd") << tool({u"xxd"_s}, b) << b << u"xxd 的输出"_s;
        row("hexdump -C") << tool({u"hexdump"_s, u"-C"_s}, b) << b << u"hexdump -C 的输出"_s;
        row("ESP-IDF hexdump") << espHexdump(b) << b << u"ESP-IDF"_s;
        row("od -x") << tool({u"od"_s, u"-x"_s}, b) << b << u"od -x"_s;
        row("Python bytes") << tool({u"python3"_s, u"-c"_s,
                                     u"import sys; print(repr(open(sys.argv[1], 'rb').read()))"_s},
                                    b)
                            << b << u"Python"_s;
        row("base64") << tool({u"base64"_s}, b) << b << u"Base64"_s;
        row("data URI") << u"<img src=\"data:image/jpeg;base64,"_s +
                               QString::fromLatin1(b.toBase64()) + u"\">"_s
                        << b << u"Base64"_s;
    }
}

void TestForgivingReader::captures()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, layout);
    if (text.isEmpty())
        QSKIP("the tool that prints this layout does not run here (Windows)");

    const ForgivingRead read = readForgiving(QStringView(text));
    QCOMPARE(read.bytes.toHex(' '), bytes.toHex(' '));
    QVERIFY2(read.layout.contains(layout), qPrintable(read.layout));
    // The same text as UTF-8 reads the same, and so does it arriving in blocks of any size,
    // judged from the whole reading's sample or from a short one.
    const QByteArray utf8 = text.toUtf8();
    QCOMPARE(readForgiving(utf8).bytes, bytes);
    for (const qint64 sample : {qint64(64 * 1024), ForgivingStream::kSample}) {
        ForgivingStream stream(sample);
        QByteArray streamed;
        QRandomGenerator random(uint(utf8.size()));
        for (qsizetype at = 0; at < utf8.size();) {
            const qsizetype block = std::min<qsizetype>(utf8.size() - at, random.bounded(1, 300));
            streamed += stream.feed(QByteArrayView(utf8).sliced(at, block));
            at += block;
        }
        streamed += stream.finish();
        QCOMPARE(streamed.toHex(' '), bytes.toHex(' '));
        QCOMPARE(stream.read().layout, read.layout);
        auto spans = [](const ForgivingRead &r) {
            QList<QList<qint64>> out;
            for (const SkippedSpan &span : r.skipped)
                out.append({span.line, span.column, span.length});
            return out;
        };
        QCOMPARE(spans(stream.read()), spans(readForgiving(utf8)));
    }
    const FoundPictures found = findPictures(read.bytes);
    QVERIFY(!found.empty());
    QCOMPARE(found.front().offset, 0);
    QVERIFY(found.front().whole);
}

// Pictures cut short, damaged or moved: what the finder and the decoder make of them, in words.
void TestForgivingReader::damage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<QString>("said");  // a sentence of the diagnosis
    QTest::addColumn<bool>("complete"); // as decoded

    const QByteArray jpeg = testing::makeJpeg({320, 240});
    const QByteArray progressive = testing::makeJpeg({320, 240}, true);
    QTest::newRow("cut short") << jpeg.left(jpeg.size() * 3 / 5) << true
                               << u"图片不完整：240 行中只解码了"_s << false;
    QTest::newRow("progressive, cut short") << progressive.left(progressive.size() * 3 / 5) << true
                                            << u"渐进式图片只收到了一部分扫描"_s << false;
    // The scan's data stops short of its end marker: the rows after that are made up.
    QTest::newRow("bytes dropped") << QByteArray(jpeg).remove(jpeg.size() / 2, 5) << true
                                   << u"解码器的警告：Corrupt JPEG data"_s << false;
    QTest::newRow("an extra FF at the start")
        << "\xff" + jpeg << true << u"图片从第 2 字节开始，前面有 1 个多余字节"_s << true;
    QTest::newRow("the first FF lost") << jpeg.mid(1) << false << u"开头的 FF 丢了"_s << false;
}

void TestForgivingReader::damage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, decodes);
    QFETCH(QString, said);
    QFETCH(bool, complete);

    const FoundPictures found = findPictures(bytes);
    QStringList diagnosis;
    if (!decodes) {
        QVERIFY(found.empty());
        diagnosis = diagnoseNoPicture(bytes, found, {});
    } else {
        QCOMPARE(found.size(), std::size_t(1));
        const FoundPicture &p = found.front();
        const LoadedPicture picture =
            PictureLoader(kPictureAreaSize).load(QByteArrayView(bytes).sliced(p.offset, p.length));
        QCOMPARE(picture.error, 0);
        QCOMPARE(picture.complete, complete);
        diagnosis = diagnosePicture(picture, p.offset, p.length, bytes.size());
    }
    QVERIFY2(diagnosis.join(u'\n').contains(said), qPrintable(diagnosis.join(u'\n')));
}

// A column dump whose '*' line is followed by an offset that goes back: nothing skipped is
// counted twice, and the spans do not overlap (found by the fuzzer).
void TestForgivingReader::skippedTextIsCountedOnce()
{
    const QByteArray text =
        QByteArray::fromHex("0d200d1820353635312009333020205b420d202a0d2035363531200933302020"
                            "5b42207a353635312009333020205b42dbdbdb030b030b0ad335363531200933"
                            "3033");
    const ForgivingRead read = readForgiving(text);
    QVERIFY(read.skippedCharacters <= text.size());
    for (std::size_t i = 1; i < read.skipped.size(); ++i)
        QVERIFY(read.skipped[i - 1].line < read.skipped[i].line ||
                read.skipped[i - 1].column + read.skipped[i - 1].length <= read.skipped[i].column);
}

namespace {

QString lines(const QByteArray &bytes, int perLine, const std::function<QString(int)> &prefix,
              const QString &suffix = {})
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); i += perLine)
        text += prefix(int(i)) + testing::dumpOf(bytes.mid(i, perLine)).trimmed() + suffix + u'\n';
    return text;
}

} // namespace

// Damaged and mixed captures: the picture the window would offer and the console tool write with
// -f, and whether it is whole.
void TestForgivingReader::verdicts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("picture"); // the newest that decodes
    QTest::addColumn<bool>("complete");

    const QByteArray jpeg = testing::makeJpeg({160, 120});
    const QByteArray dht = jpeg.left(int(jpeg.indexOf("\xff\xc4")) + 20);
    QTest::newRow("a transfer cut in its DHT, then retried")
        << testing::dumpOf(dht + jpeg) << jpeg << true;

    auto le32 = [](quint32 v) {
        return QByteArray(reinterpret_cast<const char *>(&v), 4); // little-endian machines
    };
    const QByteArray bmp = "BM" + le32(0xfffffff0) + QByteArray(4, 0) + le32(54) + le32(40) +
                           le32(160) + le32(120) + QByteArray("\x01\x00\x18\x00", 4) +
                           QByteArray(24, 0);
    QTest::newRow("a stray BMP header claiming 4 GiB")
        << testing::dumpOf(bmp + jpeg) << jpeg << true;
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) +
                           QByteArray("\0\0\0\xa0\0\0\0\x78\x08\x02\0\0\0\0\0\0\0", 17) +
                           QByteArray("\x7f\xff\xff\xf0IDAT", 8);
    QTest::newRow("a stray PNG header") << testing::dumpOf(png + jpeg) << jpeg << true;
    const QByteArray gif = QByteArray("GIF89a\xa0\0\x78\0\0\0\0", 13) + "\x2c" + QByteArray(8, 0) +
                           QByteArray("\0\x08\xff", 3);
    QTest::newRow("a stray GIF header") << testing::dumpOf(gif + jpeg) << jpeg << true;

    // Most of the entropy-coded data lost on the way, the end marker kept.
    const qsizetype data = jpeg.indexOf("\xff\xda") + 2 + 12;
    const QByteArray lost = jpeg.left(data + (jpeg.size() - data) / 10) + "\xff\xd9";
    QTest::newRow("a scan's data lost, FF D9 kept") << testing::dumpOf(lost) << lost << false;

    QTest::newRow("a log line of Python bytes, then a spaced dump")
        << u"ack from camera: b'\\x06'\n"_s + lines(jpeg, 16, [](int) { return QString(); }) << jpeg
        << true;
    // 16 pairs and a checksum to a line; the last line has 6 pairs.
    qsizetype comment = ((6 - jpeg.size()) % 16 + 16) % 16; // a COM segment that makes it so
    if (comment < 4)
        comment += 16;
    const QByteArray odd = QByteArray(jpeg).insert(
        2, QByteArray("\xff\xfe\x00", 3) + char(comment - 2) + QByteArray(comment - 4, 'x'));
    QTest::newRow("lines with a checksum token, the last one short")
        << lines(
               odd, 16, [](int) { return QString(); }, u" sum=5A"_s)
        << odd << true;
    QTest::newRow("lines led by a millis() count")
        << lines(jpeg, 16, [](int i) { return QString::number(100000 + i) + u' '; }) << jpeg
        << true;

    // Two od -x dumps: the first of an odd length, closed by its offset; the second not closed.
    const QByteArray older = testing::makeJpeg({40, 30});
    const QByteArray oddOlder = older + "\x00\x00\x00\x00\x00"; // padding after the picture
    auto od = [](const QByteArray &bytes, bool close) {
        QString text;
        for (qsizetype i = 0; i < bytes.size(); i += 16) {
            text += u"%1"_s.arg(i, 7, 8, QChar(u'0'));
            for (qsizetype j = i; j < std::min(i + 16, bytes.size()); j += 2)
                text += u" %1%2"_s
                            .arg(uchar(j + 1 < bytes.size() ? bytes[j + 1] : 0), 2, 16, QChar(u'0'))
                            .arg(uchar(bytes[j]), 2, 16, QChar(u'0'));
            text += u'\n';
        }
        if (close)
            text += u"%1\n"_s.arg(bytes.size(), 7, 8, QChar(u'0'));
        return text;
    };
    QTest::newRow("two od dumps, only the first closed by its offset")
        << od(oddOlder, true) + od(jpeg, false) << jpeg << true;
}

void TestForgivingReader::verdicts()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, picture);
    QFETCH(bool, complete);

    const ForgivingRead read = readForgiving(QStringView(text));
    const FoundPictures found = findPictures(read.bytes);
    LoadedPicture loaded;
    const FoundPicture *chosen =
        PictureLoader(kPictureAreaSize).loadNewest(read.bytes, found, loaded);
    QVERIFY2(chosen, qPrintable(read.layout));
    QCOMPARE(read.bytes.mid(chosen->offset, chosen->length).toHex(' '), picture.toHex(' '));
    QCOMPARE(loaded.complete, complete);
}

// A camera that prints all its pairs on one line: what arrives is read before the line ends, and
// a line without a blank ends the reading before it fills the memory.
void TestForgivingReader::endlessLines()
{
    QByteArray pictures;
    for (int i = 0; i < 12; ++i)
        pictures += testing::makeJpeg({160, 120});
    const QByteArray line = testing::dumpOf(pictures).toUtf8();
    QVERIFY(line.size() > 64 * 1024);
    ForgivingStream stream;
    QByteArray read;
    for (qsizetype at = 0; at < line.size(); at += 4096)
        read += stream.feed(
            QByteArrayView(line).sliced(at, std::min<qsizetype>(4096, line.size() - at)));
    QVERIFY(read.size() > pictures.size() / 2);
    QCOMPARE(read + stream.finish(), pictures);

    ForgivingStream endless;
    const QByteArray block(1 << 20, 'A');
    for (int i = 0; i < 20 && !endless.ended(); ++i)
        endless.feed(block);
    QVERIFY(endless.ended());
    QVERIFY2(endless.read().stopped.contains(u"太长"_s), qPrintable(endless.read().stopped));
}

// '*' lines each followed by an offset 60 MiB on: together they fill no more than the bound, and
// the reading says where it stopped.
void TestForgivingReader::fillIsBoundedForTheWholeText_data()
{
    QTest::addColumn<QString>("line"); // %1: the offset
    QTest::addColumn<int>("base");

    QTest::newRow("hexdump -C") << u"%1  ff d8 ff e0 00 10 4a 46  49 46 00 01 01 00 00 01  |..|"_s
                                << 16;
    QTest::newRow("xxd") << u"%1: ffd8 ffe0 0010 4a46 4946 0001 0100 0001  ................"_s
                         << 16;
    QTest::newRow("od -x") << u"%1 d8ff e0ff 1000 464a 4649 0100 0001 0100"_s << 8;
}

void TestForgivingReader::fillIsBoundedForTheWholeText()
{
    QFETCH(QString, line);
    QFETCH(int, base);

    QString text;
    for (qint64 k = 0; k < 20; ++k)
        text += line.arg(k * (qint64(60) << 20), base == 8 ? 7 : 8, base, QChar(u'0')) + u"\n*\n"_s;
    const ForgivingRead read = readForgiving(QStringView(text));
    QVERIFY2(read.bytes.size() <= ForgivingRead::kMaxFill + text.size(), qPrintable(read.layout));
    QVERIFY(read.layout.contains(u"补上"_s));
    QVERIFY2(diagnoseReading(read).join(u'\n').contains(u"读到这里为止"_s),
             qPrintable(diagnoseReading(read).join(u'\n')));
}

QTEST_MAIN(TestForgivingReader)
#include "tst_forgiving_reader.moc"
