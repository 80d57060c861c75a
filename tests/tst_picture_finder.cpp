// The picture finder, over whole texts and over bytes that arrive in blocks: each picture with
// exactly its bytes, and work linear in the bytes whatever they hold.

#include "cut_captures.h"
#include "diagnosis.h"
#include "forgiving_reader.h"
#include "jpeg_markers.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "test_support.h"

#include <QRandomGenerator>
#include <QTest>

using namespace hexjpg;
using namespace Qt::StringLiterals;

namespace {

QByteArray repeated(const QByteArray &unit, qsizetype size)
{
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += unit;
    return bytes;
}

} // namespace

class TestPictureFinder : public QObject {
    Q_OBJECT

private slots:
    void workIsLinear_data();
    void workIsLinear();
    void logWithThreePictures();
    void pictureStream_data();
    void pictureStream();
    void cutThenBegunAgain_data();
    void cutThenBegunAgain();
};

// Whatever the bytes hold, the finder looks at each at most a few times: repeated units built
// from marker bytes and segment lengths, every format's signature, many tiny pictures. And no
// text makes the reading fill more than its bound.
void TestPictureFinder::workIsLinear_data()
{
    QTest::addColumn<QByteArray>("unit"); // repeated to a megabyte; alone when it is that long
    QTest::addColumn<qint64>("pictures"); // in a megabyte of units; -1: not counted

    QTest::newRow("chained APP0 segments from every start marker")
        << QByteArray::fromHex("ffd8ffe000060000") << qint64(0);
    QTest::newRow("frame headers, no end")
        << QByteArray::fromHex("ffd8ffc0000b080001000101011100") << qint64(-1);
    QTest::newRow("scans of stuffed FF") << QByteArray::fromHex("ffd8ffda0002ff00") << qint64(0);
    QTest::newRow("restart markers") << QByteArray::fromHex("ffd8ffd0") << qint64(0);
    QTest::newRow("start markers inside segments")
        << QByteArray::fromHex("ffd8ffe0000affd8ffe00004ffd8") << qint64(0);
    QTest::newRow("a frame header of 255 components")
        << QByteArray::fromHex("d8ffc0d8ff0689004750d850c0d9d8ff00ff0600ff") << qint64(-1);
    QTest::newRow("tiny whole pictures")
        << QByteArray::fromHex("ffd8ffc0000b080001000101011100ffd9") << qint64((1 << 20) / 17 + 1);
    QTest::newRow("PNG signatures with chained chunks")
        << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\1\0\0\0\1\x08\x02\0\0\0\0\0\0\0"
                      "\0\0\0\x21"
                      "abcd",
                      41)
        << qint64(-1);
    QTest::newRow("GIF signatures")
        << QByteArray("GIF89a\1\0\1\0\0\0\0\x21\xf9\x04", 16) << qint64(-1);
    QTest::newRow("BMP headers") << QByteArray("BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18)
                                 << qint64(-1);
    // Thousands of start markers whose first segments all land in one long run of fill bytes, or of
    // data without FF, each at another byte of it.
    for (const char stretch : {'\xff', '\x00'}) {
        QByteArray landing;
        constexpr int kStarts = 9000;
        for (int i = 0; i < kStarts; ++i) {
            const int length = 6 * kStarts + i - (6 * i + 4) + 2;
            landing += QByteArray("\xff\xd8\xff\xe0", 4) + char(length >> 8) + char(length & 0xff);
        }
        landing += QByteArray((1 << 20) - landing.size() - 1, stretch) + '\x01';
        QTest::newRow(stretch ? "segments landing in one run of fill bytes"
                              : "segments landing in one stretch without FF")
            << landing << qint64(0);
    }
    // Units of marker bytes at random.
    static const char kMarkerBytes[] = "\xff\xd8\xe0\xc0\xda\xd9\xd0\x00\x02\x04\x06\x89PNGBM";
    QRandomGenerator random(14);
    for (int i = 0; i < 40; ++i) {
        QByteArray unit;
        for (int n = 4 + int(random.bounded(29)); n > 0; --n)
            unit += kMarkerBytes[random.bounded(int(sizeof kMarkerBytes) - 1)];
        QTest::newRow(qPrintable(u"random unit %1"_s.arg(i))) << unit << qint64(-1);
    }
}

void TestPictureFinder::workIsLinear()
{
    QFETCH(QByteArray, unit);
    QFETCH(qint64, pictures);

    const QByteArray bytes = unit.size() >= (1 << 20) ? unit : repeated(unit, 1 << 20);
    bytesExamined() = 0;
    const FoundPictures found = findPictures(bytes);
    QVERIFY2(bytesExamined() <= 8 * bytes.size(),
             qPrintable(u"%1 bytes examined for %2"_s.arg(bytesExamined()).arg(bytes.size())));
    // Arriving in blocks, the same bytes cost a few times as much at most, and what is kept for
    // a picture under way stays bounded.
    bytesExamined() = 0;
    PictureStream stream;
    qint64 kept = 0;
    for (qsizetype at = 0; at < bytes.size(); at += 4096) {
        stream.feed(QByteArrayView(bytes).sliced(at, std::min<qsizetype>(4096, bytes.size() - at)));
        kept = std::max(kept, stream.kept());
    }
    stream.cut();
    QVERIFY2(
        bytesExamined() <= 24 * bytes.size(),
        qPrintable(u"%1 bytes examined for %2 arriving"_s.arg(bytesExamined()).arg(bytes.size())));
    QVERIFY(kept <= PictureStream::kMaxInFlight);
    if (pictures >= 0)
        QCOMPARE(stream.total(), pictures);
    if (pictures >= 0) {
        QCOMPARE(found.total, pictures);
        QCOMPARE(found.size(),
                 std::min<std::size_t>(std::size_t(pictures),
                                       FoundPictures::kKeptFirst + FoundPictures::kKeptLast));
        if (pictures > 0)
            QCOMPARE(found.back().number, pictures);
    }
}

