// The text panel's editing: random edits against a plain string, keys, mouse, clipboard and menu,
// text that arrives, hostile characters, and every change of the caret told.

#include "message_boxes.h"
#include "panel_fixture.h"
#include "test_support.h"

#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Characters the random edits are made of: digits, blanks, line breaks, wide characters, a
// surrogate pair, a tab, a NUL, right-to-left letters and a lone surrogate.
QString randomText(QRandomGenerator &random, int length, bool hostile)
{
    static const QStringList pieces = {u"F"_s, u"D"_s,  u"8"_s,   u"0"_s, u" "_s,
                                       u" "_s, u"图"_s, u"FF "_s, u"\n"_s};
    static const QStringList more = {u"\t"_s,         QString(QChar(0)),      u"שלום"_s,
                                     u"\U0001F600"_s, QString(QChar(0xDC00)), u"\r\n"_s,
                                     u"\r"_s};
    QString text;
    while (text.size() < length) {
        const bool odd = hostile && random.bounded(5) == 0;
        const QStringList &from = odd ? more : pieces;
        text += from[random.bounded(int(from.size()))];
    }
    return text;
}

// Types text as keys: one key event per character, a line break as Enter.
void type(QWidget *widget, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            QTest::keyClick(widget, Qt::Key_Return);
            continue;
        }
        const qsizetype units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, units), {});
        i += units - 1;
    }
}

} // namespace

class TestTextPanel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void differential();
    void keys_data();
    void keys();
    void mouse();
    void arrivingText_data();
    void arrivingText();
    void clipboardAndMenu();
    void hostileText();
    void selectAllAfterPaste();

private:
    TextPanel *m_panel = nullptr;
    testing::MessageBoxAnswerer *m_answerer = nullptr;
};

void TestTextPanel::init()
{
    m_panel = testing::makePanel();
    m_answerer = new testing::MessageBoxAnswerer;
}

void TestTextPanel::cleanup()
{
    delete m_answerer;
    delete m_panel;
}

// Random typing, deleting, pasting, undoing and redoing, on the panel through its keys and on a
// plain string side by side: the texts stay equal, and the mended line index equals a wrap of
// the whole text from scratch.
void TestTextPanel::differential()
{
    QRandomGenerator random(20261208);
    QString model;
    QList<QString> undo, redo;
    auto place = [&](bool select) {
        const qint64 a = random.bounded(int(model.size()) + 1);
        m_panel->setCursorPosition(a);
        if (select)
            m_panel->setCursorPosition(random.bounded(int(model.size()) + 1), true);
    };
    auto replaceSelection = [&](const QString &with) {
        const qint64 from = m_panel->selectionStart(), to = m_panel->selectionEnd();
        return model.left(from) + with + model.mid(to);
    };
    for (int step = 0; step < 1500; ++step) {
        const QString before = model;
        const int action = random.bounded(100);
        bool isStep = true;
        if (action < 30) { // typing, one step however long
            place(random.bounded(4) == 0);
            const QString typed = randomText(random, random.bounded(1, 6), false);
            model = replaceSelection(typed);
            type(m_panel, typed);
        } else if (action < 45) { // Backspace or Delete, a few times
            place(random.bounded(4) == 0);
            const bool back = random.bounded(2);
            // A selection goes in one step; single characters merge into one.
            for (int n = m_panel->hasSelection() ? 1 : random.bounded(1, 4); n > 0; --n) {
                qint64 from = m_panel->selectionStart(), to = m_panel->selectionEnd();
                if (from == to) {
                    const qint64 caret = m_panel->cursorPosition();
                    const int width =
                        back ? (caret >= 2 && model[caret - 1].isLowSurrogate() &&
                                        model[caret - 2].isHighSurrogate()
                                    ? 2
                                    : 1)
                             : (caret + 1 < model.size() && model[caret].isHighSurrogate() &&
                                        model[caret + 1].isLowSurrogate()
                                    ? 2
                                    : 1);
                    from = back ? std::max<qint64>(0, caret - width) : caret;
                    to = back ? caret : std::min<qint64>(model.size(), caret + width);
                }
                model.remove(from, to - from);
                QTest::keyClick(m_panel, back ? Qt::Key_Backspace : Qt::Key_Delete);
            }
            isStep = model != before;
        } else if (action < 70) { // paste, with CR LF and every kind of character
            place(random.bounded(3) == 0);
            const QString pasted = randomText(random, random.bounded(1, 200), true);
            QApplication::clipboard()->setText(pasted);
            model = replaceSelection(panel::normalizeLineBreaks(pasted));
            QTest::keyClick(m_panel, Qt::Key_V, Qt::ControlModifier);
        } else if (action < 85) {
            isStep = false;
            if (!undo.isEmpty()) {
                redo << model;
                model = undo.takeLast();
            }
            QTest::keyClick(m_panel, Qt::Key_Z, Qt::ControlModifier);
        } else {
            isStep = false;
            if (!redo.isEmpty()) {
                undo << model;
                model = redo.takeLast();
            }
            QTest::keyClick(m_panel, Qt::Key_Y, Qt::ControlModifier);
        }
        if (isStep) {
            undo << before;
            redo.clear();
        }
        QCOMPARE(m_panel->toPlainText(), model);
        QVERIFY2(m_panel->content().lineStarts() == panel::wrapAll(model),
                 qPrintable(u"step %1"_s.arg(step)));
        QCOMPARE(m_panel->content().lineBreaks(), model.count(u'\n'));
        if (step % 50 == 0)
            m_panel->viewport()->repaint();
    }
}

