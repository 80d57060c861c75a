// The window: its settings at start, the text panel in it, its languages, the line counter,
// Clear and Exit.

#include "diagnosis.h"
#include "main_window.h"
#include "startup.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
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
    void init() { m_fixture.setUp(); }
    void cleanup() { m_fixture.tearDown(); }

    void languages_data();
    void languages();
    void controls_data();
    void controls();
    void windowSettings();
    void startState();
    void wrapping_data();
    void wrapping();
    void keyboard();
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
    testing::WindowFixture m_fixture;
};

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
    Form1 window(m_fixture.folder->path());
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
    QTRY_VERIFY(!m_fixture.answerer->shown.isEmpty());
    shown << m_fixture.answerer->shown.last().text
          << m_fixture.answerer->shown.last().buttonTexts.value(0);
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

    auto *widget = m_fixture.window->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), m_fixture.window);
    QCOMPARE(widget->pos(), rect.topLeft());
    if (rect.width() >= 0)
        QCOMPARE(widget->size(), rect.size());
}

void TestMainWindow::windowSettings()
{
    QCOMPARE(m_fixture.window->objectName(), u"Form1"_s);
    QVERIFY(m_fixture.window->windowTitle().startsWith(u"图片转换工具--"_s));
    QCOMPARE(m_fixture.window->geometry(), QRect(303, 153, 757, 543));
    QCOMPARE(m_fixture.window->minimumSize(), QSize(757, 543));
    QCOMPARE(m_fixture.window->maximumSize(), QSize(757, 543));
    const Qt::WindowFlags flags = m_fixture.window->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(m_fixture.window->windowIcon().pixmap(32, 32).size(), QSize(32, 32));

    // The window's font, and Label1's own: the same family, bold and larger, on one line.
    const QFont font = m_fixture.window->font();
    QCOMPARE(font.pointSizeF(), 9.0);
    // The Song faces' metrics: half-width digits 6 pixels wide. Under Wine, the face standing in
    // for 宋体 need not have them.
    if (font.family() == u"AR PL UMing CN") {
        QCOMPARE(QFontMetrics(font).horizontalAdvance(u'0'), 6);
        QCOMPARE(QFontMetrics(font).horizontalAdvance(u"FF D8 "_s), 36);
    }
    QCOMPARE(m_fixture.window->Text1->font(), font);
    const QFont labelFont = m_fixture.window->Label1->font();
    QCOMPARE(labelFont.family(), font.family());
    QCOMPARE(labelFont.pointSizeF(), 10.5);
    QVERIFY(labelFont.bold());
    QCOMPARE(m_fixture.window->Label1->size(), m_fixture.window->Label1->sizeHint());
    QVERIFY(m_fixture.window->Label1->height() < 2 * QFontMetrics(labelFont).height());
    QVERIFY(m_fixture.window->Label1->geometry().right() <
            m_fixture.window->Command2->geometry().right());
}

void TestMainWindow::startState()
{
    QCOMPARE(m_fixture.window->Text1->toPlainText(), QString());
    QCOMPARE(m_fixture.window->Label1->text(), u"请将“FF D8 。。。FF D9”放入文本框"_s);
    QCOMPARE(m_fixture.window->Label2->text(), u"文本总行数：0"_s);
    QCOMPARE(m_fixture.window->Command1->text(), u"转换"_s);
    QCOMPARE(m_fixture.window->Command2->text(), u"清除"_s);
    QCOMPARE(m_fixture.window->Command4->text(), u"退出"_s);
    QCOMPARE(QApplication::focusWidget(), m_fixture.window->Command1);

    // The progress bar: visible, empty, 0 to 100, no text.
    QCOMPARE(m_fixture.window->ProgressBar1.Min(), 0.0f);
    QCOMPARE(m_fixture.window->ProgressBar1.Max(), 100.0f);
    QCOMPARE(m_fixture.window->ProgressBar1.Value(), 0.0f);
    QVERIFY(m_fixture.window->ProgressBar1.Visible());
    QVERIFY(!m_fixture.window->ProgressBar1.widget()->isTextVisible());

    // The picture area: Image1 hidden, Image2's brown panel stretched over it, at the top.
    QVERIFY(!m_fixture.window->Image1->isVisible());
    const QImage brown = m_fixture.window->Image2->pixmap().toImage();
    QCOMPARE(brown.size(), QSize(250, 230));
    QCOMPARE(brown.pixelColor(125, 115), QColor(0x80, 0x40, 0x00));
    QVERIFY(m_fixture.window->Image2->hasScaledContents());
    QVERIFY(m_fixture.window->Image1->hasScaledContents());
    const QImage shot = m_fixture.window->grab().toImage();
    QCOMPARE(shot.pixelColor(320 + 212, 8 + 172), QColor(0x80, 0x40, 0x00));
    QCOMPARE(m_fixture.window->childAt(330, 365), m_fixture.window->ProgressBar1.widget());
    QCOMPARE(m_fixture.window->childAt(320, 365),
             m_fixture.window->ProgressBar1.widget()); // above Text1's edge
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

    m_fixture.window->Text1->setPlainText(text);
    QCOMPARE(layoutLines(m_fixture.window->Text1), lines);
}

