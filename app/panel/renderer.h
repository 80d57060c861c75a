#pragma once

// How the text panel's lines look: the metrics of its font, the layout of a visual line, where a
// character stands and which character stands at a point, and the painting of the lines in view
// with the caret, the selection, a composition under way and where a drop would go. It only reads
// the document, and needs no widget: given a font and a viewport size, it answers for any line.

#include "document.h"

#include <QFont>
#include <QInputMethodEvent>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;
class QPalette;
class QTextLayout;

namespace panel {

// A composition that an input method has under way, shown at the caret.
struct Preedit {
    QString text;
    QList<QInputMethodEvent::Attribute> attributes;
    int caret = 0; // within text
    bool caretVisible = true;
};

// Where the caret stands, on which visual line, and what is being composed there.
struct CaretMark {
    qint64 position = 0;
    qint64 line = 0;
    const Preedit *preedit = nullptr;
};

// What is drawn over the text.
struct Marks {
    CaretMark caret;
    bool caretShown = false;
    qint64 selectionStart = 0, selectionEnd = 0;
    qint64 dropCaret = -1; // where a drag over the panel would drop, or -1
};

class Renderer {
public:
    static constexpr int kTopMargin = 1;

    explicit Renderer(const Document &document);

    void setFont(const QFont &font);
    void setViewportSize(QSize size);

    const QFont &font() const { return m_font; }
    int lineHeight() const { return m_lineHeight; }
    int cellWidth() const { return m_cellWidth; } // a half-width character's advance
    // The visual lines that fit the viewport, at least one.
    int visibleLines() const;

    // The top-left corner of a line, with firstLine at the top of the viewport.
    QPoint lineOrigin(qint64 line, qint64 firstLine) const;
    // A line's characters as drawn, one for one: control characters and broken surrogates get a
    // visible sign, so that every character takes a place on the line.
    QString displayText(qint64 line) const;
    // A line laid out, with the composition at the caret where it stands on this line.
    void layLine(QTextLayout &layout, qint64 line, const CaretMark *caret = nullptr) const;

    int xOf(qint64 position, qint64 line) const;
    qint64 positionAtX(qint64 line, int x, bool &atLineEnd) const;
    // The character position under a point of the viewport.
    qint64 positionAt(QPoint point, qint64 firstLine, bool &atLineEnd) const;
    // The caret's rectangle (also where an input method puts its candidates).
    QRect caretRect(const CaretMark &caret, qint64 firstLine) const;
    // A character's rectangle, null when its line is out of view.
    QRect characterRect(qint64 position, qint64 firstLine) const;

    void paint(QPainter &painter, const QRect &clip, const QPalette &colours, qint64 firstLine,
               const Marks &marks) const;

private:
    const Document &m_document;
    QFont m_font;
    QSize m_viewport;
    int m_lineHeight = 12;
    int m_cellWidth = 6;
    int m_margin = 2;
};

} // namespace panel
