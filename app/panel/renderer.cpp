#include "renderer.h"

#include "motion.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace panel {

Renderer::Renderer(const Document &document)
    : m_document(document)
{
    setFont(m_font);
}

void Renderer::setFont(const QFont &font)
{
    m_font = font;
    const QFontMetrics metrics(font);
    m_lineHeight = std::max(1, metrics.lineSpacing());
    m_cellWidth = metrics.horizontalAdvance(u'0');
    setViewportSize(m_viewport);
}

void Renderer::setViewportSize(QSize size)
{
    m_viewport = size;
    // Centre the 48 cells, leaving room for the caret after the last.
    m_margin = std::clamp((size.width() - kLineCells * m_cellWidth - 1) / 2, 0, 2);
}

int Renderer::visibleLines() const
{
    return std::max(1, (m_viewport.height() - kTopMargin) / std::max(1, m_lineHeight));
}

QPoint Renderer::lineOrigin(qint64 line, qint64 firstLine) const
{
    return {m_margin, kTopMargin + int(line - firstLine) * m_lineHeight};
}

QString Renderer::displayText(qint64 line) const
{
    const qint64 start = m_document.lineStart(line);
    QString shown = m_document.text().sliced(start, m_document.lineEnd(line) - start).toString();
    char16_t *d = reinterpret_cast<char16_t *>(shown.data());
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t c = d[i];
        if (c == u'\t')
            d[i] = u' ';
        else if (c < 0x20)
            d[i] = char16_t(0x2400 + c); // ␀ ␁ …
        else if (c == 0x7f)
            d[i] = 0x2421;
        else if ((c >= 0x80 && c < 0xa0) || c == 0x2028 || c == 0x2029)
            d[i] = QChar::ReplacementCharacter;
        else if (QChar::isHighSurrogate(c) && i + 1 < shown.size() &&
                 QChar::isLowSurrogate(d[i + 1]))
            ++i;
        else if (QChar::isSurrogate(c))
            d[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

void Renderer::layLine(QTextLayout &layout, qint64 line, const CaretMark *caret) const
{
    layout.setText(displayText(line));
    layout.setFont(m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    const Preedit *preedit = caret ? caret->preedit : nullptr;
    if (preedit && !preedit->text.isEmpty() && line == caret->line) {
        const int at = int(caret->position - m_document.lineStart(line));
        layout.setPreeditArea(at, preedit->text);
        QList<QTextLayout::FormatRange> formats;
        for (const QInputMethodEvent::Attribute &a : preedit->attributes) {
            if (a.type != QInputMethodEvent::TextFormat)
                continue;
            const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            if (format.isValid())
                formats.append({at + a.start, a.length, format});
        }
        layout.setFormats(formats);
    }
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    textLine.setPosition({0, 0});
    layout.endLayout();
}

int Renderer::xOf(qint64 position, qint64 line) const
{
    QTextLayout layout;
    layLine(layout, line);
    return int(std::lround(layout.lineAt(0).cursorToX(int(position - m_document.lineStart(line)))));
}

qint64 Renderer::positionAtX(qint64 line, int x, bool &atLineEnd) const
{
    QTextLayout layout;
    layLine(layout, line);
    const qint64 start = m_document.lineStart(line);
    qint64 position = start + layout.lineAt(0).xToCursor(x, QTextLine::CursorBetweenCharacters);
    position = std::min(position, caretEnd(m_document, line));
    atLineEnd = atSeam(m_document, line, position);
    return position;
}

qint64 Renderer::positionAt(QPoint point, qint64 firstLine, bool &atLineEnd) const
{
    const qint64 line = std::clamp<qint64>(
        firstLine + qint64(std::floor(double(point.y() - kTopMargin) / double(m_lineHeight))), 0,
        m_document.lineCount() - 1);
    return positionAtX(line, point.x() - m_margin, atLineEnd);
}

QRect Renderer::caretRect(const CaretMark &caret, qint64 firstLine) const
{
    QTextLayout layout;
    layLine(layout, caret.line, &caret);
    int at = int(caret.position - m_document.lineStart(caret.line));
    if (caret.preedit && !caret.preedit->text.isEmpty())
        at += caret.preedit->caret;
    const QPoint origin = lineOrigin(caret.line, firstLine);
    const int x = int(std::lround(layout.lineAt(0).cursorToX(at)));
    return {origin.x() + x, origin.y(), 1, m_lineHeight};
}

QRect Renderer::characterRect(qint64 position, qint64 firstLine) const
{
    const qint64 line = m_document.lineAt(position);
    const QPoint origin = lineOrigin(line, firstLine);
    if (origin.y() + m_lineHeight <= 0 || origin.y() >= m_viewport.height())
        return {};
    QTextLayout layout;
    layLine(layout, line);
    const QTextLine textLine = layout.lineAt(0);
    const int at = int(position - m_document.lineStart(line));
    const qreal left = textLine.cursorToX(at);
    const qreal right = at < layout.text().size() ? textLine.cursorToX(at + 1) : left + 1;
    return QRectF(origin.x() + std::min(left, right), origin.y(),
                  std::max<qreal>(1, std::abs(right - left)), m_lineHeight)
        .toRect();
}

void Renderer::paint(QPainter &painter, const QRect &clip, const QPalette &colours,
                     qint64 firstLine, const Marks &marks) const
{
    painter.setPen(colours.color(QPalette::Text));
    const qint64 selStart = marks.selectionStart, selEnd = marks.selectionEnd;
    const Preedit *preedit = marks.caret.preedit;
    const bool composing = preedit && !preedit->text.isEmpty();
    const qint64 dropLine =
        marks.dropCaret >= 0 ? displayLine(m_document, marks.dropCaret, false) : -1;
    const QStringView t = m_document.text();

    for (qint64 line = firstLine; line < m_document.lineCount(); ++line) {
        const QPoint origin = lineOrigin(line, firstLine);
        if (origin.y() > clip.bottom())
            break;
        if (origin.y() + m_lineHeight <= clip.top())
            continue;
        QTextLayout layout;
        layLine(layout, line, &marks.caret);
        const qint64 start = m_document.lineStart(line), end = m_document.lineEnd(line);
        QList<QTextLayout::FormatRange> selection;
        if (selStart < selEnd && !composing) {
            QTextCharFormat selected;
            selected.setBackground(colours.brush(QPalette::Highlight));
            selected.setForeground(colours.brush(QPalette::HighlightedText));
            const qint64 from = std::max(selStart, start), to = std::min(selEnd, end);
            if (from < to)
                selection.append({int(from - start), int(to - from), selected});
            // A selected line break shows as a cell of highlight after the line's text.
            if (end < t.size() && t[end] == u'\n' && selStart <= end && selEnd > end) {
                const int x = int(layout.lineAt(0).naturalTextWidth());
                painter.fillRect(QRect(origin.x() + x, origin.y(), m_cellWidth, m_lineHeight),
                                 colours.brush(QPalette::Highlight));
            }
        }
        layout.draw(&painter, origin, selection, clip);
        if (line == marks.caret.line && marks.caretShown) {
            int at = int(marks.caret.position - start);
            if (composing) {
                at += preedit->caret;
                if (!preedit->caretVisible)
                    at = -1;
            }
            if (at >= 0)
                layout.drawCursor(&painter, origin, at, 1);
        }
        if (line == dropLine)
            layout.drawCursor(&painter, origin, int(marks.dropCaret - start), 1);
    }
}

} // namespace panel
