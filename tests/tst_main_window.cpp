// The window: its settings at start, the text panel, and the conversion click.

#include "diagnosis.h"
#include "main_window.h"
#include "startup.h"
#include "message_boxes.h"
#include "test_support.h"

#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

using namespace Qt::StringLiterals;
using testing::readAll;

namespace {

// The panel's visual lines, and the text of each.
QStringList layoutLines(const TextPanel *panel)
{
    const panel::Document &content = panel->content();
    QStringList lines;
    for (qint64 i = 0; i < content.lineCount(); ++i)
        lines << panel->text()
                     .sliced(content.lineStart(i), content.lineEnd(i) - content.lineStart(i))
                     .toString();
    return lines;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void checkRunsAsideAndCanBeCancelled();
    void languages_data();
    void languages();
    // Before any test presses 退出, whose QCoreApplication::exit() ends every modal box after it.
    void receiving_data();
    void receiving();

    void controls_data();
    void controls();
    void windowSettings();
    void startState();
    void wrapping_data();
    void wrapping();
    void keyboard();

    void conversion_data();
    void conversion();
    void progressTrace();
    void refusedSettingsAreSkipped_data();
    void refusedSettingsAreSkipped();
    void forgivingReading_data();
    void forgivingReading();
    void secondConversionShowsThePictureAgain();
    void failedWriteShowsNoEarlierPicture();
    void failedWriteKeepsThePictureArea_data();
    void failedWriteKeepsThePictureArea();
    void labelsDrawFromTheTop();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();

    void lineCount_data();
    void lineCount();
    void lineCountAfterTypingAndPasting();
    void clear_data();
    void clear();
    void exitLeavesTheFile_data();
    void exitLeavesTheFile();

private:
    void convert(const QString &text);

    QTemporaryDir *m_folder = nullptr;
    Form1 *m_window = nullptr;
    testing::MessageBoxAnswerer *m_answerer = nullptr;
};

void TestMainWindow::init()
{
    m_folder = new QTemporaryDir;
    m_window = new Form1(m_folder->path());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_answerer = new testing::MessageBoxAnswerer;
}

void TestMainWindow::cleanup()
{
    delete m_answerer;
    delete m_window;
    delete m_folder;
}

void TestMainWindow::convert(const QString &text)
{
    m_window->Text1->setPlainText(text);
    QTest::mouseClick(m_window->Command1, Qt::LeftButton);
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");

    QTest::newRow("Text1") << u"Text1"_s << QRect(8, 8, 313, 369);
    QTest::newRow("Image1") << u"Image1"_s << QRect(320, 8, 425, 345);
    QTest::newRow("Image2") << u"Image2"_s << QRect(320, 8, 425, 345);
    QTest::newRow("ProgressBar1") << u"ProgressBar1"_s << QRect(320, 360, 425, 17);
    QTest::newRow("Label1") << u"Label1"_s << QRect(24, 392, -1, -1); // sized to its caption
    QTest::newRow("Label2") << u"Label2"_s << QRect(544, 392, 185, 17);
    QTest::newRow("Command1") << u"Command1"_s << QRect(56, 416, 137, 121);
    QTest::newRow("Command2") << u"Command2"_s << QRect(288, 416, 137, 121);
    QTest::newRow("Command4") << u"Command4"_s << QRect(536, 416, 137, 121);
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);

    auto *widget = m_window->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), m_window);
    QCOMPARE(widget->pos(), rect.topLeft());
    if (rect.width() >= 0)
        QCOMPARE(widget->size(), rect.size());
}

