// The text panel's other ways in and out: input methods, drag and drop, refusals, the focus frame,
// assistive technology and Qt's own translations.

#include "message_boxes.h"
#include "panel_fixture.h"
#include "startup.h"
#include "test_support.h"

#include <QAccessibleInterface>
#include <QClipboard>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

class TestPanelInput : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void inputMethod();
    void dragAndDrop_data();
    void dragAndDrop();
    void tooLarge();
    void focusFrame();
    void accessibility();
    void translations_data();
    void translations();

private:
    TextPanel *m_panel = nullptr;
    testing::MessageBoxAnswerer *m_answerer = nullptr;
};

void TestPanelInput::init()
{
    m_panel = testing::makePanel();
    m_answerer = new testing::MessageBoxAnswerer;
}

void TestPanelInput::cleanup()
{
    delete m_answerer;
    delete m_panel;
}

void TestPanelInput::inputMethod()
{
    m_panel->setPlainText(u"FF D8"_s);
    m_panel->setCursorPosition(3);
    QVERIFY(m_panel->inputMethodQuery(Qt::ImEnabled).toBool());
    const QRect before = m_panel->inputMethodQuery(Qt::ImCursorRectangle).toRect();

    // The preedit shows at the caret and moves the candidates with it; only the commit goes in.
    QInputMethodEvent preedit(u"ni"_s, {{QInputMethodEvent::Cursor, 2, 1, {}}});
    QApplication::sendEvent(m_panel, &preedit);
    QCOMPARE(m_panel->toPlainText(), u"FF D8"_s);
    const QRect during = m_panel->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY(during.x() > before.x() + 6);
    QCOMPARE(during.y(), before.y());

    QInputMethodEvent commit;
    commit.setCommitString(u"你"_s);
    QApplication::sendEvent(m_panel, &commit);
    QCOMPARE(m_panel->toPlainText(), u"FF 你D8"_s);
    QCOMPARE(m_panel->inputMethodQuery(Qt::ImSurroundingText).toString(), u"FF 你D8"_s);
    QCOMPARE(m_panel->inputMethodQuery(Qt::ImCursorPosition).toInt(), 4);
}

void TestPanelInput::dragAndDrop_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: plain text is dropped
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("told");

    QTest::newRow("text") << QByteArray() << u"FF 00 11 D8"_s << false;
    QTest::newRow("a UTF-8 log") << QByteArray("\xef\xbb\xbf"
                                               "00\r\n11 ")
                                 << u"FF 00\n11 D8"_s << false;
    QTest::newRow("a UTF-16 log") << QByteArray("\xff\xfe"
                                                "0\0"
                                                "0\0"
                                                " \0",
                                                8)
                                  << u"FF 00 D8"_s << false;
    QTest::newRow("a picture is not text") << testing::makeJpeg({8, 8}) << u"FF D8"_s << true;
    QTest::newRow("too large") << QByteArray(2000, 'A') << u"FF D8"_s << true;
#ifdef Q_OS_UNIX
    QTest::newRow("a named pipe") << QByteArray("fifo") << u"FF D8"_s << true;
#endif
}