void TestTextPanel::keys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("anchorAfter");
    QTest::addColumn<int>("caretAfter");

    const QString dump = u"FF D8 FF E0 "_s;
    const QString two = u"FF "_s.repeated(16) + u"D8 D9"_s; // two visual lines
    QTest::newRow("Right") << dump << 0 << 0 << QKeySequence(u"Right"_s) << dump << 1 << 1;
    QTest::newRow("Left collapses the selection")
        << dump << 1 << 5 << QKeySequence(u"Left"_s) << dump << 1 << 1;
    QTest::newRow("Shift+Right") << dump << 0 << 0 << QKeySequence(u"Shift+Right"_s) << dump << 0
                                 << 1;
    QTest::newRow("Ctrl+Right by word")
        << dump << 0 << 0 << QKeySequence(u"Ctrl+Right"_s) << dump << 3 << 3;
    QTest::newRow("Ctrl+Shift+Left")
        << dump << 7 << 7 << QKeySequence(u"Ctrl+Shift+Left"_s) << dump << 7 << 6;
    QTest::newRow("Home on the visual line")
        << two << 50 << 50 << QKeySequence(u"Home"_s) << two << 48 << 48;
    QTest::newRow("End before the blank it wraps at")
        << two << 3 << 3 << QKeySequence(u"End"_s) << two << 47 << 47;
    QTest::newRow("Down keeps the column")
        << two << 4 << 4 << QKeySequence(u"Down"_s) << two << 52 << 52;
    QTest::newRow("Up at the top stays") << two << 4 << 4 << QKeySequence(u"Up"_s) << two << 4 << 4;
    QTest::newRow("Ctrl+End") << two << 0 << 0 << QKeySequence(u"Ctrl+End"_s) << two << 53 << 53;
    QTest::newRow("Ctrl+Shift+Home")
        << two << 9 << 9 << QKeySequence(u"Ctrl+Shift+Home"_s) << two << 9 << 0;
    QTest::newRow("Page Down to the last line")
        << two << 0 << 0 << QKeySequence(u"PgDown"_s) << two << 48 << 48;
    QTest::newRow("Backspace") << dump << 2 << 2 << QKeySequence(u"Backspace"_s) << u"F D8 FF E0 "_s
                               << 1 << 1;
    QTest::newRow("Delete a selection")
        << dump << 0 << 3 << QKeySequence(u"Del"_s) << u"D8 FF E0 "_s << 0 << 0;
    QTest::newRow("Ctrl+Backspace by word")
        << dump << 7 << 7 << QKeySequence(u"Ctrl+Backspace"_s) << u"FF D8 F E0 "_s << 6 << 6;
    QTest::newRow("Ctrl+Delete by word")
        << dump << 0 << 0 << QKeySequence(u"Ctrl+Del"_s) << u"D8 FF E0 "_s << 0 << 0;
    QTest::newRow("typing replaces the selection")
        << dump << 0 << 2 << QKeySequence(u"A"_s) << u"a D8 FF E0 "_s << 1 << 1;
    QTest::newRow("Enter breaks the line")
        << dump << 5 << 5 << QKeySequence(u"Return"_s) << u"FF D8\n FF E0 "_s << 6 << 6;
    QTest::newRow("Ctrl+A") << dump << 3 << 3 << QKeySequence(u"Ctrl+A"_s) << dump << 0 << 12;
    QTest::newRow("Ctrl+X, Ctrl+V") << dump << 0 << 3 << QKeySequence(u"Ctrl+X, Ctrl+End, Ctrl+V"_s)
                                    << u"D8 FF E0 FF "_s << 12 << 12;
    QTest::newRow("Shift+Delete, Shift+Insert")
        << dump << 0 << 3 << QKeySequence(u"Shift+Del, End, Shift+Ins"_s) << u"D8 FF E0 FF "_s << 12
        << 12;
    QTest::newRow("Ctrl+Insert copies")
        << dump << 0 << 2 << QKeySequence(u"Ctrl+Ins, End, Ctrl+V"_s) << dump + u"FF"_s << 14 << 14;
    QTest::newRow("typing is one step to undo")
        << dump << 0 << 0 << QKeySequence(u"A, B, C, Ctrl+Z"_s) << dump << 0 << 0;
    QTest::newRow("Ctrl+Y redoes")
        << dump << 0 << 0 << QKeySequence(u"A, B, Ctrl+Z, Ctrl+Y"_s) << u"ab"_s + dump << 2 << 2;
    QTest::newRow("Ctrl+Shift+Z redoes")
        << dump << 12 << 12 << QKeySequence(u"Backspace, Backspace, Ctrl+Z, Ctrl+Shift+Z"_s)
        << u"FF D8 FF E"_s << 10 << 10;
    QTest::newRow("Esc does nothing") << dump << 1 << 1 << QKeySequence(u"Esc"_s) << dump << 1 << 1;
}