void TestMainWindow::windowSettings()
{
    QCOMPARE(m_window->objectName(), u"Form1"_s);
    QVERIFY(m_window->windowTitle().startsWith(u"图片转换工具--"_s));
    QCOMPARE(m_window->geometry(), QRect(303, 153, 757, 543));
    QCOMPARE(m_window->minimumSize(), QSize(757, 543));
    QCOMPARE(m_window->maximumSize(), QSize(757, 543));
    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(m_window->windowIcon().pixmap(32, 32).size(), QSize(32, 32));

    // The window's font, and Label1's own: the same family, bold and larger, on one line.
    const QFont font = m_window->font();
    QCOMPARE(font.pointSizeF(), 9.0);
    // The Song faces' metrics: half-width digits 6 pixels wide. Under Wine, the face standing in
    // for 宋体 need not have them.
    if (font.family() == u"AR PL UMing CN") {
        QCOMPARE(QFontMetrics(font).horizontalAdvance(u'0'), 6);
        QCOMPARE(QFontMetrics(font).horizontalAdvance(u"FF D8 "_s), 36);
    }
    QCOMPARE(m_window->Text1->font(), font);
    const QFont labelFont = m_window->Label1->font();
    QCOMPARE(labelFont.family(), font.family());
    QCOMPARE(labelFont.pointSizeF(), 10.5);
    QVERIFY(labelFont.bold());
    QCOMPARE(m_window->Label1->size(), m_window->Label1->sizeHint());
    QVERIFY(m_window->Label1->height() < 2 * QFontMetrics(labelFont).height());
    QVERIFY(m_window->Label1->geometry().right() < m_window->Command2->geometry().right());
}

void TestMainWindow::startState()
{
    QCOMPARE(m_window->Text1->toPlainText(), QString());
    QCOMPARE(m_window->Label1->text(), u"请将“FF D8 。。。FF D9”放入文本框"_s);
    QCOMPARE(m_window->Label2->text(), u"文本总行数：0"_s);
    QCOMPARE(m_window->Command1->text(), u"转换"_s);
    QCOMPARE(m_window->Command2->text(), u"清除"_s);
    QCOMPARE(m_window->Command4->text(), u"退出"_s);
    QCOMPARE(QApplication::focusWidget(), m_window->Command1);

    // The progress bar: visible, empty, 0 to 100, no text.
    QCOMPARE(m_window->ProgressBar1.Min(), 0.0f);
    QCOMPARE(m_window->ProgressBar1.Max(), 100.0f);
    QCOMPARE(m_window->ProgressBar1.Value(), 0.0f);
    QVERIFY(m_window->ProgressBar1.Visible());
    QVERIFY(!m_window->ProgressBar1.widget()->isTextVisible());

    // The picture area: Image1 hidden, Image2's brown panel stretched over it, at the top.
    QVERIFY(!m_window->Image1->isVisible());
    const QImage brown = m_window->Image2->pixmap().toImage();
    QCOMPARE(brown.size(), QSize(250, 230));
    QCOMPARE(brown.pixelColor(125, 115), QColor(0x80, 0x40, 0x00));
    QVERIFY(m_window->Image2->hasScaledContents());
    QVERIFY(m_window->Image1->hasScaledContents());
    const QImage shot = m_window->grab().toImage();
    QCOMPARE(shot.pixelColor(320 + 212, 8 + 172), QColor(0x80, 0x40, 0x00));
    QCOMPARE(m_window->childAt(330, 365), m_window->ProgressBar1.widget());
    QCOMPARE(m_window->childAt(320, 365), m_window->ProgressBar1.widget()); // above Text1's edge
}

void TestMainWindow::wrapping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("48 characters fill one line")
        << u"A"_s.repeated(48) << QStringList{u"A"_s.repeated(48)};
    QTest::newRow("the 49th starts the next")
        << u"A"_s.repeated(49) << QStringList{u"A"_s.repeated(48), u"A"_s};
    QTest::newRow("16 pairs to a line")
        << u"FF "_s.repeated(16) + u"D8 D9"_s << QStringList{u"FF "_s.repeated(16), u"D8 D9"_s};
}

void TestMainWindow::wrapping()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    m_window->Text1->setPlainText(text);
    QCOMPARE(layoutLines(m_window->Text1), lines);
}

void TestMainWindow::keyboard()
{
    // Tab goes round the buttons and the panel; the labels and the bar take no focus.
    const QList<QWidget *> order = {m_window->Command1, m_window->Text1, m_window->Command2,
                                    m_window->Command4, m_window->Command1};
    QTRY_COMPARE(QApplication::focusWidget(), m_window->Command1);
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), order[i]);
    }
    for (qsizetype i = order.size() - 2; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), order[i]);
    }

    // Enter in the panel starts a new line and converts nothing; Esc does nothing.
    m_window->Text1->setFocus();
    QTest::keyClicks(m_window->Text1, u"FF D8"_s);
    QTest::keyClick(m_window->Text1, Qt::Key_Return);
    QTest::keyClick(m_window->Text1, Qt::Key_Escape);
    QTest::keyClick(m_window, Qt::Key_Escape);
    QCOMPARE(m_window->Text1->toPlainText(), u"FF D8\n"_s);
    QVERIFY(m_window->isVisible());
    QVERIFY(!QFile::exists(m_folder->filePath(u"1.jpg"_s)));
    QVERIFY(m_answerer->shown.isEmpty());
}

