// The window converting: the click on 转换 with its progress bar and messages, the forgiving
// reading and the check beside the window, and failed writes.

#include "cut_captures.h"
#include "diagnosis.h"
#include "main_window.h"
#include "raw_chooser.h"
#include "raw_frames.h"
#include "startup.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QAction>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using testing::readAll;

namespace {

} // namespace

class TestWindowConversion : public QObject {
    Q_OBJECT

private slots:
    void init() { m_fixture.setUp(); }
    void cleanup() { m_fixture.tearDown(); }

    void checkRunsAsideAndCanBeCancelled();
    void conversion_data();
    void conversion();
    void progressTrace();
    void refusedSettingsAreSkipped_data();
    void refusedSettingsAreSkipped();
    void forgivingReading_data();
    void forgivingReading();
    void rawFrameOffered_data();
    void rawFrameOffered();
    void anotherRawReadingChosen();
    void secondConversionShowsThePictureAgain();
    void failedWriteShowsNoEarlierPicture();
    void failedWriteKeepsThePictureArea_data();
    void failedWriteKeepsThePictureArea();

private:
    testing::WindowFixture m_fixture;
};

// What follows the described conversion runs aside: while pictures of 65500 x 65500 pixels are
// looked for and checked (seconds of decoding), the window's event loop goes on, a progress box
// offers 取消, and 取消 ends the check: nothing is shown or said, and 1.jpg stays as written.
void TestWindowConversion::checkRunsAsideAndCanBeCancelled()
{
    // A stray byte first: 1.jpg is no picture, and the text is read again for the pictures.
    const QByteArray bomb =
        "\x00" + testing::withClaimedSize(testing::makeJpeg({64, 64}), 65500, 65500).repeated(5);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(50);
    QString offered;
    QTimer::singleShot(800, this, [&] {
        if (auto *box = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget())) {
            offered = box->labelText();
            if (auto *button = box->findChild<QPushButton *>())
                button->click();
        }
    });
    m_fixture.convert(testing::dumpOf(bomb));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QCOMPARE(offered, u"正在检查图片……"_s);
    QVERIFY2(m_fixture.answerer->shown.isEmpty(),
             qPrintable(m_fixture.answerer->shown.value(0).text));
    QVERIFY(m_fixture.window->Image1->pixmap().isNull());
    QCOMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), bomb);
}

void TestWindowConversion::conversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("file"); // null: no 1.jpg afterwards
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<bool>("picture");

    const QByteArray jpeg = testing::makeJpeg({200, 150});
    const QString dump = testing::dumpOf(jpeg);
    QString lines; // 16 pairs to a line, as a serial monitor prints them
    for (qsizetype i = 0; i < dump.size(); i += 48)
        lines += dump.mid(i, 48) + u"\r\n"_s;

    QTest::newRow("empty panel") << QString() << QByteArray() << u"请将数据粘贴文本框中"_s << false;
    QTest::newRow("a picture") << dump << jpeg << QString() << true;
    QTest::newRow("a picture in lines") << lines << jpeg << QString() << true;
    QTest::newRow("a progressive picture, lower case")
        << testing::dumpOf(testing::makeJpeg({90, 60}, true)).toLower()
        << testing::makeJpeg({90, 60}, true) << QString() << true;
    QTest::newRow("not a picture") << u"FF D8 12 34 FF D9"_s << QByteArray::fromHex("ffd81234ffd9")
                                   << u"照片不正确！"_s << false;
    QTest::newRow("blanks only") << u"   "_s << QByteArray() << u"请将数据粘贴文本框中"_s << false;
    const QByteArray bomb =
        testing::withClaimedSize(testing::makeJpeg({64, 64}, true), 45000, 45000);
    QTest::newRow("a progressive picture claiming 45000 x 45000")
        << testing::dumpOf(bomb) << bomb << u"照片不正确！"_s << false;
}

