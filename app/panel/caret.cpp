#include "caret.h"

namespace panel {

CaretChange Caret::moveTo(qint64 position, bool keepAnchor, bool atLineEnd)
{
    return set(position, keepAnchor ? m_anchor : position, atLineEnd);
}

CaretChange Caret::select(qint64 anchor, qint64 position)
{
    return set(position, anchor, false);
}

CaretChange Caret::afterEdit(qint64 position)
{
    const bool hadSelection = hasSelection();
    set(position, position, false);
    return {true, true, false, hadSelection};
}

CaretChange Caret::set(qint64 position, qint64 anchor, bool atLineEnd)
{
    CaretChange change;
    change.moved = position != m_position;
    change.anchorMoved = anchor != m_anchor;
    change.seamMoved = atLineEnd != m_atLineEnd;
    const bool hadSelection = hasSelection();
    const qint64 oldStart = selectionStart(), oldEnd = selectionEnd();
    m_position = position;
    m_anchor = anchor;
    m_atLineEnd = atLineEnd;
    m_preferredX = -1;
    change.selectionChanged = (hadSelection || hasSelection()) &&
                              (selectionStart() != oldStart || selectionEnd() != oldEnd);
    return change;
}

} // namespace panel
