#include "input_method.h"

#include "text_panel.h"

#include <QInputMethodEvent>

#include <algorithm>

namespace panel {

InputMethod::InputMethod(TextPanel &panel)
    : m_panel(panel)
{
}

void InputMethod::event(QInputMethodEvent *event)
{
    if (m_panel.isReading()) {
        event->ignore();
        return;
    }
    const qint64 caret = m_panel.cursorPosition(), size = m_panel.content().size();
    qint64 from = m_panel.selectionStart(), length = m_panel.selectionLength();
    if (event->replacementLength() > 0 || event->replacementStart() != 0) {
        from = std::clamp<qint64>(caret + event->replacementStart(), 0, size);
        length = std::clamp<qint64>(event->replacementLength(), 0, size - from);
    }
    const QString commit = event->commitString();
    if (!commit.isEmpty() || length > 0)
        m_panel.edit(from, length, commit, EditKind::Typing);
    else if (!event->preeditString().isEmpty() && m_panel.hasSelection())
        m_panel.deleteSelection(); // composing replaces the selection

    m_preedit.text = event->preeditString();
    m_preedit.attributes = event->attributes();
    m_preedit.caret = int(m_preedit.text.size());
    m_preedit.caretVisible = true;
    for (const QInputMethodEvent::Attribute &a : event->attributes()) {
        if (a.type == QInputMethodEvent::Cursor) {
            m_preedit.caret = std::clamp(a.start, 0, int(m_preedit.text.size()));
            m_preedit.caretVisible = a.length != 0;
        }
    }
    m_panel.resetBlink();
    m_panel.viewport()->update();
    m_panel.updateMicroFocus();
    event->accept();
}

QVariant InputMethod::query(Qt::InputMethodQuery query) const
{
    const QStringView t = m_panel.text();
    const qint64 caret = m_panel.cursorPosition();
    // The surrounding text: the caret's paragraph, no more than kSurroundingText each way.
    auto paragraphFrom = [&] {
        qint64 p = caret;
        while (p > 0 && caret - p < kSurroundingText && t[p - 1] != u'\n')
            --p;
        return p;
    };
    auto paragraphTo = [&] {
        qint64 p = caret;
        while (p < t.size() && p - caret < kSurroundingText && t[p] != u'\n')
            ++p;
        return p;
    };
    switch (query) {
    case Qt::ImEnabled:
        return !m_panel.isReading();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle:
        return m_panel.caretRect().translated(m_panel.viewport()->pos());
    case Qt::ImFont:
        return m_panel.font();
    case Qt::ImAbsolutePosition:
        return clampedToInt(caret);
    case Qt::ImCursorPosition:
        return clampedToInt(caret - paragraphFrom());
    case Qt::ImAnchorPosition:
        return clampedToInt(std::clamp(m_panel.anchor(), paragraphFrom(), paragraphTo()) -
                            paragraphFrom());
    case Qt::ImSurroundingText: {
        const qint64 from = paragraphFrom();
        return t.sliced(from, paragraphTo() - from).toString();
    }
    case Qt::ImTextBeforeCursor: {
        const qint64 from = paragraphFrom();
        return t.sliced(from, caret - from).toString();
    }
    case Qt::ImTextAfterCursor:
        return t.sliced(caret, paragraphTo() - caret).toString();
    case Qt::ImCurrentSelection: // for reconversion; a whole photo's dump is of no use there
        return t
            .sliced(m_panel.selectionStart(),
                    std::min(m_panel.selectionLength(), 2 * kSurroundingText))
            .toString();
    case Qt::ImMaximumTextLength:
        return clampedToInt(m_panel.maximumLength());
    case Qt::ImReadOnly:
        return m_panel.isReading();
    default:
        return {};
    }
}

} // namespace panel