void TestTextPanel::keys()
{
    QFETCH(QString, text);
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, after);
    QFETCH(int, anchorAfter);
    QFETCH(int, caretAfter);

    m_panel->setPlainText(text);
    m_panel->setCursorPosition(anchor);
    m_panel->setCursorPosition(caret, true);
    for (int i = 0; i < keys.count(); ++i)
        QTest::keyClick(m_panel, keys[i].key(), keys[i].keyboardModifiers());
    QCOMPARE(m_panel->toPlainText(), after);
    QCOMPARE(m_panel->anchor(), anchorAfter);
    QCOMPARE(m_panel->cursorPosition(), caretAfter);
}

void TestTextPanel::mouse()
{
    const QString text = u"FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 \n"_s.repeated(100);
    m_panel->setPlainText(text);
    QWidget *view = m_panel->viewport();
    const QRect first = m_panel->characterRect(0);

    // A click places the caret; a double click selects the pair under it.
    QTest::mouseClick(view, Qt::LeftButton, {}, m_panel->characterRect(4).topLeft() + QPoint(1, 2));
    QCOMPARE(m_panel->cursorPosition(), 4);
    QTest::mouseDClick(view, Qt::LeftButton, {}, m_panel->characterRect(4).center());
    QCOMPARE(m_panel->selectedText(), u"D8"_s);

    // A drag past the bottom edge selects and scrolls on.
    QTest::mousePress(view, Qt::LeftButton, {}, first.center());
    QTest::mouseMove(view, QPoint(first.center().x(), view->height() + 40));
    QTRY_VERIFY(m_panel->firstVisibleLine() > 3);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(first.center().x(), view->height() + 40));
    QCOMPARE(m_panel->selectionStart(), 0);
    // However far it got, the selection reaches the bottom of what is shown (a line or so above
    // the edge, where the last line may show in part).
    QVERIFY(m_panel->selectionEnd() >=
            m_panel->positionAt(QPoint(first.center().x(), view->height() - 2 * first.height())));
    QVERIFY(m_panel->selectionEnd() > 4 * 49);

    // The wheel scrolls three lines a notch.
    m_panel->verticalScrollBar()->setValue(0);
    QWheelEvent wheel(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), {}, {0, -120},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    QCOMPARE(m_panel->firstVisibleLine(), QApplication::wheelScrollLines());
}

// Text arriving from a serial line goes to the end: the caret and the selection stay where the
// user has them, or follow the end from it; what arrived is undone as one step.
void TestTextPanel::arrivingText_data()
{
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("anchorAfter");
    QTest::addColumn<int>("caretAfter");

    QTest::newRow("caret at the end follows it") << 5 << 5 << 20 << 20;
    QTest::newRow("caret in the text stays") << 2 << 2 << 2 << 2;
    QTest::newRow("a selection stays") << 0 << 5 << 0 << 5;
}