void TestMainWindow::conversion_data()
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

void TestMainWindow::conversion()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(bool, picture);

    convert(text);

    const QString path = m_folder->filePath(u"1.jpg"_s);
    QCOMPARE(QFile::exists(path), !file.isNull());
    QCOMPARE(readAll(path), file);
    if (message.isEmpty()) {
        QVERIFY(m_answerer->shown.isEmpty());
    } else {
        QCOMPARE(m_answerer->shown.size(), 1);
        const testing::ShownMessage &shown = m_answerer->shown.first();
        QCOMPARE(shown.title, u"警告"_s);
        QCOMPARE(shown.text, message);
        QCOMPARE(shown.icon, QMessageBox::NoIcon);
        QCOMPARE(shown.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }

    // An empty panel changes nothing; any other click shows Image1 and sets up the bar.
    QCOMPARE(m_window->Image1->isVisible(), !text.trimmed().isEmpty());
    QCOMPARE(m_window->Image1->pixmap().isNull(), !picture);
    QCOMPARE(m_window->ProgressBar1.Max(),
             text.isEmpty() || file.isEmpty() ? 100.0f : 2.0f * file.size());
    QCOMPARE(m_window->ProgressBar1.Value(), file.isEmpty() ? 0.0f : 2.0f * file.size() - 1);
    QVERIFY(m_window->ProgressBar1.Visible());
    if (picture) {
        // The picture fills the picture area: no brown beside it.
        const QImage shot = m_window->grab(QRect(320, 8, 425, 345)).toImage();
        for (QPoint corner : {QPoint(1, 1), QPoint(423, 343), QPoint(212, 172)})
            QVERIFY(shot.pixelColor(corner) != QColor(0x80, 0x40, 0x00));
    }
}

void TestMainWindow::progressTrace()
{
    QSignalSpy values(&m_window->ProgressBar1, &ProgressBar::valueSet);
    convert(u"FF D8 FF"_s); // n = 6
    QCOMPARE(m_window->ProgressBar1.Max(), 6.0f);
    QCOMPARE(m_window->ProgressBar1.Min(), 0.0f);
    QCOMPARE(m_window->ProgressBar1.Value(), 5.0f);
    QList<float> trace;
    for (const QList<QVariant> &call : values)
        trace << call.first().toFloat();
    QCOMPARE(trace, (QList<float>{0, 1, 3, 5}));
    // What the bar shows catches up with its value by the time the event loop runs.
    QTRY_COMPARE(m_window->ProgressBar1.widget()->value(), 5);
    QCOMPARE(m_window->ProgressBar1.widget()->maximum(), 6);

    // A long dump: the bar hears of a pair only where its drawing changes, and ends exact.
    values.clear();
    convert(u"00 "_s.repeated(500000));
    QCOMPARE(m_window->ProgressBar1.Max(), 1000000.0f);
    QCOMPARE(m_window->ProgressBar1.Value(), 999999.0f);
    QVERIFY2(values.size() <= m_window->ProgressBar1.widget()->width() + 3,
             qPrintable(QString::number(values.size())));
    QTRY_COMPARE(m_window->ProgressBar1.widget()->value(), 999999);
}

void TestMainWindow::refusedSettingsAreSkipped_data()
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

void TestMainWindow::refusedSettingsAreSkipped()
{
    QFETCH(QString, setting);
    QFETCH(float, value);
    QFETCH(bool, accepted);

    ProgressBar &bar = m_window->ProgressBar1;
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
void TestMainWindow::forgivingReading_data()
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
}

