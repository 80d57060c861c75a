// The text panel's layout without a widget: the wrap rule, and the renderer's geometry over a
// document, which every click, drag and caret rectangle of the panel goes by.

#include "document.h"
#include "renderer.h"

#include <QGuiApplication>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList wrapped(const QString &text)
{
    const std::vector<qint64> starts = panel::wrapAll(text);
    QStringList lines;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const qint64 end = i + 1 < starts.size() ? starts[i + 1] : text.size();
        lines << text.mid(starts[i], end - starts[i]);
    }
    return lines;
}

} // namespace

class TestPanelLayout : public QObject {
    Q_OBJECT

private slots:
    void wrapRule_data();
    void wrapRule();
    void geometry_data();
    void geometry();
};

void TestPanelLayout::wrapRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    const QString a48 = u"A"_s.repeated(48);
    QTest::newRow("48 cells fill a line") << a48 << QStringList{a48};
    QTest::newRow("the 49th cell starts the next") << a48 + u"B"_s << QStringList{a48, u"B"_s};
    QTest::newRow("after the last blank that fits")
        << u"FF "_s.repeated(16) + u"D8"_s << QStringList{u"FF "_s.repeated(16), u"D8"_s};
    QTest::newRow("a word that does not fit moves down")
        << u"AB "_s.repeated(15) + u"CDEF"_s << QStringList{u"AB "_s.repeated(15), u"CDEF"_s};
    QTest::newRow("a blank at the limit stays")
        << a48 + u" B"_s << QStringList{a48 + u" "_s, u"B"_s};
    QTest::newRow("and so does a line break after it")
        << a48 + u" \nB"_s << QStringList{a48 + u" \n"_s, u"B"_s};
    QTest::newRow("a run without blanks breaks at the limit")
        << u"0"_s.repeated(100) << QStringList{u"0"_s.repeated(48), u"0"_s.repeated(48), u"0000"_s};
    QTest::newRow("full-width characters take two cells")
        << u"图"_s.repeated(25) << QStringList{u"图"_s.repeated(24), u"图"_s};
    QTest::newRow("one cell left is too little for a wide one")
        << u"A"_s.repeated(47) + u"图"_s << QStringList{u"A"_s.repeated(47), u"图"_s};
    QTest::newRow("a pair outside the BMP is one character")
        << u"\U0001F600"_s.repeated(25)
        << QStringList{u"\U0001F600"_s.repeated(24), u"\U0001F600"_s};
    QTest::newRow("line breaks start lines")
        << u"FF D8\nFF D9\n"_s << QStringList{u"FF D8\n"_s, u"FF D9\n"_s, QString()};
    QTest::newRow("empty") << QString() << QStringList{QString()};
}

void TestPanelLayout::wrapRule()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(wrapped(text), lines);
}

void TestPanelLayout::geometry_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("a dump of pairs") << u"FF D8 FF E0 00 10 4A 46 49 46 00 01 "_s.repeated(9);
    QTest::newRow("a run without blanks") << u"0123456789ABCDEF"_s.repeated(8);
    QTest::newRow("lines of a log") << u"12:00:01 FF D8\n12:00:02 FF D9\n\n"_s.repeated(3);
    QTest::newRow("full-width and a pair outside the BMP")
        << u"图片\U0001F600 FF D8 "_s.repeated(10);
}

// Each character's rectangle lies on its own visual line, in order along it, and the point at its
// centre leads back to it: a click lands where the caret is drawn.
void TestPanelLayout::geometry()
{
    QFETCH(QString, text);

    panel::Document document;
    QVERIFY(document.reset(text));
    panel::Renderer renderer(document);
    renderer.setFont(QFont(u"AR PL UMing CN"_s, 9));
    renderer.setViewportSize({292, 365});
    QCOMPARE(renderer.visibleLines(), (365 - 1) / renderer.lineHeight());

    int previousRight = -1;
    qint64 previousLine = -1;
    for (qint64 p = 0; p < text.size(); ++p) {
        if (text[p] == u'\n' || text[p].isLowSurrogate())
            continue;
        const qint64 line = document.lineAt(p);
        const QRect rect = renderer.characterRect(p, 0);
        if (line >= renderer.visibleLines()) {
            QVERIFY(rect.isNull());
            continue;
        }
        QCOMPARE(rect.top(), renderer.lineOrigin(line, 0).y());
        if (line == previousLine)
            QVERIFY2(rect.left() >= previousRight, qPrintable(u"at %1"_s.arg(p)));
        previousLine = line;
        previousRight = rect.right();
        bool atLineEnd = false;
        QCOMPARE(renderer.positionAt(rect.center(), 0, atLineEnd), p);
        // Scrolled down a line, the same character stands a line higher.
        if (line > 0)
            QCOMPARE(renderer.characterRect(p, 1).top(), rect.top() - renderer.lineHeight());
    }
}

QTEST_MAIN(TestPanelLayout)
#include "tst_panel_layout.moc"
