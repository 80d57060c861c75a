// The decoding rule, both decoders, and the progress positions.

#include "hex_decode.h"
#include "recording_sink.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace hexjpg;
using namespace Qt::StringLiterals;
using testing::RecordingSink;

namespace {

// Asks for a random next position, sometimes behind the current one.
class RandomSink : public ProgressSink {
public:
    explicit RandomSink(quint32 seed)
        : m_random(seed)
    {
    }
    qint64 reached(qint64 position) override
    {
        positions.push_back(position);
        return position + m_random.bounded(-3, 200);
    }
    std::vector<qint64> positions;

private:
    QRandomGenerator m_random;
};

QByteArray fast(QStringView text, ProgressSink *sink = nullptr)
{
    return decodeHex(text, sink);
}

// The Latin-1 decoder on the same text, where every character fits in a byte.
QByteArray fastLatin1(const QByteArray &latin1, ProgressSink *sink = nullptr)
{
    QByteArray out(decodedSize(workingLength(QLatin1StringView(latin1))), '\0');
    out.truncate(decodeHex(QLatin1StringView(latin1),
                           {reinterpret_cast<std::uint8_t *>(out.data()), std::size_t(out.size())},
                           sink));
    return out;
}

const char *kernelName(DecoderKernel kernel)
{
    switch (kernel) {
    case DecoderKernel::Scalar:
        return "scalar";
    case DecoderKernel::Ssse3:
        return "SSSE3";
    case DecoderKernel::Avx2:
        return "AVX2";
    }
    return "?";
}

bool fitsLatin1(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

// Collects streamed blocks; refuses the block that would pass refuseAt bytes.
class Collector : public ByteSink {
public:
    explicit Collector(qsizetype refuseAt = -1)
        : m_refuseAt(refuseAt)
    {
    }
    bool write(std::span<const std::uint8_t> block) override
    {
        if (m_refuseAt >= 0 && bytes.size() + qsizetype(block.size()) > m_refuseAt)
            return false;
        bytes.append(reinterpret_cast<const char *>(block.data()), qsizetype(block.size()));
        return true;
    }
    QByteArray bytes;

private:
    qsizetype m_refuseAt;
};

QString randomDump(QRandomGenerator &random, qsizetype length)
{
    // Mostly the window's layout, salted with everything else a pasted text can hold.
    static const char16_t pool[] = u"0123456789ABCDEFabcdef"
                                   u"   \r\n\t\v\f"
                                   u"GgXz-:\0"
                                   u"\u3000\u00a0\u2028\u0085\u200a\ufeff\uff26\u4e2d\xd83d\xde00";
    constexpr int poolSize = int(std::size(pool)) - 1;
    QString text;
    text.reserve(length);
    const int mode = random.bounded(4);
    for (qsizetype i = 0; i < length; ++i) {
        if (mode == 0 && i % 3 == 2) {
            text += u' ';
        } else if (mode == 1) {
            text += QChar(pool[random.bounded(22)]); // digits only
        } else if (mode == 2 && random.bounded(64) == 0) {
            text += QChar(char16_t(random.bounded(0x10000))); // any code unit
        } else {
            text += QChar(pool[random.bounded(mode == 0 ? 22 : poolSize)]);
        }
    }
    return text;
}

} // namespace

class TestHexDecode : public QObject {
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void progress_data();
    void progress();
    void progressNeverOverrunsOutput();
    void streamStopsWhereTheSinkRefuses();
    void fastMatchesReference();
    void cleanup() { useDecoderKernel(availableDecoderKernels().back()); }
};

void TestHexDecode::rule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("window layout") << u"FF D8 FF D9 "_s << QByteArray::fromHex("ffd8ffd9");
    QTest::newRow("no blanks") << u"FFD8FFD9"_s << QByteArray::fromHex("ffd8ffd9");
    QTest::newRow("lower case") << u"ff d8 ff d9"_s << QByteArray::fromHex("ffd8ffd9");
    QTest::newRow("pairs cut after blanks go") << u"F FD 8"_s << QByteArray::fromHex("ffd8");
    QTest::newRow("blank inside a pair") << u"F D8"_s << QByteArray::fromHex("fd08");
    QTest::newRow("odd last digit") << u"FF D8 F"_s << QByteArray::fromHex("ffd80f");
    QTest::newRow("lone digit") << u"a"_s << QByteArray::fromHex("0a");
    QTest::newRow("lone non-digit") << u"?"_s << QByteArray::fromHex("00");
    QTest::newRow("GG") << u"GG"_s << QByteArray::fromHex("00");
    QTest::newRow("7G") << u"7G"_s << QByteArray::fromHex("07");
    QTest::newRow("G7") << u"G7"_s << QByteArray::fromHex("00");
    QTest::newRow("NUL") << QString(u"\0F"_s) << QByteArray::fromHex("00");
    QTest::newRow("full-width F is no digit")
        << u"\uff26\uff26 F\uff26"_s << QByteArray::fromHex("000f");
    QTest::newRow("surrogate pair is two characters")
        << u"\U0001F600FF"_s << QByteArray::fromHex("00ff");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("blanks only") << u"     "_s << QByteArray();