void TestTextPanel::arrivingText()
{
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(int, anchorAfter);
    QFETCH(int, caretAfter);

    m_panel->setPlainText(u"FF D8"_s);
    m_panel->setCursorPosition(anchor);
    m_panel->setCursorPosition(caret, true);
    QVERIFY(m_panel->append(u" FF E0\r\n00 10"_s));
    QVERIFY(m_panel->append(u" 4A"_s));
    QCOMPARE(m_panel->toPlainText(), u"FF D8 FF E0\n00 10 4A"_s);
    QCOMPARE(m_panel->anchor(), anchorAfter);
    QCOMPARE(m_panel->cursorPosition(), caretAfter);
    m_panel->undo();
    QCOMPARE(m_panel->toPlainText(), u"FF D8"_s);
    // Past the most the panel takes, nothing goes in, and no box says so.
    m_panel->setMaximumLength(8);
    QVERIFY(!m_panel->append(u" FF E0"_s));
    QCOMPARE(m_panel->toPlainText(), u"FF D8"_s);
    m_panel->setMaximumLength(qint64(1) << 30);
}

void TestTextPanel::clipboardAndMenu()
{
    m_panel->setPlainText(u"FF D8"_s);
    // Rich text comes in as its plain text.
    auto *mime = new QMimeData;
    mime->setHtml(u"<p><b>FF</b> D9</p>"_s);
    QApplication::clipboard()->setMimeData(mime);
    m_panel->setCursorPosition(5);
    m_panel->paste();
    QCOMPARE(m_panel->toPlainText(), u"FF D8FF D9"_s);

    // The menu's entries, enabled as they apply.
    m_panel->setCursorPosition(0);
    m_panel->setCursorPosition(2, true);
    std::unique_ptr<QMenu> menu(m_panel->createContextMenu());
    QStringList entries;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            entries << action->text().section(u'\t', 0, 0) +
                           QChar(action->isEnabled() ? u'+' : u'-');
    QCOMPARE(entries, (QStringList{u"撤销(&U)+"_s, u"重做(&R)-"_s, u"剪切(&T)+"_s, u"复制(&C)+"_s,
                                   u"粘贴(&P)+"_s, u"删除+"_s, u"全选+"_s}));
    menu->actions().at(3)->trigger(); // 剪切
    QCOMPARE(QApplication::clipboard()->text(), u"FF"_s);
    QCOMPARE(m_panel->toPlainText(), u" D8FF D9"_s);
}

// Whatever the characters, they are shown, wrapped, walked through and deleted without a crash.
void TestTextPanel::hostileText()
{
    const QString text = QString(QChar(0)) + u"\t\u0301e\u0301\u0301 "_s + QChar(0xD800) +
                         u"שלום עולם "_s + u"\u202E"_s + u"A"_s.repeated(200) + QChar(0xDC00) +
                         u"\U0001F600\u200D\U0001F600"_s;
    m_panel->setPlainText(text);
    QCOMPARE(m_panel->content().lineStarts(), panel::wrapAll(text));
    for (qint64 line = 0; line < m_panel->content().lineCount(); ++line)
        QVERIFY(m_panel->content().lineEnd(line) > m_panel->content().lineStart(line));
    QVERIFY(!m_panel->viewport()->grab().isNull());
    for (int i = 0; i < text.size() + 2; ++i)
        QTest::keyClick(m_panel, Qt::Key_Right);
    QCOMPARE(m_panel->cursorPosition(), text.size());
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_End, Qt::Key_Home, Qt::Key_Down, Qt::Key_Left})
        QTest::keyClick(m_panel, key);
    QTest::keyClick(m_panel, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_panel, Qt::Key_Delete);
    QCOMPARE(m_panel->toPlainText(), QString());
}

// Select all after a paste, with the caret already at the end: the selection is signalled and
// painted, as every change of the caret is (what a screen reader hears of it, e2e_window checks).
void TestTextPanel::selectAllAfterPaste()
{
    struct PaintRecorder : QObject {
        QRegion painted;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent *>(event)->region();
            return false;
        }
    } recorder;
    m_panel->viewport()->installEventFilter(&recorder);

    QApplication::clipboard()->setText(u"FF D8 FF E0 00 10"_s);
    QTest::keyClick(m_panel, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_panel->cursorPosition(), 17);
    QCoreApplication::processEvents();
    recorder.painted = {};
    QSignalSpy selection(m_panel, &TextPanel::selectionChanged);
    QTest::keyClick(m_panel, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::processEvents();

    QCOMPARE(m_panel->selectionStart(), 0);
    QCOMPARE(m_panel->selectionEnd(), 17);
    QCOMPARE(selection.count(), 1);
    QVERIFY(recorder.painted.contains(m_panel->characterRect(0)));
}

QTEST_MAIN(TestTextPanel)
#include "tst_text_panel.moc"
