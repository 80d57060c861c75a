// Raw camera frames: each format's bytes read as the pixels they are, written as a JPEG (4:4:4,
// quality 95) near what they hold, judged from the pixels when nothing says what they are, and
// random bytes never taken for a frame; the console tool's --raw, --size and --png.

#include "jpeg_encoder.h"
#include "picture_loader.h"
#include "raw_frame.h"
#include "raw_frames.h"
#include "raw_judge.h"
#include "test_support.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using hexjpg::RawFormat;

Q_DECLARE_METATYPE(hexjpg::RawFormat)

class TestRawFrame : public QObject {
    Q_OBJECT

private slots:
    void pixels_data();
    void pixels();
    void writtenNearWhatTheBytesHold_data();
    void writtenNearWhatTheBytesHold();
    void judgedFromThePixels_data();
    void judgedFromThePixels();
    void randomBytesAreNoFrame();
    void consoleTool_data();
    void consoleTool();
};

// The first pixel of two, in each layout: pure red, where the byte orders differ most.
void TestRawFrame::pixels_data()
{
    QTest::addColumn<RawFormat>("format");
    QTest::addColumn<QByteArray>("bytes"); // two pixels
    QTest::addColumn<QColor>("first");
    const QColor red(255, 0, 0);
    QTest::newRow("rgb565") << RawFormat::Rgb565 << QByteArray::fromHex("00f8 1f00") << red;
    QTest::newRow("rgb565be") << RawFormat::Rgb565Be << QByteArray::fromHex("f800 001f") << red;
    QTest::newRow("rgb555") << RawFormat::Rgb555 << QByteArray::fromHex("007c 1f00") << red;
    // Y 76, U 85, V 255: red in BT.601 full range
    QTest::newRow("yuyv") << RawFormat::Yuyv << QByteArray::fromHex("4c554cff") << red;
    QTest::newRow("uyvy") << RawFormat::Uyvy << QByteArray::fromHex("554cff4c") << red;
    QTest::newRow("yvyu") << RawFormat::Yvyu << QByteArray::fromHex("4cff4c55") << red;
    QTest::newRow("vyuy") << RawFormat::Vyuy << QByteArray::fromHex("ff4c554c") << red;
    QTest::newRow("gray") << RawFormat::Gray << QByteArray::fromHex("8000")
                          << QColor(128, 128, 128);
    QTest::newRow("rgb888") << RawFormat::Rgb888 << QByteArray::fromHex("ff0000 000000") << red;
    QTest::newRow("bgr888") << RawFormat::Bgr888 << QByteArray::fromHex("0000ff 000000") << red;
}

void TestRawFrame::pixels()
{
    QFETCH(RawFormat, format);
    QFETCH(QByteArray, bytes);
    QFETCH(QColor, first);
    const QImage image = hexjpg::rawFrameImage(bytes, format, {2, 1});
    QVERIFY(!image.isNull());
    const QColor got = image.pixelColor(0, 0);
    QVERIFY2(std::abs(got.red() - first.red()) <= 2 && std::abs(got.green() - first.green()) <= 2 &&
                 std::abs(got.blue() - first.blue()) <= 2,
             qPrintable(got.name()));
    // One byte short or over is no frame of that size.
    QVERIFY(hexjpg::rawFrameImage(bytes.chopped(1), format, {2, 1}).isNull());
    QVERIFY(hexjpg::rawFrameImage(bytes + '\0', format, {2, 1}).isNull());
}

void TestRawFrame::writtenNearWhatTheBytesHold_data()
{
    QTest::addColumn<RawFormat>("format");
    QTest::addColumn<QSize>("size");
    for (const RawFormat format : hexjpg::rawFormats())
        for (const QSize size : {QSize(160, 120), QSize(320, 240)})
            QTest::addRow("%s %dx%d", qPrintable(hexjpg::rawFormatName(format)), size.width(),
                          size.height())
                << format << size;
}

void TestRawFrame::writtenNearWhatTheBytesHold()
{
    QFETCH(RawFormat, format);
    QFETCH(QSize, size);
    const QByteArray frame = testing::rawFrameOf(testing::photoLike(size, 7), format);
    const QImage held = hexjpg::rawFrameImage(frame, format, size);
    const QByteArray jpeg = hexjpg::encodeJpeg(held);
    const QImage written = hexjpg::PictureLoader().load(QByteArrayView(jpeg)).image;
    QCOMPARE(written.size(), size);
    const double psnr = testing::psnr(held, written);
    QVERIFY2(psnr >= 38, qPrintable(QString::number(psnr)));
    // 4:4:4: in the frame header, each of the three components samples 1×1.
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    QVERIFY(sof > 0);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(int(uchar(jpeg[sof + 11 + 3 * c])), 0x11);
}

// Frames from photo-like pictures, ten each: the byte orders of RGB565 and grayscale judged right
// every time, the size always, and for YUV where Y lies always; which of U and V comes first shows
// only in colours that leave RGB when read the other way round, so YUYV and UYVY, the common
// orders, are judged right in nine of ten, and their twins at least found beside them.
void TestRawFrame::judgedFromThePixels_data()
{
    QTest::addColumn<RawFormat>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("rightAtLeast"); // of 10
    for (const RawFormat format : hexjpg::rawFormats()) {
        const bool exact = format == RawFormat::Rgb565 || format == RawFormat::Rgb565Be ||
                           format == RawFormat::Gray;
        const int right = exact                                                    ? 10
                          : format == RawFormat::Yuyv || format == RawFormat::Uyvy ? 9
                                                                                   : 0;
        for (const QSize size : {QSize(160, 120), QSize(320, 240), QSize(96, 96)})
            QTest::addRow("%s %dx%d", qPrintable(hexjpg::rawFormatName(format)), size.width(),
                          size.height())
                << format << size << right;
    }
}