    // White space of every kind separates, like the blank.
    QTest::newRow("CR LF between lines") << u"FF D8\r\nFF D9"_s << QByteArray::fromHex("ffd8ffd9");
    QTest::newRow("LF inside a pair") << u"F\nF"_s << QByteArray::fromHex("ff");
    QTest::newRow("tab, VT, FF") << u"F\tF\vD\f8"_s << QByteArray::fromHex("ffd8");
    QTest::newRow("full-width blank") << u"FF\u3000D8"_s << QByteArray::fromHex("ffd8");
    QTest::newRow("no-break space") << u"FF\u00a0D8\u202f"_s << QByteArray::fromHex("ffd8");
    QTest::newRow("NEL, line and paragraph separators")
        << u"F\u0085F\u2028D\u20298"_s << QByteArray::fromHex("ffd8");
    QTest::newRow("Latin-1 letters are no digits")
        << u"\u00c4F F\u00ff"_s << QByteArray::fromHex("000f");
    QTest::newRow("xxd -p lines") << u"ffd8ffe000104a46\nffd9\n"_s
                                  << QByteArray::fromHex("ffd8ffe000104a46ffd9");
}

void TestHexDecode::rule()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    QCOMPARE(decodeHexReference(text).toHex(' '), bytes.toHex(' '));
    QCOMPARE(fast(text).toHex(' '), bytes.toHex(' '));
    if (fitsLatin1(text))
        QCOMPARE(fastLatin1(text.toLatin1()).toHex(' '), bytes.toHex(' '));

    // Far from the start of a chunk and of a vector block as well.
    const QString padding = u"00 "_s.repeated(1399);
    const QByteArray padded = QByteArray(1399, '\0') + bytes;
    QCOMPARE(fast(padding + text).toHex(' '), padded.toHex(' '));
    QCOMPARE(workingLength(padding + text), workingLengthReference(padding + text));
}

void TestHexDecode::progress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<std::vector<qint64>>("positions");

    QTest::newRow("n = 6, every pair")
        << u"FF D8 FF"_s << qint64(2) << std::vector<qint64>{1, 3, 5};
    QTest::newRow("odd n, every pair") << u"FF D8 F"_s << qint64(2) << std::vector<qint64>{1, 3, 5};
    QTest::newRow("one character") << u"F"_s << qint64(2) << std::vector<qint64>{1};
    QTest::newRow("empty") << u"  "_s << qint64(2) << std::vector<qint64>{};
    QTest::newRow("a request at an even position takes the next pair")
        << u"00"_s.repeated(10) << qint64(5) << std::vector<qint64>{1, 7, 13, 19};
    QTest::newRow("first and last always")
        << u"00"_s.repeated(10) << qint64(1000) << std::vector<qint64>{1, 19};
    QTest::newRow("a request behind moves one pair on")
        << u"00"_s.repeated(3) << qint64(-5) << std::vector<qint64>{1, 3, 5};
}

void TestHexDecode::progress()
{
    QFETCH(QString, text);
    QFETCH(qint64, step);
    QFETCH(std::vector<qint64>, positions);

    RecordingSink reference(step);
    decodeHexReference(text, &reference);
    QCOMPARE(reference.positions, positions);
    for (DecoderKernel kernel : availableDecoderKernels()) {
        useDecoderKernel(kernel);
        RecordingSink fastSink(step);
        fast(text, &fastSink);
        QCOMPARE(fastSink.positions, positions);
    }
}

