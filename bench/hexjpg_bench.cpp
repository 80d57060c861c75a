// Measures the conversion core side by side with a plain copy of the same text, in one run.
// Prints "name: value" lines; ratios are medians over rounds.
//
//   hexjpg-bench [--rounds N] [--megabytes M]

#include "forgiving_reader.h"
#include "hex_to_jpeg.h"
#include "jpeg_markers.h"
#include "main_window.h"
#include "picture_finder.h"
#include "raw_judge.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Follows the decoding as a progress bar does: about a thousand steps over the whole text.
class BarLikeSink : public hexjpg::ProgressSink {
public:
    void started(qint64 n) override { m_step = std::max<qint64>(2, n / 1000); }
    qint64 reached(qint64 position) override
    {
        m_last = position;
        return position + m_step;
    }
    qint64 last() const { return m_last; }

private:
    qint64 m_step = 2, m_last = 0;
};

QByteArray jpegLikeBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(20261208);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    const char start[] = "\xff\xd8\xff\xe0\x00\x10JFIF";
    std::memcpy(bytes.data(), start, sizeof start - 1);
    bytes[size - 2] = char(0xff);
    bytes[size - 1] = char(0xd9);
    return bytes;
}

double nsecs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed());
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

qint64 statusField(const char *name)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(qstrlen(name)).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

void print(const char *name, double value, int decimals = 2)
{
    std::printf("%s: %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

// Whole processes on the same file: the console tool against `xxd -r -p`.
void compareWithXxd(const QString &dump, const QByteArray &expected, int rounds)
{
    const QString cli =
        QDir(QCoreApplication::applicationDirPath()).filePath(u"../cli/hexjpg-cli"_s);
    const QString xxd = QStandardPaths::findExecutable(u"xxd"_s);
    if (!QFile::exists(cli) || xxd.isEmpty()) {
        std::printf("xxd/cli: skipped (needs xxd and hexjpg-cli)\n");
        return;
    }
    QTemporaryDir dir;
    const QString input = dir.filePath(u"dump.txt"_s);
    QFile file(input);
    file.open(QIODevice::WriteOnly);
    file.write(dump.toUtf8());
    file.close();

    auto run = [](const QString &program, const QStringList &args, const QString &out) {
        QProcess process;
        if (!out.isEmpty())
            process.setStandardOutputFile(out);
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, args);
        process.waitForFinished(-1);
    };
    std::vector<double> cliTimes, xxdTimes, ratios;
    for (int round = 0; round < rounds; ++round) {
        const double c = nsecs([&] { run(cli, {u"--dir"_s, dir.path(), input}, {}); });
        const double x = nsecs([&] {
            run(xxd, {u"-r"_s, u"-p"_s, input}, dir.filePath(u"xxd.out"_s));
        });
        cliTimes.push_back(c);
        xxdTimes.push_back(x);
        ratios.push_back(x / c);
    }
    QFile a(dir.filePath(u"1.jpg"_s)), b(dir.filePath(u"xxd.out"_s));
    a.open(QIODevice::ReadOnly);
    b.open(QIODevice::ReadOnly);
    const QByteArray fromCli = a.readAll();
    std::printf("cli-output-matches-xxd: %s\n",
                fromCli == b.readAll() && fromCli == expected ? "yes" : "NO");
    print("cli-ms", median(cliTimes) / 1e6, 1);
    print("xxd-ms", median(xxdTimes) / 1e6, 1);
    print("xxd/cli", median(ratios));
}

// A photo-like JPEG of about size bytes: smooth shapes under fine noise.
QByteArray photoLikeJpeg(qsizetype size)
{
    QRandomGenerator random(7);
    for (int width = 800;; width += 100) {
        QImage image(width, width * 3 / 4, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.fillRect(image.rect(), QColor(90, 120, 160));
        for (int i = 0; i < 60; ++i) {
            painter.setBrush(QColor::fromHsv(random.bounded(360), 150, 200));
            painter.drawEllipse(QPoint(random.bounded(width), random.bounded(width * 3 / 4)),
                                random.bounded(20, width / 4), random.bounded(20, width / 4));
        }
        painter.end();
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int n = random.bounded(-24, 24);
                const QRgb p = line[x];
                line[x] = qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                               std::clamp(qBlue(p) + n, 0, 255));
            }
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        image.save(&buffer, "jpeg", 90);
        if (bytes.size() >= size)
            return bytes;
    }
}