void TestMainWindow::forgivingReading()
{
    QFETCH(QString, text);
    QFETCH(bool, take);
    QFETCH(QString, message);
    QFETCH(QByteArray, file);
    QFETCH(QString, tooltip);

    m_answerer->takeOffers = take;
    convert(text);
    QCOMPARE(m_answerer->shown.size(), 1);
    const testing::ShownMessage &box = m_answerer->shown.first();
    QCOMPARE(box.title, u"警告"_s);
    QVERIFY2(box.text.startsWith(message), qPrintable(box.text));
    QVERIFY(!box.details.isEmpty());
    if (box.text.contains(u"可以得到"_s))
        QCOMPARE(box.buttonTexts, (QStringList{u"使用这张图片"_s, u"取消"_s}));
    if (!file.isNull())
        QCOMPARE(readAll(m_folder->filePath(u"1.jpg"_s)), file);
    QCOMPARE(m_window->Image1->pixmap().isNull(), tooltip.isEmpty());
    QVERIFY2(m_window->Image1->toolTip().contains(tooltip),
             qPrintable(m_window->Image1->toolTip()));
}

void TestMainWindow::secondConversionShowsThePictureAgain()
{
    const QByteArray jpeg = testing::makeJpeg({120, 80});
    convert(testing::dumpOf(jpeg));
    const QImage first = m_window->Image1->pixmap().toImage();
    QVERIFY(!first.isNull());
    m_window->Image1->clear();
    QTest::mouseClick(m_window->Command1, Qt::LeftButton);
    QCOMPARE(readAll(m_folder->filePath(u"1.jpg"_s)), jpeg);
    QCOMPARE(m_window->Image1->pixmap().toImage(), first);
    QVERIFY(m_answerer->shown.isEmpty());
}

void TestMainWindow::failedWriteShowsNoEarlierPicture()
{
    // An earlier picture on disk, a new dump too large to be written.
    const QString path = m_folder->filePath(u"1.jpg"_s);
    const QByteArray earlier = testing::makeJpeg({64, 64});
    QVERIFY(testing::writeFile(path, earlier));
#ifdef Q_OS_LINUX
    {
        testing::FileSizeLimit limit(64 * 1024);
        convert(u"AB "_s.repeated(100000));
    }
#else
    QSKIP("needs RLIMIT_FSIZE");
#endif
    QCOMPARE(m_answerer->shown.size(), 1);
    const QString text = m_answerer->shown.first().text;
    QVERIFY2(text.startsWith(u"无法写入文件："_s + QDir::toNativeSeparators(path) + u'\n'),
             qPrintable(text));
    QVERIFY(text.section(u'\n', 1).size() > 0); // the system's reason
    QCOMPARE(readAll(path), earlier);
    QVERIFY(m_window->Image1->pixmap().isNull());
}

// A write that fails leaves the picture area as it was before the click: a cleared panel stays
// brown, a picture that was showing stays.
void TestMainWindow::failedWriteKeepsThePictureArea_data()
{
    QTest::addColumn<bool>("cleared");
    QTest::newRow("after 清除") << true;
    QTest::newRow("with the picture showing") << false;
}

void TestMainWindow::failedWriteKeepsThePictureArea()
{
    QFETCH(bool, cleared);
    convert(testing::dumpOf(testing::makeJpeg({64, 48})));
    QVERIFY(m_window->Image1->isVisible());
    if (cleared)
        QTest::mouseClick(m_window->Command2, Qt::LeftButton);
    QVERIFY(m_folder->remove());
    convert(testing::dumpOf(testing::makeJpeg({32, 32})));
    QCOMPARE(m_answerer->shown.size(), 1);
    QVERIFY(m_answerer->shown.first().text.startsWith(u"无法写入文件："_s));
    QCOMPARE(m_window->Image1->isVisible(), !cleared);
}

// Both labels draw their caption from the top, as the platform's labels do: the first row with
// ink in it is the same in both, although Label2 is taller than its text.
void TestMainWindow::labelsDrawFromTheTop()
{
    auto firstInkedRow = [](QLabel *label) {
        const QImage image = label->grab().toImage();
        const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != background)
                    return y;
        return -1;
    };
    m_window->Text1->setPlainText(u"FF D8"_s); // Label2 reads 文本总行数：1
    QVERIFY(firstInkedRow(m_window->Label2) >= 0);
    QCOMPARE(firstInkedRow(m_window->Label2), firstInkedRow(m_window->Label1));
}