void TestWindowConversion::conversion()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(bool, picture);

    m_fixture.convert(text);

    const QString path = m_fixture.folder->filePath(u"1.jpg"_s);
    QCOMPARE(QFile::exists(path), !file.isNull());
    QCOMPARE(readAll(path), file);
    if (message.isEmpty()) {
        QVERIFY(m_fixture.answerer->shown.isEmpty());
    } else {
        QCOMPARE(m_fixture.answerer->shown.size(), 1);
        const testing::ShownMessage &shown = m_fixture.answerer->shown.first();
        QCOMPARE(shown.title, u"警告"_s);
        QCOMPARE(shown.text, message);
        QCOMPARE(shown.icon, QMessageBox::NoIcon);
        QCOMPARE(shown.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }

    // An empty panel changes nothing; any other click shows Image1 and sets up the bar.
    QCOMPARE(m_fixture.window->Image1->isVisible(), !text.trimmed().isEmpty());
    QCOMPARE(m_fixture.window->Image1->pixmap().isNull(), !picture);
    QCOMPARE(m_fixture.window->ProgressBar1.Max(),
             text.isEmpty() || file.isEmpty() ? 100.0f : 2.0f * file.size());
    QCOMPARE(m_fixture.window->ProgressBar1.Value(),
             file.isEmpty() ? 0.0f : 2.0f * file.size() - 1);
    QVERIFY(m_fixture.window->ProgressBar1.Visible());
    if (picture) {
        // The picture fills the picture area: no brown beside it.
        const QImage shot = m_fixture.window->grab(QRect(320, 8, 425, 345)).toImage();
        for (QPoint corner : {QPoint(1, 1), QPoint(423, 343), QPoint(212, 172)})
            QVERIFY(shot.pixelColor(corner) != QColor(0x80, 0x40, 0x00));
    }
}

void TestWindowConversion::progressTrace()
{
    QSignalSpy values(&m_fixture.window->ProgressBar1, &ProgressBar::valueSet);
    m_fixture.convert(u"FF D8 FF"_s); // n = 6
    QCOMPARE(m_fixture.window->ProgressBar1.Max(), 6.0f);
    QCOMPARE(m_fixture.window->ProgressBar1.Min(), 0.0f);
    QCOMPARE(m_fixture.window->ProgressBar1.Value(), 5.0f);
    QList<float> trace;
    for (const QList<QVariant> &call : values)
        trace << call.first().toFloat();
    QCOMPARE(trace, (QList<float>{0, 1, 3, 5}));
    // What the bar shows catches up with its value by the time the event loop runs.
    QTRY_COMPARE(m_fixture.window->ProgressBar1.widget()->value(), 5);
    QCOMPARE(m_fixture.window->ProgressBar1.widget()->maximum(), 6);

    // A long dump: the bar hears of a pair only where its drawing changes, and ends exact.
    values.clear();
    m_fixture.convert(u"00 "_s.repeated(500000));
    QCOMPARE(m_fixture.window->ProgressBar1.Max(), 1000000.0f);
    QCOMPARE(m_fixture.window->ProgressBar1.Value(), 999999.0f);
    QVERIFY2(values.size() <= m_fixture.window->ProgressBar1.widget()->width() + 3,
             qPrintable(QString::number(values.size())));
    QTRY_COMPARE(m_fixture.window->ProgressBar1.widget()->value(), 999999);
}

void TestWindowConversion::refusedSettingsAreSkipped_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("value in range") << u"Value"_s << 50.0f << true;
    QTest::newRow("value at the top") << u"Value"_s << 100.0f << true;
    QTest::newRow("value below the range") << u"Value"_s << -1.0f << false;
    QTest::newRow("value above the range") << u"Value"_s << 101.0f << false;
    QTest::newRow("maximum equal to the minimum") << u"Max"_s << 0.0f << false;
    QTest::newRow("maximum below the minimum") << u"Max"_s << -5.0f << false;
    QTest::newRow("smaller maximum") << u"Max"_s << 10.0f << true;
    QTest::newRow("minimum equal to the maximum") << u"Min"_s << 100.0f << false;
    QTest::newRow("negative minimum") << u"Min"_s << -10.0f << true;
}

void TestWindowConversion::refusedSettingsAreSkipped()
{
    QFETCH(QString, setting);
    QFETCH(float, value);
    QFETCH(bool, accepted);

    ProgressBar &bar = m_fixture.window->ProgressBar1;
    bar.setValue(20);
    const bool result = setting == u"Value" ? bar.setValue(value)
                        : setting == u"Max" ? bar.setMax(value)
                                            : bar.setMin(value);
    QCOMPARE(result, accepted);
    const float expected = accepted            ? value
                           : setting == u"Min" ? 0.0f
                           : setting == u"Max" ? 100.0f
                                               : 20.0f;
    QCOMPARE(setting == u"Value" ? bar.Value()
             : setting == u"Max" ? bar.Max()
                                 : bar.Min(),
             expected);
    QVERIFY(bar.Value() >= bar.Min() && bar.Value() <= bar.Max());
    // Never a busy indicator, whatever was set.
    QVERIFY(bar.widget()->maximum() > bar.widget()->minimum());
}