// The whole click on 转换 in the window against the core alone, on the dump of a photo.
void compareClickWithCore(int rounds)
{
    const QByteArray jpeg = photoLikeJpeg(1 << 20);
    const QString dump = QString::fromLatin1(jpeg.toHex(' ').toUpper() + ' ');
    print("photo-bytes", double(jpeg.size()), 0);

    QTemporaryDir windowFolder, coreFolder;
    Form1 window(windowFolder.path());
    window.show();
    QApplication::processEvents();
    const double fill = nsecs([&] {
        window.Text1->setPlainText(dump);
        QApplication::processEvents();
    });
    print("fill-text1-ms", fill / 1e6);

    // What the click does besides the core: read the panel, and decode the picture.
    std::vector<double> readNs, loadNs;
    const hexjpg::PictureLoader loader(hexjpg::kPictureAreaSize);
    const QString written = hexjpg::outputPath(windowFolder.path());
    hexjpg::convertHexDump(dump, windowFolder.path());
    for (int round = 0; round < rounds; ++round) {
        readNs.push_back(nsecs([&] { window.Text1->toPlainText(); }));
        loadNs.push_back(nsecs([&] { loader.load(written); }));
    }
    print("read-text1-ms", median(readNs) / 1e6);
    print("load-picture-ms", median(loadNs) / 1e6);

    std::vector<double> clickNs, coreNs, ratios, withLoad;
    bool shown = true;
    const QString coreWritten = hexjpg::outputPath(coreFolder.path());
    for (int round = 0; round < rounds; ++round) {
        window.Image1->clear();
        const double click = nsecs([&] {
            window.Command1->click();
            window.Image1->repaint();
        });
        shown = shown && !window.Image1->pixmap().isNull();
        const double core = nsecs([&] { hexjpg::convertHexDump(dump, coreFolder.path()); });
        const double load = nsecs([&] { loader.load(coreWritten); });
        clickNs.push_back(click);
        coreNs.push_back(core);
        ratios.push_back(click / core);
        withLoad.push_back(click / (core + load));
    }
    std::printf("click-shows-picture: %s\n", shown ? "yes" : "NO");
    print("click-ms", median(clickNs) / 1e6);
    print("core-ms", median(coreNs) / 1e6);
    print("click/core", median(ratios));
    print("click/(core+load)", median(withLoad));

    // The same click without the check: no walk over the picture's structure, no diagnosis,
    // no tooltip; the picture decoded and shown all the same.
    hexjpg::DecodeLimits unchecked;
    unchecked.walkFirst = false;
    const hexjpg::PictureLoader plainLoader(hexjpg::kPictureAreaSize, unchecked);
    std::vector<double> checkRatios;
    for (int round = 0; round < rounds; ++round) {
        window.Image1->clear();
        const double withCheck = nsecs([&] {
            window.Command1->click();
            window.Image1->repaint();
        });
        window.Image1->clear();
        const double plain = nsecs([&] {
            const hexjpg::ConversionResult result =
                hexjpg::convertHexDump(window.Text1->text(), windowFolder.path());
            const hexjpg::LoadedPicture picture = plainLoader.load(*result.written);
            window.Image1->setPixmap(QPixmap::fromImage(picture.image));
            window.Image1->repaint();
        });
        checkRatios.push_back(withCheck / plain);
    }
    print("click-with-check/click", median(checkRatios));
    print("(read+core+load)/core",
          (median(readNs) + median(coreNs) + median(loadNs)) / median(coreNs));
}