void TestPanelInput::dragAndDrop()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, after);
    QFETCH(bool, told);

    m_panel->setPlainText(u"FF D8"_s);
    m_panel->setMaximumLength(1000);
    QTemporaryDir folder;
    QMimeData mime;
    if (file.isEmpty()) {
        mime.setText(u"00 11 "_s);
    } else {
        const QString path = folder.filePath(u"log.txt"_s);
#ifdef Q_OS_UNIX
        if (file == "fifo") // with no writer: opening it would wait for ever
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
#endif
            QVERIFY(testing::writeFile(path, file));
        mime.setUrls({QUrl::fromLocalFile(path)});
    }
    const QPoint at = m_panel->characterRect(3).topLeft() + QPoint(0, 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(m_panel->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(m_panel->viewport(), &drop);
    QCOMPARE(m_panel->toPlainText(), after);
    QCOMPARE(m_answerer->shown.size(), told ? 1 : 0);
}

// A paste past the panel's limit, or past the memory there is, is told and changes nothing; so
// is any change while the conversion reads the panel.
void TestPanelInput::tooLarge()
{
    m_panel->setPlainText(u"FF D8"_s);
    m_panel->setMaximumLength(100);
    QApplication::clipboard()->setText(u"00 "_s.repeated(40));
    QTest::keyClick(m_panel, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_panel->toPlainText(), u"FF D8"_s);

#ifdef Q_OS_LINUX
    m_panel->setMaximumLength(qint64(1) << 30);
    QApplication::clipboard()->setText(u"0"_s.repeated(100'000'000)); // 200 MB
    {
        testing::AddressSpaceLimit limit(64 << 20);
        QTest::keyClick(m_panel, Qt::Key_V, Qt::ControlModifier);
    }
    QApplication::clipboard()->clear();
    QCOMPARE(m_panel->toPlainText(), u"FF D8"_s);
    QCOMPARE(m_answerer->shown.size(), 2);
    QVERIFY(m_answerer->shown.last().text.startsWith(u"内存不足"_s));
#endif
    QVERIFY(m_answerer->shown.first().text.contains(u"文本框中的内容保持不变"_s));

    const TextPanel::Reading reading(*m_panel);
    QTest::keyClicks(m_panel, u"AB"_s);
    QTest::keyClick(m_panel, Qt::Key_Backspace);
    QCOMPARE(reading.text(), u"FF D8"_s);
}

// The frame shows whether the panel has the focus, as the style draws a text field's.
void TestPanelInput::focusFrame()
{
    const QImage focused = m_panel->grab(QRect(0, 0, 4, 60)).toImage();
    m_panel->clearFocus();
    QVERIFY(m_panel->grab(QRect(0, 0, 4, 60)).toImage() != focused);
}

void TestPanelInput::accessibility()
{
    m_panel->setPlainText(u"FF D8 FF D9"_s);
    m_panel->setCursorPosition(3);
    m_panel->setCursorPosition(5, true);
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(m_panel);
    QVERIFY(a);
    QCOMPARE(a->role(), QAccessible::EditableText);
    QVERIFY(a->state().editable && a->state().multiLine);
    QAccessibleTextInterface *text = a->textInterface();
    QVERIFY(text);
    QCOMPARE(text->characterCount(), 11);
    QCOMPARE(text->cursorPosition(), 5);
    int start = -1, end = -1;
    text->selection(0, &start, &end);
    QCOMPARE(QPair(start, end), QPair(3, 5));
    QCOMPARE(text->text(6, 8), u"FF"_s);
    QVERIFY(text->characterRect(0).isValid());
    a->editableTextInterface()->replaceText(0, 2, u"00"_s);
    QCOMPARE(m_panel->toPlainText(), u"00 D8 FF D9"_s);
}

void TestPanelInput::translations_data()
{
    QTest::addColumn<QLocale>("system");
    QTest::addColumn<QString>("scrollHere");

    QTest::newRow("unknown language") << QLocale::c() << u"滚动至此"_s;
    QTest::newRow("Chinese") << QLocale(u"zh_CN"_s) << u"滚动至此"_s;
    QTest::newRow("Chinese, Taiwan") << QLocale(u"zh_TW"_s) << u"滚动至此"_s;
    // Everyone else reads English, Qt's own texts too.
    QTest::newRow("German") << QLocale(u"de_DE"_s) << u"Scroll here"_s;
}

void TestPanelInput::translations()
{
    QFETCH(QLocale, system);
    QFETCH(QString, scrollHere);

    QVERIFY(installTranslations(*QCoreApplication::instance(), system));
    QCOMPARE(QCoreApplication::translate("QScrollBar", "Scroll here"), scrollHere);
    for (QTranslator *translator : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

QTEST_MAIN(TestPanelInput)
#include "tst_panel_input.moc"