// Where the dump as written gives no picture, the window reads it forgivingly and offers what it
// finds; a picture that decodes only in part is shown and then said to be so.
void TestWindowConversion::forgivingReading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("take");
    QTest::addColumn<QString>("message"); // how the box begins
    QTest::addColumn<QByteArray>("file"); // null: the bytes as written
    QTest::addColumn<QString>("tooltip"); // empty: no picture shown

    const QByteArray jpeg = testing::makeJpeg({200, 150});
    const QString found =
        u"照片不正确！\n按每个字节一个记号读取（单个数字也算一个字节），"
        u"可以得到一张 200×150 的 JPEG 图片，%1 字节"_s.arg(hexjpg::number(jpeg.size()));
    const QString shown =
        u"JPEG 图片，200×150 像素，%1 字节，完整"_s.arg(hexjpg::number(jpeg.size()));
    QTest::newRow("unpadded, taken")
        << testing::unpaddedDump(jpeg) << true << found << jpeg << shown;
    QTest::newRow("unpadded, declined")
        << testing::unpaddedDump(jpeg) << false << found << QByteArray() << QString();
    QTest::newRow("a log of three captures")
        << testing::serialLog({testing::makeJpeg({60, 40}), testing::makeJpeg({30, 20}), jpeg})
        << true << u"照片不正确！\n按每个字节一个记号读取"_s << jpeg << shown;
    QTest::newRow("no picture at all")
        << u"Hello, camera"_s << true << u"照片不正确！"_s << QByteArray() << QString();
    const QByteArray cut = jpeg.left(jpeg.size() * 3 / 5);
    QTest::newRow("cut short") << testing::dumpOf(cut) << true << u"图片不完整：150 行中只解码了"_s
                               << cut << u"，不完整"_s;
    // A capture that broke off, then began again: the whole one is shown and written at once.
    for (const testing::CutCapture &c : testing::cutCaptures())
        if (c.pictures.size() == 2)
            QTest::newRow(qPrintable(c.name))
                << testing::dumpOf(c.bytes) << false
                << u"第 1 张图片不完整，显示的是它后面完整的第 2 张图片"_s << c.pictures[1]
                << u"，完整"_s;
}

void TestWindowConversion::forgivingReading()
{
    QFETCH(QString, text);
    QFETCH(bool, take);
    QFETCH(QString, message);
    QFETCH(QByteArray, file);
    QFETCH(QString, tooltip);

    m_fixture.answerer->takeOffers = take;
    m_fixture.convert(text);
    QCOMPARE(m_fixture.answerer->shown.size(), 1);
    const testing::ShownMessage &box = m_fixture.answerer->shown.first();
    QCOMPARE(box.title, u"警告"_s);
    QVERIFY2(box.text.startsWith(message), qPrintable(box.text));
    QVERIFY(!box.details.isEmpty());
    if (box.text.contains(u"可以得到"_s))
        QCOMPARE(box.buttonTexts, (QStringList{u"使用这张图片"_s, u"取消"_s}));
    if (!file.isNull())
        QCOMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), file);
    QCOMPARE(m_fixture.window->Image1->pixmap().isNull(), tooltip.isEmpty());
    QVERIFY2(m_fixture.window->Image1->toolTip().contains(tooltip),
             qPrintable(m_fixture.window->Image1->toolTip()));
}

// A dump of a raw camera frame holds no picture: 照片不正确！ comes with what it may be, and taken,
// 1.jpg is that frame as a JPEG; random bytes of a frame's length bring the warning alone.
void TestWindowConversion::rawFrameOffered_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("said"); // empty: no offer
    const QSize size(160, 120);
    QTest::newRow("RGB565 after *RDY*")
        << "*RDY*" + testing::rawFrameOf(testing::photoLike(size, 11), hexjpg::RawFormat::Rgb565)
        << u"160×120 的 RGB565 原始图像"_s;
    QByteArray noise(160 * 120 * 2, Qt::Uninitialized);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes") << noise << QString();
}

void TestWindowConversion::rawFrameOffered()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, said);
    m_fixture.convert(testing::dumpOf(bytes));
    QTRY_VERIFY(!m_fixture.answerer->shown.isEmpty());
    const testing::ShownMessage &shown = m_fixture.answerer->shown.front();
    QVERIFY(shown.text.startsWith(u"照片不正确！"_s));
    QCOMPARE(shown.text.contains(u"原始图像"_s), !said.isEmpty());
    QVERIFY(shown.text.contains(said));
    // Decoded as the programs do (the Windows build has no JPEG reader of Qt's).
    const hexjpg::LoadedPicture written =
        hexjpg::PictureLoader().load(m_fixture.folder->filePath(u"1.jpg"_s));
    QCOMPARE(written.error != 0, said.isEmpty());
    if (!said.isEmpty())
        QVERIFY(m_fixture.window->Image1->isVisible() &&
                !m_fixture.window->Image1->pixmap().isNull());
}

