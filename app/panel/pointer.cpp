#include "pointer.h"

#include "dropped_files.h"
#include "text_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdlib>

namespace panel {

Pointer::Pointer(TextPanel &panel)
    : m_panel(panel)
{
    m_autoScroll.setInterval(kAutoScrollMs);
    QObject::connect(&m_autoScroll, &QTimer::timeout, &m_panel, [this] { autoScroll(); });
}

void Pointer::press(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    m_lastPoint = point;
    if (event->button() == Qt::LeftButton) {
        bool atLineEnd = false;
        const qint64 position = m_panel.positionAt(point, atLineEnd);
        const bool extend = event->modifiers() & Qt::ShiftModifier;
        if (!extend && m_panel.hasSelection() && position >= m_panel.selectionStart() &&
            position < m_panel.selectionEnd()) {
            m_dragPending = true; // a drag of the selection, or a click into it
            m_pressPoint = point;
            return;
        }
        m_panel.moveCaret(position, extend, atLineEnd);
        m_selecting = true;
    } else if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QApplication::clipboard();
        if (clipboard->supportsSelection())
            m_panel.insertFromMime(clipboard->mimeData(QClipboard::Selection),
                                   m_panel.positionAt(point));
    }
}

void Pointer::move(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    m_lastPoint = point;
    if (m_dragPending && (event->buttons() & Qt::LeftButton) &&
        (point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragPending = false;
        startDrag();
        return;
    }
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    if (point.y() < 0 || point.y() >= m_panel.viewport()->height()) {
        if (!m_autoScroll.isActive())
            m_autoScroll.start();
    } else {
        m_autoScroll.stop();
    }
    dragCaretTo(point);
}

void Pointer::release(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_dragPending) {
        m_dragPending = false;
        m_panel.moveCaret(m_panel.positionAt(event->position().toPoint()), false);
    }
    if (m_selecting) {
        m_selecting = false;
        m_autoScroll.stop();
        m_panel.updatePrimarySelection();
    }
}

void Pointer::doubleClick(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragPending = false;
    m_selecting = false;
    m_panel.selectWordAt(m_panel.positionAt(event->position().toPoint()));
}

void Pointer::focusLost()
{
    m_selecting = false;
    m_autoScroll.stop();
}

// A selecting drag held past the top or bottom edge scrolls, faster further out.
void Pointer::autoScroll()
{
    const QPoint at = m_lastPoint;
    const int height = m_panel.viewport()->height();
    const int beyond = at.y() < 0 ? at.y() : at.y() > height ? at.y() - height : 0;
    if (!m_selecting || beyond == 0) {
        m_autoScroll.stop();
        return;
    }
    QScrollBar *bar = m_panel.verticalScrollBar();
    const int step = 1 + std::abs(beyond) / std::max(1, m_panel.m_renderer.lineHeight());
    bar->setValue(bar->value() + (beyond < 0 ? -step : step));
    dragCaretTo(at);
}

// Selecting by dragging: the caret follows the pointer, kept to the rows in view.
void Pointer::dragCaretTo(QPoint point)
{
    bool atLineEnd = false;
    const QPoint inside(
        point.x(), std::clamp(point.y(), Renderer::kTopMargin, m_panel.viewport()->height() - 1));
    const qint64 position = m_panel.positionAt(inside, atLineEnd);
    m_panel.moveCaret(position, true, atLineEnd);
}

// Dragging the selection: a move within the panel, a copy or move to elsewhere.
void Pointer::startDrag()
{
    auto *mime = new QMimeData;
    mime->setText(m_panel.selectedText());
    auto *drag = new QDrag(&m_panel);
    drag->setMimeData(mime);
    m_movedByDrop = false;
    const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (action == Qt::MoveAction && !m_movedByDrop && drag->target() != m_panel.viewport())
        m_panel.deleteSelection();
}

void Pointer::dragEnter(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (m_panel.isReading() || !(mime->hasText() || mime->hasHtml() || mime->hasUrls())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void Pointer::dragMove(QDragMoveEvent *event)
{
    m_dropCaret = m_panel.positionAt(event->position().toPoint());
    m_panel.viewport()->update();
    event->acceptProposedAction();
}

void Pointer::dragLeave()
{
    m_dropCaret = -1;
    m_panel.viewport()->update();
}

// The selection moved within the panel, to position: one step to undo.
void Pointer::moveWithin(qint64 position)
{
    m_movedByDrop = true;
    if (position >= m_panel.selectionStart() && position <= m_panel.selectionEnd())
        return;
    const QString moved = m_panel.selectedText();
    const qint64 from = m_panel.selectionStart();
    if (!m_panel.edit(from, moved.size(), {}, EditKind::Other))
        return;
    const qint64 to = position > from ? position - moved.size() : position;
    if (m_panel.edit(to, 0, moved, EditKind::Other, true))
        m_panel.select(to, m_panel.cursorPosition());
}

void Pointer::drop(QDropEvent *event)
{
    dragLeave();
    const qint64 position = m_panel.positionAt(event->position().toPoint());
    const QMimeData *mime = event->mimeData();
    if (event->source() == &m_panel && event->dropAction() == Qt::MoveAction) {
        event->acceptProposedAction();
        moveWithin(position);
        return;
    }
    const qint64 room =
        m_panel.maximumLength() - (m_panel.content().size() - m_panel.selectionLength());
    if (const std::optional<DroppedText> files = readDroppedFiles(mime, room)) {
        if (!files->refusal.isEmpty())
            emit m_panel.refused(files->refusal);
        if (files->text.isNull()) {
            event->ignore();
            return;
        }
        m_panel.insertAt(files->text, position);
    } else {
        m_panel.insertFromMime(mime, position);
    }
    event->acceptProposedAction();
}

} // namespace panel
