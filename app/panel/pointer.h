#pragma once

// The pointer over the text panel: selecting with the mouse, scrolling on while a selecting drag
// is held past the top or bottom edge, a double click on a word, the middle click that pastes the
// primary selection, dragging the selection away, and what is dropped on the panel (text, or the
// local files a drop carries, read by dropped_files.h).

#include <QPoint>
#include <QTimer>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMouseEvent;
class TextPanel;

namespace panel {

class Pointer {
public:
    explicit Pointer(TextPanel &panel);

    void press(QMouseEvent *event);
    void move(QMouseEvent *event);
    void release(QMouseEvent *event);
    void doubleClick(QMouseEvent *event);
    void focusLost(); // a selecting drag ends with the focus

    void dragEnter(QDragEnterEvent *event);
    void dragMove(QDragMoveEvent *event);
    void dragLeave();
    void drop(QDropEvent *event);
    // Where a drag over the panel would drop, or -1.
    qint64 dropCaret() const { return m_dropCaret; }

private:
    static constexpr int kAutoScrollMs = 50;

    void autoScroll();
    void dragCaretTo(QPoint point);
    void startDrag();
    void moveWithin(qint64 position);

    TextPanel &m_panel;
    bool m_selecting = false;   // a drag that selects
    bool m_dragPending = false; // a press inside the selection, maybe the start of a drag
    bool m_movedByDrop = false; // the last drag from here was dropped here, as a move
    QPoint m_pressPoint;
    QPoint m_lastPoint;
    QTimer m_autoScroll;
    qint64 m_dropCaret = -1;
};

} // namespace panel