// The text panel on the one-line dump of a photo: a paste by Ctrl+V against a plain copy of the
// text, keys in it, its memory; and the stock QPlainTextEdit typing into a tenth of that text.
void measurePanel(const QString &dump, int rounds)
{
    TextPanel panel;
    panel.setFont(QFont(u"AR PL UMing CN"_s, 9));
    panel.resize(313, 369);
    panel.show();
    QApplication::processEvents();
    QClipboard *clipboard = QApplication::clipboard();

    std::vector<double> pasteRatios, keystrokeNs, ctrlEndNs, pageDownNs;
    for (int round = 0; round < rounds; ++round) {
        panel.clear();
        clipboard->setText(dump);
        const double paste = nsecs([&] {
            QTest::keyClick(&panel, Qt::Key_V, Qt::ControlModifier);
            panel.viewport()->repaint();
        });
        const double copy = nsecs([&] {
            QString copied(dump.constData(), dump.size());
            Q_UNUSED(copied);
        });
        pasteRatios.push_back(paste / copy);

        panel.setCursorPosition(panel.content().size() / 2 + round);
        keystrokeNs.push_back(nsecs([&] {
            QTest::keyClick(&panel, Qt::Key_A);
            panel.viewport()->repaint();
        }));
        panel.setCursorPosition(0);
        ctrlEndNs.push_back(nsecs([&] {
            QTest::keyClick(&panel, Qt::Key_End, Qt::ControlModifier);
            panel.viewport()->repaint();
        }));
        panel.setCursorPosition(panel.content().size() / 3);
        pageDownNs.push_back(nsecs([&] {
            QTest::keyClick(&panel, Qt::Key_PageDown);
            panel.viewport()->repaint();
        }));
    }
    const bool same = panel.content().size() == dump.size() + 1;
    std::printf("panel-text-correct: %s\n", same ? "yes" : "NO");
    print("paste/copy", median(pasteRatios));
    print("keystroke-ms", median(keystrokeNs) / 1e6, 3);
    print("ctrl-end-ms", median(ctrlEndNs) / 1e6, 3);
    print("page-down-ms", median(pageDownNs) / 1e6, 3);
    print("panel-bytes/char",
          double(panel.content().memoryUsage()) / double(panel.content().size()));

    // The stock widget, on the dump of a picture a tenth the size.
    QPlainTextEdit stock;
    stock.setFont(panel.font());
    stock.resize(313, 369);
    stock.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    stock.show();
    stock.setPlainText(dump.left(dump.size() / 10));
    QApplication::processEvents();
    QTextCursor cursor = stock.textCursor();
    cursor.setPosition(int(dump.size() / 20));
    stock.setTextCursor(cursor);
    std::vector<double> stockNs;
    for (int round = 0; round < 3; ++round)
        stockNs.push_back(nsecs([&] {
            QTest::keyClick(&stock, Qt::Key_A);
            stock.viewport()->repaint();
        }));
    print("stock-keystroke-ms", median(stockNs) / 1e6);
    print("stock-keystroke/keystroke", median(stockNs) / median(keystrokeNs), 0);
}

} // namespace

