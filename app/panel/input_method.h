#pragma once

// Input methods on the text panel: what they commit goes in as typing, what they compose is shown
// at the caret until it is committed (the renderer draws it), and their questions about the text
// around the caret are answered from no more than the caret's paragraph.

#include "renderer.h"

#include <QVariant>

class QInputMethodEvent;
class TextPanel;

namespace panel {

class InputMethod {
public:
    explicit InputMethod(TextPanel &panel);

    void event(QInputMethodEvent *event);
    // The answer, or an invalid variant where the widget's own answer holds.
    QVariant query(Qt::InputMethodQuery query) const;
    const Preedit &preedit() const { return m_preedit; }

private:
    // Text an input method is given around the caret, each way.
    static constexpr qint64 kSurroundingText = 512;

    TextPanel &m_panel;
    Preedit m_preedit;
};

} // namespace panel