void TestMainWindow::keyboard()
{
    // Tab goes round the buttons and the panel; the labels and the bar take no focus.
    const QList<QWidget *> order = {m_fixture.window->Command1, m_fixture.window->Text1,
                                    m_fixture.window->Command2, m_fixture.window->Command4,
                                    m_fixture.window->Command1};
    QTRY_COMPARE(QApplication::focusWidget(), m_fixture.window->Command1);
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), order[i]);
    }
    for (qsizetype i = order.size() - 2; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), order[i]);
    }

    // Enter in the panel starts a new line and converts nothing; Esc does nothing.
    m_fixture.window->Text1->setFocus();
    QTest::keyClicks(m_fixture.window->Text1, u"FF D8"_s);
    QTest::keyClick(m_fixture.window->Text1, Qt::Key_Return);
    QTest::keyClick(m_fixture.window->Text1, Qt::Key_Escape);
    QTest::keyClick(m_fixture.window, Qt::Key_Escape);
    QCOMPARE(m_fixture.window->Text1->toPlainText(), u"FF D8\n"_s);
    QVERIFY(m_fixture.window->isVisible());
    QVERIFY(!QFile::exists(m_fixture.folder->filePath(u"1.jpg"_s)));
    QVERIFY(m_fixture.answerer->shown.isEmpty());
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
    m_fixture.window->Text1->setPlainText(u"FF D8"_s); // Label2 reads 文本总行数：1
    QVERIFY(firstInkedRow(m_fixture.window->Label2) >= 0);
    QCOMPARE(firstInkedRow(m_fixture.window->Label2), firstInkedRow(m_fixture.window->Label1));
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
        m_fixture.window->Text1->setPlainText(u"FF"_s);
    m_fixture.window->Text1->setCursorPosition(2);
    auto *widget = m_fixture.window->findChild<QWidget *>(focus);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(m_fixture.window->Text1->toPlainText(), text);
    QCOMPARE(m_fixture.answerer->shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_fixture.answerer->shown.first().text, message);
    QCOMPARE(m_fixture.window->isVisible(), open);
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

    m_fixture.window->Text1->setPlainText(u"x"_s); // the caption reads 0 until the first change
    m_fixture.window->Text1->setPlainText(text);
    QCOMPARE(m_fixture.window->Label2->text(), caption);
}

void TestMainWindow::lineCountAfterTypingAndPasting()
{
    m_fixture.window->Text1->setFocus();
    QTest::keyClicks(m_fixture.window->Text1,
                     u"FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 "_s);
    QCOMPARE(m_fixture.window->Label2->text(), u"文本总行数：2"_s);
    QTest::keyClick(m_fixture.window->Text1, Qt::Key_Backspace);
    QCOMPARE(m_fixture.window->Label2->text(), u"文本总行数：1"_s);

    QApplication::clipboard()->setText(u"00 "_s.repeated(32));
    QTest::keyClick(m_fixture.window->Text1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_fixture.window->Text1->toPlainText().size(), 47 + 96);
    QCOMPARE(m_fixture.window->Label2->text(), u"文本总行数：3"_s);
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
        m_fixture.convert(dump);
    const QString path = m_fixture.folder->filePath(u"1.jpg"_s);
    const QByteArray file = readAll(path);
    const float max = m_fixture.window->ProgressBar1.Max();

    // The counter has run, nested, by the time the bar is reset.
    QString captionAtReset;
    connect(&m_fixture.window->ProgressBar1, &ProgressBar::valueSet, this,
            [&] { captionAtReset = m_fixture.window->Label2->text(); });
    QTest::mouseClick(m_fixture.window->Command2, Qt::LeftButton);
    QCOMPARE(captionAtReset, u"文本总行数：1"_s);

    QCOMPARE(m_fixture.window->Text1->toPlainText(), QString());
    QCOMPARE(m_fixture.window->Label2->text(), u"文本总行数：1"_s);
    QCOMPARE(m_fixture.window->ProgressBar1.Value(), 0.0f);
    QCOMPARE(m_fixture.window->ProgressBar1.Max(), max);
    QVERIFY(m_fixture.window->ProgressBar1.Visible());
    QVERIFY(!m_fixture.window->Image1->isVisible());
    QCOMPARE(m_fixture.window->Image1->pixmap().isNull(), !afterConversion); // kept, only hidden
    QCOMPARE(readAll(path), file);
    QCOMPARE(m_fixture.window->Label1->text(), u"请将“FF D8 。。。FF D9”放入文本框"_s);
    const QImage shot = m_fixture.window->grab(QRect(320, 8, 425, 345)).toImage();
    QCOMPARE(shot.pixelColor(212, 172), QColor(0x80, 0x40, 0x00));
    QVERIFY(m_fixture.answerer->shown.isEmpty());

    // The next conversion shows the picture again.
    m_fixture.convert(dump);
    QVERIFY(m_fixture.window->Image1->isVisible());
    QVERIFY(!m_fixture.window->Image1->pixmap().isNull());
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
    m_fixture.convert(testing::dumpOf(jpeg));
    if (byButton)
        QTest::mouseClick(m_fixture.window->Command4, Qt::LeftButton);
    else
        m_fixture.window->close();
    QVERIFY(!m_fixture.window->isVisible());
    QVERIFY(m_fixture.answerer->shown.isEmpty());
    QCOMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), jpeg);
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