// Enter and Return press the button that has the focus, as Space does; in the text panel they
// break the line.
void TestMainWindow::enterPressesTheFocusedButton_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");    // the panel's text afterwards
    QTest::addColumn<QString>("message"); // the box that came, if any
    QTest::addColumn<bool>("open");       // the window afterwards

    QTest::newRow("Return on 转换")
        << u"Command1"_s << int(Qt::Key_Return) << QString() << u"请将数据粘贴文本框中"_s << true;
    QTest::newRow("Enter on 转换")
        << u"Command1"_s << int(Qt::Key_Enter) << QString() << u"请将数据粘贴文本框中"_s << true;
    QTest::newRow("Space on 转换")
        << u"Command1"_s << int(Qt::Key_Space) << QString() << u"请将数据粘贴文本框中"_s << true;
    QTest::newRow("Return on 清除")
        << u"Command2"_s << int(Qt::Key_Return) << QString() << QString() << true;
    QTest::newRow("Return on 退出")
        << u"Command4"_s << int(Qt::Key_Return) << u"FF"_s << QString() << false;
    QTest::newRow("Return in the panel")
        << u"Text1"_s << int(Qt::Key_Return) << u"FF\n"_s << QString() << true;
}

void TestMainWindow::enterPressesTheFocusedButton()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(bool, open);

    if (focus != u"Command1") // the empty panel is what 转换 finds
        m_window->Text1->setPlainText(u"FF"_s);
    m_window->Text1->setCursorPosition(2);
    auto *widget = m_window->findChild<QWidget *>(focus);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(m_window->Text1->toPlainText(), text);
    QCOMPARE(m_answerer->shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_answerer->shown.first().text, message);
    QCOMPARE(m_window->isVisible(), open);
}

void TestMainWindow::lineCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");

    QTest::newRow("empty") << QString() << u"文本总行数：1"_s;
    QTest::newRow("47 characters") << u"A"_s.repeated(47) << u"文本总行数：1"_s;
    QTest::newRow("48 characters") << u"A"_s.repeated(48) << u"文本总行数：2"_s;
    QTest::newRow("95 characters") << u"A"_s.repeated(95) << u"文本总行数：2"_s;
    QTest::newRow("96 characters") << u"A"_s.repeated(96) << u"文本总行数：3"_s;
    QTest::newRow("two lines of a dump are 12 characters")
        << u"FF D8\r\nFF D9"_s << u"文本总行数：1"_s;
    QTest::newRow("a line break counts CR and LF")
        << u"A"_s.repeated(46) + u"\n"_s << u"文本总行数：2"_s;
    QTest::newRow("full-width characters count one each")
        << u"图"_s.repeated(48) << u"文本总行数：2"_s;
    QTest::newRow("a character outside the BMP counts two")
        << u"\U0001F600"_s.repeated(24) << u"文本总行数：2"_s;
    QTest::newRow("10,000 lines of 16 pairs")
        << (u"FF "_s.repeated(16) + u"\n"_s).repeated(10000) << u"文本总行数：10417"_s;
}

void TestMainWindow::lineCount()
{
    QFETCH(QString, text);
    QFETCH(QString, caption);

    m_window->Text1->setPlainText(u"x"_s); // the caption reads 0 until the first change
    m_window->Text1->setPlainText(text);
    QCOMPARE(m_window->Label2->text(), caption);
}

void TestMainWindow::lineCountAfterTypingAndPasting()
{
    m_window->Text1->setFocus();
    QTest::keyClicks(m_window->Text1, u"FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 "_s);
    QCOMPARE(m_window->Label2->text(), u"文本总行数：2"_s);
    QTest::keyClick(m_window->Text1, Qt::Key_Backspace);
    QCOMPARE(m_window->Label2->text(), u"文本总行数：1"_s);

    QApplication::clipboard()->setText(u"00 "_s.repeated(32));
    QTest::keyClick(m_window->Text1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_window->Text1->toPlainText().size(), 47 + 96);
    QCOMPARE(m_window->Label2->text(), u"文本总行数：3"_s);
}

void TestMainWindow::clear_data()
{
    QTest::addColumn<bool>("afterConversion");
    QTest::newRow("a clear window") << false;
    QTest::newRow("after a conversion") << true;
}

