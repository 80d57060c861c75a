// The forgiving reading, the picture finder and the diagnosis, on captures written the way real
// tools and serial monitors write them.

#include "diagnosis.h"
#include "forgiving_reader.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "test_support.h"

#include <QProcess>
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
    void captures_data();
    void captures();
    void damage_data();
    void damage();
    void logWithThreePictures();
    void skippedTextIsCountedOnce();
};

void TestForgivingReader::captures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("layout"); // in the words the reading gives

    // A baseline picture with a run of zeros (folded into '*' lines by hexdump and od), and a
    // progressive one of odd length (od pads its last word).
    QByteArray progressive = testing::makeJpeg({90, 60}, true);
    if (progressive.size() % 2 == 0)
        progressive += '\0';
    const QList<std::pair<const char *, QByteArray>> pictures = {
        {"baseline", testing::withZeroRun(testing::makeJpeg({160, 120}), 200)},
        {"progressive", progressive}};
    for (const auto &[name, b] : pictures) {
        auto row = [&](const char *layout) -> QTestData & {
            return QTest::addRow("%s, %s", layout, name);
        };
        row("pairs on one line") << testing::dumpOf(b) << b << u"每两个十六进制数字一个字节"_s;
        row("pairs in lines") << joined(b, u"%1"_s, u" "_s, 16) << b << u"每两个"_s;
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

    const ForgivingRead read = readForgiving(QStringView(text));
    QCOMPARE(read.bytes.toHex(' '), bytes.toHex(' '));
    QVERIFY2(read.layout.contains(layout), qPrintable(read.layout));
    // The same text as UTF-8 reads the same.
    QCOMPARE(readForgiving(text.toUtf8()).bytes, bytes);
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
    QTest::addColumn<QString>("said"); // a sentence of the diagnosis
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

// A camera's log with three captures, a stale end marker after the second and padding after the
// third: each is found whole, with exactly its bytes.
void TestForgivingReader::logWithThreePictures()
{
    const QList<QByteArray> pictures = {testing::makeJpeg({80, 60}),
                                        testing::makeJpeg({64, 48}, true),
                                        testing::makeJpeg({40, 40})};
    const QByteArray padding("\0\0\0", 3);
    const QString log =
        testing::serialLog({pictures[0], pictures[1], "\xff\xd9", pictures[2] + padding});
    const ForgivingRead read = readForgiving(QStringView(log));
    const FoundPictures found = findPictures(read.bytes);
    QCOMPARE(found.size(), std::size_t(3));
    for (int i = 0; i < 3; ++i) {
        QVERIFY(found[std::size_t(i)].whole);
        QCOMPARE(read.bytes.mid(found[std::size_t(i)].offset, found[std::size_t(i)].length),
                 pictures[i]);
    }
    const FoundPicture &last = found.back();
    const LoadedPicture picture =
        PictureLoader().load(QByteArrayView(read.bytes).sliced(last.offset, last.length));
    QCOMPARE(picture.size, QSize(40, 40));
    QVERIFY(diagnosePicture(picture, last.offset, last.length, read.bytes.size())
                .contains(u"图片后面还有 3 个多余字节"_s));
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

QTEST_MAIN(TestForgivingReader)
#include "tst_forgiving_reader.moc"