// Hostile texts, each at N and at 4N bytes, through the forgiving reading and the finder: the
// times grow with the text, no faster (time(4N)/time(N) near 4), and the finder looks at each
// byte a few times. The worst family's ratio is the figure.
void measureHostileGrowth(int rounds)
{
    struct Family {
        const char *name;
        QByteArray unit;
    };
    const Family families[] = {
        {"chained-app0", QByteArray::fromHex("ffd8ffe000060000")},
        {"frame-headers", QByteArray::fromHex("ffd8ffc0000b080001000101011100")},
        {"tiny-pictures", QByteArray::fromHex("ffd8ffc0000b080001000101011100ffd9")},
        {"starts-in-segments", QByteArray::fromHex("ffd8ffe0000affd8ffe00004ffd8")},
        {"stuffed-scans", QByteArray::fromHex("ffd8ffda0002ff00")},
        {"dense-frames", QByteArray::fromHex("d8ffc0d8ff0689004750d850c0d9d8ff00ff0600ff")},
        {"png-chunks", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\1\0\0\0\1\x08\x02\0\0"
                                  "\0\0\0\0\0\0\0\0\x21"
                                  "abcd",
                                  41)},
    };
    constexpr qsizetype kN = qsizetype(1) << 20; // bytes, three characters each in the text
    double worst = 0;
    const char *worstName = "";
    for (const Family &family : families) {
        std::vector<double> ratios;
        double examined = 0;
        for (int round = 0; round < std::max(3, rounds / 3); ++round) {
            double times[2];
            for (int k = 0; k < 2; ++k) {
                QByteArray bytes;
                while (bytes.size() < kN << (2 * k))
                    bytes += family.unit;
                const QString text = QString::fromLatin1(bytes.toHex(' '));
                // The second of two runs: the first pays for memory the allocator had not yet.
                for (int warm = 0; warm < 2; ++warm) {
                    hexjpg::bytesExamined() = 0;
                    times[k] = nsecs([&] {
                        const hexjpg::ForgivingRead read = hexjpg::readForgiving(QStringView(text));
                        hexjpg::findPictures(read.bytes);
                    });
                }
                examined = std::max(examined, double(hexjpg::bytesExamined()) / bytes.size());
            }
            ratios.push_back(times[1] / times[0]);
        }
        std::printf("hostile[%s]: time(4N)/time(N) %.2f, examined/byte %.2f\n", family.name,
                    median(ratios), examined);
        if (median(ratios) > worst)
            worst = median(ratios), worstName = family.name;
    }
    std::printf("hostile-worst-family: %s\n", worstName);
    print("hostile-time(4N)/time(N)", worst);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, int fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int rounds = option(u"--rounds"_s, 9);
    const qsizetype size = qsizetype(option(u"--megabytes"_s, 10)) << 20;

    const QByteArray bytes = jpegLikeBytes(size);
    const QString dump = QString::fromLatin1(bytes.toHex(' ').toUpper() + ' ');
    print("text-chars", double(dump.size()), 0);

    const qint64 n = hexjpg::workingLength(dump);
    QTemporaryDir folder;

    // Peak memory of one conversion beyond what the process held before it (Linux only),
    // measured first, while the allocator has no freed blocks of that size at hand.
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    if (clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1) {
        clearRefs.close();
        const qint64 before = statusField("VmRSS:");
        hexjpg::convertHexDump(dump, folder.path());
        const qint64 extra = statusField("VmHWM:") - before;
        print("convert-extra-memory-mib", double(extra) / (1 << 20));
        print("extra-memory/output-bytes", double(extra) / double(hexjpg::decodedSize(n)));
    }

    std::vector<char16_t> copy(std::size_t(dump.size()));
    std::vector<std::uint8_t> out(std::size_t(hexjpg::decodedSize(n)));

    std::vector<double> copyNs, decodeNs, progressNs, referenceNs, convertNs;
    std::vector<double> decodeCopy, progressCost, convertDecode, referenceDecode;
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        const double c =
            nsecs([&] { std::memcpy(copy.data(), dump.utf16(), copy.size() * sizeof(char16_t)); });
        const double plain = nsecs([&] {
            hexjpg::workingLength(dump);
            hexjpg::decodeHex(dump, out);
        });
        BarLikeSink sink;
        const double withProgress = nsecs([&] {
            sink.started(hexjpg::workingLength(dump)); // as the conversion does
            hexjpg::decodeHex(dump, out, &sink);
        });
        const double convert = nsecs([&] { hexjpg::convertHexDump(dump, folder.path(), &sink); });
        const double reference =
            round < 3 ? nsecs([&] { same = same && hexjpg::decodeHexReference(dump) == bytes; })
                      : 0;
        same = same && std::memcmp(out.data(), bytes.constData(), out.size()) == 0 &&
               sink.last() == n - 1 + n % 2;
        copyNs.push_back(c);
        decodeNs.push_back(plain);
        progressNs.push_back(withProgress);
        convertNs.push_back(convert);
        decodeCopy.push_back(withProgress / c);
        progressCost.push_back((withProgress - plain) / plain);
        convertDecode.push_back(convert / withProgress);
        if (reference > 0) {
            referenceNs.push_back(reference);
            referenceDecode.push_back(reference / withProgress);
        }
    }
    std::printf("decoded-bytes-correct: %s\n", same ? "yes" : "NO");
    print("copy-ms", median(copyNs) / 1e6);
    print("decode-ms", median(decodeNs) / 1e6);
    print("decode-with-progress-ms", median(progressNs) / 1e6);
    print("convert-with-file-ms", median(convertNs) / 1e6);
    print("reference-decode-ms", median(referenceNs) / 1e6);
    print("decode/copy", median(decodeCopy));
    print("progress-cost/decode", median(progressCost), 3);
    print("convert/decode", median(convertDecode));
    print("reference/decode", median(referenceDecode));

    // The forgiving reading of the same text, against the strict decoding.
    std::vector<double> forgivingRatios;
    bool forgivingSame = true;
    for (int round = 0; round < std::max(3, rounds / 2); ++round) {
        QByteArray strict, forgiving;
        const double s = nsecs([&] { strict = hexjpg::decodeHex(QStringView(dump)); });
        const double f = nsecs([&] { forgiving = hexjpg::readForgiving(QStringView(dump)).bytes; });
        forgivingSame = forgivingSame && strict == forgiving;
        forgivingRatios.push_back(f / s);
    }
    std::printf("forgiving-bytes-same: %s\n", forgivingSame ? "yes" : "NO");
    print("forgiving/strict", median(forgivingRatios));

    // Judging a 640×480 RGB565 frame from its pixels, against reading it once as a picture.
    {
        QImage picture(640, 480, QImage::Format_RGB888);
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), QLinearGradient(0, 0, 640, 480));
        painter.setBrush(QColor(200, 120, 40));
        painter.drawEllipse(QRect(160, 120, 320, 240));
        painter.end();
        QByteArray frame;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const QColor c = picture.pixelColor(x, y);
                const int p = (c.red() >> 3) << 11 | (c.green() >> 2) << 5 | c.blue() >> 3;
                frame += char(p & 255), frame += char(p >> 8);
            }
        std::vector<double> judgeNs, judgeRead;
        bool right = true;
        for (int round = 0; round < rounds; ++round) {
            hexjpg::RawJudgement judged;
            const double j = nsecs([&] { judged = hexjpg::judgeRawFrame(frame); });
            const double r = nsecs([&] {
                hexjpg::rawFrameImage(frame, hexjpg::RawFormat::Rgb565, {640, 480});
            });
            right = right && judged.offered() && judged.best().format == hexjpg::RawFormat::Rgb565;
            judgeNs.push_back(j);
            judgeRead.push_back(j / r);
        }
        std::printf("raw-judged-right: %s\n", right ? "yes" : "NO");
        print("raw-judge-640x480-ms", median(judgeNs) / 1e6);
        print("raw-judge/read-once", median(judgeRead));
    }

    // Each vector kernel on its own, against the same copy.
    for (hexjpg::DecoderKernel kernel : hexjpg::availableDecoderKernels()) {
        hexjpg::useDecoderKernel(kernel);
        std::vector<double> ratios;
        for (int round = 0; round < std::max(3, rounds / 3); ++round) {
            const double c = nsecs(
                [&] { std::memcpy(copy.data(), dump.utf16(), copy.size() * sizeof(char16_t)); });
            ratios.push_back(nsecs([&] {
                                 hexjpg::workingLength(dump);
                                 hexjpg::decodeHex(dump, out);
                             }) /
                             c);
        }
        const char *names[] = {"decode/copy[scalar]", "decode/copy[ssse3]", "decode/copy[avx2]"};
        print(names[int(kernel)], median(ratios));
    }
    hexjpg::useDecoderKernel(hexjpg::availableDecoderKernels().back());

    measureHostileGrowth(rounds);
    compareWithXxd(dump, bytes, std::max(3, rounds / 2));
    measurePanel(dump, rounds);
    compareClickWithCore(rounds);
    return same ? 0 : 1;
}