void TestHexDecode::progressNeverOverrunsOutput()
{
    // A caller that gives too small a buffer gets what fits, never more.
    std::uint8_t out[3] = {};
    QCOMPARE(decodeHex(u"11 22 33 44 55", std::span(out, 2)), 2);
    QCOMPARE(out[1], 0x22);
    QCOMPARE(out[2], 0);
}

void TestHexDecode::streamStopsWhereTheSinkRefuses()
{
    const QString text = u"AB "_s.repeated(200000);
    Collector collector(100000);
    const StreamResult result = decodeHex(text, collector);
    QVERIFY(!result.complete);
    QVERIFY(result.bytes < 200000);
    QCOMPARE(collector.bytes, QByteArray(collector.bytes.size(), '\xab'));
}

void TestHexDecode::fastMatchesReference()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int round = 0; round < 3000; ++round) {
        const qsizetype length =
            round < 200 ? round : random.bounded(round % 50 == 0 ? 40000 : 3000);
        const QString text = randomDump(random, length);
        RandomSink referenceSink(seed + quint32(round)), fastSink(seed + quint32(round));
        const QByteArray expected = decodeHexReference(text, &referenceSink);
        const auto kernels = availableDecoderKernels();
        const DecoderKernel kernel = kernels[std::size_t(round) % kernels.size()];
        useDecoderKernel(kernel);
        const QByteArray actual = fast(text, &fastSink);
        if (actual != expected || fastSink.positions != referenceSink.positions ||
            workingLength(text) != workingLengthReference(text)) {
            qWarning("seed %u, round %d, length %lld, %s", seed, round, qlonglong(length),
                     kernelName(kernel));
            QCOMPARE(actual.toHex(' '), expected.toHex(' '));
            QCOMPARE(fastSink.positions, referenceSink.positions);
            QCOMPARE(workingLength(text), workingLengthReference(text));
        }
        // Streamed block by block, with and without the working length.
        if (round % 4 == 0) {
            Collector collector;
            RandomSink streamSink(seed + quint32(round));
            const StreamResult streamed =
                decodeHex(text, collector, &streamSink, workingLength(text));
            QVERIFY(streamed.complete);
            QCOMPARE(streamed.workingLength, workingLengthReference(text));
            QCOMPARE(collector.bytes, expected);
            QCOMPARE(streamSink.positions, referenceSink.positions);
            Collector plain;
            QCOMPARE(decodeHex(text, plain).bytes, expected.size());
            QCOMPARE(plain.bytes, expected);
        }
        // Fed in random pieces, UTF-16 and Latin-1 by turns, as the console tool reads it.
        if (round % 4 == 1) {
            Collector pieces;
            HexStreamDecoder stream(pieces);
            for (qsizetype at = 0; at < text.size();) {
                const qsizetype size =
                    std::min(text.size() - at, qsizetype(random.bounded(1, 9000)));
                const QStringView piece = QStringView(text).sliced(at, size);
                if (fitsLatin1(piece.toString()) && random.bounded(2))
                    stream.feed(QLatin1StringView(piece.toLatin1()));
                else
                    stream.feed(piece);
                at += size;
            }
            QVERIFY(stream.finish());
            QCOMPARE(stream.workingLength(), workingLengthReference(text));
            QCOMPARE(pieces.bytes.toHex(' '), expected.toHex(' '));
        }
        // The same text squeezed into Latin-1 (other characters become '?').
        const QByteArray latin1 = text.toLatin1();
        if (fastLatin1(latin1) != decodeHexReference(QString::fromLatin1(latin1))) {
            qWarning("Latin-1: seed %u, round %d, length %lld, %s", seed, round, qlonglong(length),
                     kernelName(kernel));
            QCOMPARE(fastLatin1(latin1).toHex(' '),
                     decodeHexReference(QString::fromLatin1(latin1)).toHex(' '));
        }
    }
}

QTEST_APPLESS_MAIN(TestHexDecode)
#include "tst_hex_decode.moc"