// 其他读法… shows the readings side by side, each as it would look; the one chosen becomes 1.jpg.
void TestWindowConversion::anotherRawReadingChosen()
{
    const QByteArray bytes =
        testing::rawFrameOf(testing::photoLike({160, 120}, 3), hexjpg::RawFormat::Rgb565);
    const hexjpg::RawJudgement judged = hexjpg::judgeRawFrame(bytes);
    QVERIFY(judged.candidates.size() > 2);
    m_fixture.answerer->press = u"其他读法(&O)…"_s;
    int shown = 0;
    QTimer chooser;
    connect(&chooser, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<RawChooser *>(QApplication::activeModalWidget())) {
            shown = dialog->readings->count();
            QCOMPARE(dialog->chosen(), 0);
            QVERIFY(!dialog->readings->item(1)->icon().isNull());
            dialog->readings->setCurrentRow(1);
            dialog->accept();
        }
    });
    chooser.start(10);
    m_fixture.convert(testing::dumpOf(bytes));
    QTRY_VERIFY(shown > 0);
    QCOMPARE(std::size_t(shown), std::min<std::size_t>(judged.candidates.size(), 6));
    // Nearer the second reading than the best (a rougher reading keeps less of itself in a JPEG).
    const auto reading = [&](const hexjpg::RawCandidate &c) {
        return hexjpg::rawFrameImage(
            bytes.sliced(c.offset, hexjpg::rawFrameBytes(c.format, c.size)), c.format, c.size);
    };
    const auto written = [&] {
        return hexjpg::PictureLoader().load(m_fixture.folder->filePath(u"1.jpg"_s)).image;
    };
    QTRY_VERIFY(testing::psnr(reading(judged.candidates[1]), written()) >= 30);
    QVERIFY(testing::psnr(reading(judged.candidates[0]), written()) < 30);
    QVERIFY(!m_fixture.window->Image1->pixmap().isNull());
}

void TestWindowConversion::secondConversionShowsThePictureAgain()
{
    const QByteArray jpeg = testing::makeJpeg({120, 80});
    m_fixture.convert(testing::dumpOf(jpeg));
    const QImage first = m_fixture.window->Image1->pixmap().toImage();
    QVERIFY(!first.isNull());
    m_fixture.window->Image1->clear();
    QTest::mouseClick(m_fixture.window->Command1, Qt::LeftButton);
    QCOMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), jpeg);
    QCOMPARE(m_fixture.window->Image1->pixmap().toImage(), first);
    QVERIFY(m_fixture.answerer->shown.isEmpty());
}

void TestWindowConversion::failedWriteShowsNoEarlierPicture()
{
    // An earlier picture on disk, a new dump too large to be written.
    const QString path = m_fixture.folder->filePath(u"1.jpg"_s);
    const QByteArray earlier = testing::makeJpeg({64, 64});
    QVERIFY(testing::writeFile(path, earlier));
#ifdef Q_OS_LINUX
    {
        testing::FileSizeLimit limit(64 * 1024);
        m_fixture.convert(u"AB "_s.repeated(100000));
    }
#else
    QSKIP("needs RLIMIT_FSIZE");
#endif
    QCOMPARE(m_fixture.answerer->shown.size(), 1);
    const QString text = m_fixture.answerer->shown.first().text;
    QVERIFY2(text.startsWith(u"无法写入文件："_s + QDir::toNativeSeparators(path) + u'\n'),
             qPrintable(text));
    QVERIFY(text.section(u'\n', 1).size() > 0); // the system's reason
    QCOMPARE(readAll(path), earlier);
    QVERIFY(m_fixture.window->Image1->pixmap().isNull());
}

// A write that fails leaves the picture area as it was before the click: a cleared panel stays
// brown, a picture that was showing stays.
void TestWindowConversion::failedWriteKeepsThePictureArea_data()
{
    QTest::addColumn<bool>("cleared");
    QTest::newRow("after 清除") << true;
    QTest::newRow("with the picture showing") << false;
}

void TestWindowConversion::failedWriteKeepsThePictureArea()
{
    QFETCH(bool, cleared);
    m_fixture.convert(testing::dumpOf(testing::makeJpeg({64, 48})));
    QVERIFY(m_fixture.window->Image1->isVisible());
    if (cleared)
        QTest::mouseClick(m_fixture.window->Command2, Qt::LeftButton);
    QVERIFY(m_fixture.folder->remove());
    m_fixture.convert(testing::dumpOf(testing::makeJpeg({32, 32})));
    QCOMPARE(m_fixture.answerer->shown.size(), 1);
    QVERIFY(m_fixture.answerer->shown.first().text.startsWith(u"无法写入文件："_s));
    QCOMPARE(m_fixture.window->Image1->isVisible(), !cleared);
}

QTEST_MAIN(TestWindowConversion)
#include "tst_window_conversion.moc"