void TestMainWindow::clear()
{
    QFETCH(bool, afterConversion);

    const QByteArray jpeg = testing::makeJpeg({100, 80});
    const QString dump = testing::dumpOf(jpeg);
    if (afterConversion)
        convert(dump);
    const QString path = m_folder->filePath(u"1.jpg"_s);
    const QByteArray file = readAll(path);
    const float max = m_window->ProgressBar1.Max();

    // The counter has run, nested, by the time the bar is reset.
    QString captionAtReset;
    connect(&m_window->ProgressBar1, &ProgressBar::valueSet, this,
            [&] { captionAtReset = m_window->Label2->text(); });
    QTest::mouseClick(m_window->Command2, Qt::LeftButton);
    QCOMPARE(captionAtReset, u"文本总行数：1"_s);

    QCOMPARE(m_window->Text1->toPlainText(), QString());
    QCOMPARE(m_window->Label2->text(), u"文本总行数：1"_s);
    QCOMPARE(m_window->ProgressBar1.Value(), 0.0f);
    QCOMPARE(m_window->ProgressBar1.Max(), max);
    QVERIFY(m_window->ProgressBar1.Visible());
    QVERIFY(!m_window->Image1->isVisible());
    QCOMPARE(m_window->Image1->pixmap().isNull(), !afterConversion); // kept, only hidden
    QCOMPARE(readAll(path), file);
    QCOMPARE(m_window->Label1->text(), u"请将“FF D8 。。。FF D9”放入文本框"_s);
    const QImage shot = m_window->grab(QRect(320, 8, 425, 345)).toImage();
    QCOMPARE(shot.pixelColor(212, 172), QColor(0x80, 0x40, 0x00));
    QVERIFY(m_answerer->shown.isEmpty());

    // The next conversion shows the picture again.
    convert(dump);
    QVERIFY(m_window->Image1->isVisible());
    QVERIFY(!m_window->Image1->pixmap().isNull());
    QCOMPARE(readAll(path), jpeg);
}

void TestMainWindow::exitLeavesTheFile_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("退出") << true;
    QTest::newRow("closing the window") << false;
}

void TestMainWindow::exitLeavesTheFile()
{
    QFETCH(bool, byButton);

    const QByteArray jpeg = testing::makeJpeg({60, 40});
    convert(testing::dumpOf(jpeg));
    if (byButton)
        QTest::mouseClick(m_window->Command4, Qt::LeftButton);
    else
        m_window->close();
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_answerer->shown.isEmpty());
    QCOMPARE(readAll(m_folder->filePath(u"1.jpg"_s)), jpeg);
}

// What follows the described conversion runs aside: while pictures of 65500 x 65500 pixels are
// looked for and checked (seconds of decoding), the window's event loop goes on, a progress box
// offers 取消, and 取消 ends the check: nothing is shown or said, and 1.jpg stays as written.
void TestMainWindow::checkRunsAsideAndCanBeCancelled()
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
    convert(testing::dumpOf(bomb));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QCOMPARE(offered, u"正在检查图片……"_s);
    QVERIFY2(m_answerer->shown.isEmpty(), qPrintable(m_answerer->shown.value(0).text));
    QVERIFY(m_window->Image1->pixmap().isNull());
    QCOMPARE(readAll(m_folder->filePath(u"1.jpg"_s)), bomb);
}

// The window speaks the system's language: the described Chinese for Chinese and for the C
// locale, English for everyone else, Qt's own texts too; English captions fit their controls.
void TestMainWindow::languages_data()
{
    QTest::addColumn<QLocale>("system");
    QTest::addColumn<QStringList>("texts"); // title, Label1, Label2, the buttons, a warning, its OK

    const QStringList chinese = {u"图片转换工具--hexjpg@example.com"_s,
                                 u"请将“FF D8 。。。FF D9”放入文本框"_s,
                                 u"文本总行数：0"_s,
                                 u"转换"_s,
                                 u"清除"_s,
                                 u"退出"_s,
                                 u"请将数据粘贴文本框中"_s,
                                 u"确定"_s};
    const QStringList english = {u"Picture Converter--hexjpg@example.com"_s,
                                 u"Paste \"FF D8 ... FF D9\" into the text box"_s,
                                 u"Lines: 0"_s,
                                 u"Convert"_s,
                                 u"Clear"_s,
                                 u"Exit"_s,
                                 u"Please paste the data into the text box"_s,
                                 u"OK"_s};
    QTest::newRow("Chinese") << QLocale(u"zh_CN"_s) << chinese;
    QTest::newRow("no language (C)") << QLocale::c() << chinese;
    QTest::newRow("English") << QLocale(u"en_US"_s) << english;
    QTest::newRow("German: English") << QLocale(u"de_DE"_s) << english;
}

