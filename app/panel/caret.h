#pragma once

// The caret and the selection of the text panel, with the one place that writes them: every move
// returns what it changed, and the panel turns that into repaints, signals and what assistive
// technology hears (TextPanel::showChange). QtCore only.

#include <QtGlobal>

#include <algorithm>

namespace panel {

// What a move of the caret changed.
struct CaretChange {
    bool moved = false;            // the caret's position
    bool anchorMoved = false;      // the selection's other end
    bool seamMoved = false;        // which side of a wrapped line's seam the caret shows on
    bool selectionChanged = false; // the range selected, where there is or was one

    bool any() const { return moved || anchorMoved || seamMoved || selectionChanged; }
};

class Caret {
public:
    qint64 position() const { return m_position; }
    qint64 anchor() const { return m_anchor; }
    // The caret sits at the end of a wrapped line, not at the next one's start.
    bool atLineEnd() const { return m_atLineEnd; }

    bool hasSelection() const { return m_position != m_anchor; }
    qint64 selectionStart() const { return std::min(m_position, m_anchor); }
    qint64 selectionEnd() const { return std::max(m_position, m_anchor); }
    qint64 selectionLength() const { return selectionEnd() - selectionStart(); }

    // Where a run of moves up and down keeps to; -1 when no such run is under way.
    int preferredX() const { return m_preferredX; }
    void keepPreferredX(int x) { m_preferredX = x; }

    // The caret to position, the anchor with it unless kept.
    CaretChange moveTo(qint64 position, bool keepAnchor, bool atLineEnd = false);
    // anchor to position selected, the caret at position.
    CaretChange select(qint64 anchor, qint64 position);
    // After the text changed: the caret after the changed text, nothing selected. The caret's
    // place in the text changed whether or not its number did.
    CaretChange afterEdit(qint64 position);

private:
    CaretChange set(qint64 position, qint64 anchor, bool atLineEnd);

    qint64 m_position = 0;
    qint64 m_anchor = 0;
    bool m_atLineEnd = false;
    int m_preferredX = -1;
};

} // namespace panel