void TestRawFrame::judgedFromThePixels()
{
    QFETCH(RawFormat, format);
    QFETCH(QSize, size);
    QFETCH(int, rightAtLeast);
    // Which of U and V comes first shows only in colours strong enough to leave RGB when read the
    // other way round; in pale ones the order makes little difference to the picture.
    const bool vivid = hexjpg::isYuv(format);
    int right = 0;
    QStringList wrong;
    for (quint32 seed = 1; seed <= 10; ++seed) {
        const QByteArray frame =
            "*RDY*" + testing::rawFrameOf(testing::photoLike(size, seed, vivid), format);
        const hexjpg::RawJudgement judged = hexjpg::judgeRawFrame(frame);
        QVERIFY(judged.offered());
        QCOMPARE(judged.best().size, size);
        QCOMPARE(judged.best().offset, 5);
        if (hexjpg::isYuv(format)) { // Y where it is, and the order itself among the first two
            const auto placesY = [](RawFormat f) {
                return f == RawFormat::Yuyv || f == RawFormat::Yvyu;
            };
            QCOMPARE(placesY(judged.best().format), placesY(format));
            QVERIFY(judged.candidates[0].format == format || judged.candidates[1].format == format);
        }
        if (judged.best().format == format)
            ++right;
        else
            wrong << hexjpg::rawFormatName(judged.best().format);
    }
    QVERIFY2(right >= rightAtLeast, qPrintable(wrong.join(u", "_s)));
}

// Random bytes of exactly a frame's length, for every common size and depth: never a frame.
void TestRawFrame::randomBytesAreNoFrame()
{
    QRandomGenerator random(2026);
    int buffers = 0;
    for (const QSize size : hexjpg::commonFrameSizes()) {
        if (size.width() * size.height() > 320 * 240)
            continue;
        for (const int depth : {1, 2, 3}) {
            for (int i = 0; i < 5; ++i, ++buffers) {
                QByteArray bytes(qsizetype(size.width()) * size.height() * depth,
                                 Qt::Uninitialized);
                random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
                const hexjpg::RawJudgement judged = hexjpg::judgeRawFrame(bytes);
                QVERIFY2(!judged.offered(),
                         qPrintable(u"%1 %2"_s.arg(hexjpg::rawFormatName(judged.best().format))
                                        .arg(judged.best().score())));
            }
        }
    }
    QVERIFY(buffers >= 100);
}

void TestRawFrame::consoleTool_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("file"); // written, near the frame; empty: none
    QTest::newRow("rgb565 after *RDY*")
        << QStringList{u"--raw"_s, u"rgb565"_s, u"--size"_s, u"160x120"_s} << 0 << u"1.jpg"_s;
    QTest::newRow("--png") << QStringList{u"--raw"_s, u"rgb565"_s, u"--size"_s, u"160×120"_s,
                                          u"--png"_s}
                           << 0 << u"1.png"_s;
    QTest::newRow("the wrong size")
        << QStringList{u"--raw"_s, u"rgb565"_s, u"--size"_s, u"320x240"_s} << 3 << QString();
    QTest::newRow("no such format")
        << QStringList{u"--raw"_s, u"rgb444"_s, u"--size"_s, u"160x120"_s} << 2 << QString();
    QTest::newRow("no size") << QStringList{u"--raw"_s, u"rgb565"_s} << 2 << QString();
    QTest::newRow("YUV of odd width")
        << QStringList{u"--raw"_s, u"yuyv"_s, u"--size"_s, u"161x120"_s} << 2 << QString();
}

void TestRawFrame::consoleTool()
{
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, file);
    QTemporaryDir dir;
    const QSize size(160, 120);
    const QByteArray frame = testing::rawFrameOf(testing::photoLike(size, 3), RawFormat::Rgb565);
    QFile dump(dir.filePath(u"frame.txt"_s));
    QVERIFY(dump.open(QIODevice::WriteOnly));
    dump.write(QByteArray("*RDY*" + frame).toHex(' '));
    dump.close();
    QProcess cli;
    cli.start(QStringLiteral(HEXJPG_CLI),
              options + QStringList{u"--dir"_s, dir.path(), dump.fileName()});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), status);
    if (file.isEmpty()) {
        QVERIFY(!QFile::exists(dir.filePath(u"1.jpg"_s)));
        return;
    }
    const QImage held = hexjpg::rawFrameImage(frame, RawFormat::Rgb565, size);
    const QImage written = file.endsWith(u".png"_s)
                               ? QImage(dir.filePath(file))
                               : hexjpg::PictureLoader().load(dir.filePath(file)).image;
    QVERIFY(testing::psnr(held, written) >= (file.endsWith(u".png"_s) ? 100 : 38));
}

QTEST_MAIN(TestRawFrame)
#include "tst_raw_frame.moc"