void TestMainWindow::languages()
{
    QFETCH(QLocale, system);
    QFETCH(QStringList, texts);

    QVERIFY(installTranslations(*QCoreApplication::instance(), system));
    Form1 window(m_folder->path());
    window.show();
    QTest::mouseClick(window.Command1, Qt::LeftButton); // an empty panel: the warning
    for (QTranslator *translator : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    const QList<QWidget *> controls = {window.Label1, window.Label2, window.Command1,
                                       window.Command2, window.Command4};
    QStringList shown = {window.windowTitle()};
    for (QWidget *control : controls)
        shown << control->property("text").toString();
    QTRY_VERIFY(!m_answerer->shown.isEmpty());
    shown << m_answerer->shown.last().text << m_answerer->shown.last().buttonTexts.value(0);
    QCOMPARE(shown, texts);

    // Every caption fits its control; Label1, which sizes itself, stays clear of Label2; the
    // counter has room for a dump of a million lines. (Under Wine the offscreen platform has no
    // fonts to measure with.)
    if (QFontDatabase::families().isEmpty())
        return;
    for (QWidget *control : controls) {
        const QString text = control == window.Label2
                                 ? control->property("text").toString().replace(u"0"_s, u"999999"_s)
                                 : control->property("text").toString();
        const int frame = qobject_cast<QPushButton *>(control) ? 8 : 0;
        QVERIFY2(control->fontMetrics().horizontalAdvance(text) <= control->width() - frame,
                 qPrintable(text));
    }
    QVERIFY(window.Label1->geometry().right() < window.Label2->x());
}

// Receiving from a serial port (a pty pair from socat): what comes goes into the panel, each
// picture is written and shown with its diagnosis, and a lost port is told, what came kept.
void TestMainWindow::receiving_data()
{
    QTest::addColumn<bool>("port"); // a pty pair, or a port that does not exist
    QTest::addColumn<QString>("said");

    QTest::newRow("a picture, then the device goes") << true << u"断开"_s;
    QTest::newRow("no such port") << false << u"找不到串口"_s;
}

void TestMainWindow::receiving()
{
    QFETCH(bool, port);
    QFETCH(QString, said);
#ifndef HEXJPG_SERIAL
    QSKIP("this build cannot receive from a serial port");
#endif
    const QString socat = QStandardPaths::findExecutable(u"socat"_s);
    if (socat.isEmpty())
        QSKIP("socat is not installed");
    const QString device = m_folder->filePath(u"port"_s), camera = m_folder->filePath(u"camera"_s);
    QProcess pty;
    if (port) {
        pty.start(socat, {u"pty,raw,echo=0,link="_s + device, u"pty,raw,echo=0,link="_s + camera});
        QTRY_VERIFY(QFileInfo::exists(device) && QFileInfo::exists(camera));
    }
    QCOMPARE(m_window->startReceiving(device, 115200), port);
    QCOMPARE(m_window->stopAction->isVisible(), port);
    if (port) {
        const QByteArray jpeg = testing::makeJpeg({120, 90});
        QFile line(camera);
        QVERIFY(line.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QByteArray text = "cam ready\r\n";
        for (qsizetype i = 0; i < jpeg.size(); i += 16)
            text += jpeg.mid(i, 16).toHex(' ') + "\r\n";
        line.write(text + jpeg.first(100));
        QTRY_COMPARE(readAll(m_folder->filePath(u"1.jpg"_s)), jpeg);
        QTRY_VERIFY(m_window->Image1->isVisible());
        QVERIFY(m_window->Image1->toolTip().contains(u"第 1 张图片"_s));
        QTRY_VERIFY(m_window->Text1->toPlainText().startsWith(u"cam ready\nff d8"_s));
        QCOMPARE(m_window->Label2->text(), u"文本总行数：%1"_s.arg(
            std::floor(2.0 * (m_window->Text1->content().size() +
                              m_window->Text1->content().lineBreaks()) / 96.0 + 1.0)));
        pty.kill();
        pty.waitForFinished();
    }
    QTRY_VERIFY(std::any_of(m_answerer->shown.begin(), m_answerer->shown.end(),
                            [&](const auto &shown) { return shown.text.contains(said); }));
    QTRY_VERIFY(m_window->receiveAction->isVisible());
    QVERIFY(!m_window->stopAction->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