// A camera's log with three captures, a stale end marker after the second and padding after the
// third: each is found whole, with exactly its bytes.
void TestPictureFinder::logWithThreePictures()
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

// Pictures arriving in blocks: each is handed on when its last byte has come, with exactly its
// bytes; one that stops arriving is handed on, not whole, at a pause or when another begins.
void TestPictureFinder::pictureStream_data()
{
    QTest::addColumn<QByteArrayList>("blocks"); // an empty block is a pause
    QTest::addColumn<QStringList>("arrivals");  // after each block: "whole N", "cut N", or ""

    const QByteArray a = testing::makeJpeg({80, 60}), b = testing::makeJpeg({64, 48}, true);
    const qsizetype al = a.size(), bl = b.size();
    const auto n = [](qsizetype v) { return QString::number(v); };
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(20, 10, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    QTest::newRow("the end marker completes it")
        << QByteArrayList{"log\r\n" + a.chopped(1), a.right(1), "\r\nlog\r\n"}
        << QStringList{u""_s, u"whole "_s + n(al), u""_s};
    QTest::newRow("two in one block, and text after")
        << QByteArrayList{a + "ok" + b + "ok"}
        << QStringList{u"whole %1,whole %2"_s.arg(al).arg(bl)};
    QTest::newRow("a pause in the middle")
        << QByteArrayList{a.first(al / 2), {}, b}
        << QStringList{u""_s, u"cut "_s + n(al / 2), u"whole "_s + n(bl)};
    QTest::newRow("cut short and sent again")
        << QByteArrayList{a.first(al / 2), a.first(30), a.sliced(30)}
        << QStringList{u""_s, u""_s, u"cut %1,whole %2"_s.arg(al / 2).arg(al)};
    QTest::newRow("a start marker cut by the block")
        << QByteArrayList{"noise\xff", a.sliced(1)} << QStringList{u""_s, u"whole "_s + n(al)};
    QTest::newRow("a PNG") << QByteArrayList{png.chopped(4), png.right(4)}
                           << QStringList{u""_s, u"whole "_s + n(png.size())};
}

void TestPictureFinder::pictureStream()
{
    QFETCH(QByteArrayList, blocks);
    QFETCH(QStringList, arrivals);

    PictureStream stream;
    QByteArray all;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const std::vector<ArrivedPicture> arrived =
            blocks[i].isEmpty() ? stream.cut() : stream.feed(blocks[i]);
        all += blocks[i];
        QStringList said;
        for (const ArrivedPicture &p : arrived) {
            said << (p.found.whole ? u"whole "_s : u"cut "_s) + QString::number(p.bytes.size());
            QCOMPARE(p.bytes, all.mid(p.found.offset, p.found.length));
        }
        QCOMPARE(said.join(u','), arrivals[i]);
    }
}

// A capture cut short inside any of its parts is found as it arrived, up to the next start, and
// not whole; the picture after it is found whole, with exactly its bytes, whether the bytes are
// searched at once or arrive in blocks. A thumbnail inside an EXIF segment stays part of its
// picture.
void TestPictureFinder::cutThenBegunAgain_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("pictures");
    QTest::addColumn<QList<bool>>("whole");

    for (const testing::CutCapture &c : testing::cutCaptures())
        QTest::newRow(qPrintable(c.name)) << c.bytes << c.pictures << c.whole;
    const QByteArray thumbnail = testing::makeJpeg({16, 12});
    QByteArray withThumbnail = testing::makeJpeg({96, 64});
    const QByteArray exif = QByteArray("Exif\0\0", 6) + thumbnail;
    withThumbnail.insert(20, QByteArray("\xff\xe1", 2) + char((exif.size() + 2) >> 8) +
                                 char((exif.size() + 2) & 0xff) + exif);
    QTest::newRow("a thumbnail in the EXIF segment")
        << withThumbnail << QByteArrayList{withThumbnail} << QList<bool>{true};
}

void TestPictureFinder::cutThenBegunAgain()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, pictures);
    QFETCH(QList<bool>, whole);

    const FoundPictures found = findPictures(bytes);
    QCOMPARE(found.size(), std::size_t(pictures.size()));
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        const FoundPicture &p = found[std::size_t(i)];
        QCOMPARE(bytes.mid(p.offset, p.length).toHex(), pictures[i].toHex());
        QCOMPARE(p.whole, whole[i]);
        if (!p.whole)
            QVERIFY(!p.problem.isEmpty());
    }
    PictureStream stream;
    std::vector<ArrivedPicture> arrived;
    for (qsizetype at = 0; at < bytes.size(); at += 100)
        for (ArrivedPicture &p : stream.feed(QByteArrayView(bytes).sliced(at).first(
                 std::min<qsizetype>(100, bytes.size() - at))))
            arrived.push_back(std::move(p));
    for (ArrivedPicture &p : stream.cut())
        arrived.push_back(std::move(p));
    QCOMPARE(arrived.size(), std::size_t(pictures.size()));
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        QCOMPARE(arrived[std::size_t(i)].bytes.toHex(), pictures[i].toHex());
        QCOMPARE(arrived[std::size_t(i)].found.whole, whole[i]);
    }
}

QTEST_MAIN(TestPictureFinder)
#include "tst_picture_finder.moc"
