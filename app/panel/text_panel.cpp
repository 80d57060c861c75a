#include "text_panel.h"

#include "accessible.h"
#include "dropped_files.h"
#include "input_method.h"
#include "motion.h"
#include "pointer.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextDocumentFragment>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;
using panel::EditKind;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(TextPanel)
};

// The most characters the panel takes unless told otherwise: the dump of a 340 MiB photo.
constexpr qint64 kDefaultMaximumLength = qint64(1) << 30;

// The text with LF for every line break, as the panel keeps it: a view of text itself where it has
// no CR, else of storage.
QStringView withLineFeeds(QStringView text, QString &storage)
{
    if (!text.contains(u'\r'))
        return text;
    storage = panel::normalizeLineBreaks(text);
    return storage;
}

} // namespace

TextPanel::TextPanel(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_pointer(std::make_unique<panel::Pointer>(*this))
    , m_input(std::make_unique<panel::InputMethod>(*this))
    , m_maximumLength(kDefaultMaximumLength)
{
    TextPanelAccessible::install();
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setAccessibleName(Words::tr("文本框"));
    updateMetrics();
}

TextPanel::~TextPanel() = default;

// ---------------------------------------------------------------------------------------------
// Text

void TextPanel::setPlainText(QStringView text)
{
    if (m_readers > 0)
        return;
    QString storage;
    const QStringView content = withLineFeeds(text, storage);
    const qint64 removed = m_document.size();
    if (!fits(removed, content.size()))
        return;
    const QString old = QAccessible::isActive() ? toPlainText() : QString();
    if (!m_document.reset(content)) {
        refuseMemory(content.size());
        return;
    }
    const panel::Change change{0, removed, content.size()};
    showChange(m_caret.afterEdit(content.size()), &change, old);
    setCursorPosition(0);
}

void TextPanel::clear()
{
    setPlainText({});
}

QString TextPanel::selectedText() const
{
    return text().sliced(selectionStart(), selectionLength()).toString();
}

bool TextPanel::insertPlainText(QStringView text)
{
    return edit(selectionStart(), selectionLength(), text, EditKind::Other);
}

bool TextPanel::append(QStringView text)
{
    QString storage;
    text = withLineFeeds(text, storage);
    const qint64 end = m_document.size();
    if (m_readers > 0 || text.isEmpty() || end + text.size() > m_maximumLength)
        return false;
    const bool follow = cursorPosition() == end && anchor() == end;
    const int scrolled = verticalScrollBar()->value();
    if (!m_document.replace(end, 0, text, EditKind::Typing, false))
        return false;
    const panel::Change change{end, 0, text.size()};
    if (follow) {
        showChange(m_caret.afterEdit(end + text.size()), &change);
        return true;
    }
    // The caret and the view stay where the user has them.
    updateScrollBar();
    verticalScrollBar()->setValue(scrolled);
    viewport()->update();
    emit textChanged();
    notifyAccessibility(&change);
    return true;
}

bool TextPanel::fits(qint64 removed, qint64 inserted)
{
    const qint64 size = m_document.size() - removed + inserted;
    if (size <= m_maximumLength)
        return true;
    emit refused(
        Words::tr(
            "文本太大，无法放入文本框：需要 %1 个字符，最多 %2 个。\n文本框中的内容保持不变。")
            .arg(size)
            .arg(m_maximumLength));
    return false;
}

bool TextPanel::edit(qint64 position, qint64 length, QStringView text, EditKind kind,
                     bool joinWithLast)
{
    QString storage;
    text = withLineFeeds(text, storage);
    if (m_readers > 0 || (length == 0 && text.isEmpty()))
        return false;
    if (!fits(length, text.size()))
        return false;
    // Assistive technology hears what went as well as what came.
    const QString removed =
        QAccessible::isActive() ? this->text().sliced(position, length).toString() : QString();
    if (!m_document.replace(position, length, text, kind, joinWithLast)) {
        refuseMemory(text.size());
        return false;
    }
    const panel::Change change{position, length, text.size()};
    showChange(m_caret.afterEdit(position + text.size()), &change, removed);
    return true;
}

void TextPanel::typeText(QStringView text)
{
    // What replaces a selection starts a step of its own; typing after it joins that step.
    edit(selectionStart(), selectionLength(), text, EditKind::Typing);
}

void TextPanel::deleteBackward(bool word)
{
    if (hasSelection()) {
        deleteSelection();
        return;
    }
    const qint64 caret = cursorPosition();
    qint64 from = caret;
    if (word) {
        from = panel::previousWord(text(), caret);
    } else if (caret > 0) {
        // One character back, a surrogate pair as one: a mark goes without its base.
        from = caret - 1;
        if (panel::splitsPair(text(), from))
            --from;
    }
    edit(from, caret - from, {}, word ? EditKind::Other : EditKind::Deleting);
}

void TextPanel::deleteForward(bool word)
{
    if (hasSelection()) {
        deleteSelection();
        return;
    }
    const qint64 caret = cursorPosition();
    const qint64 to = word ? panel::nextWord(text(), caret) : panel::nextCharacter(text(), caret);
    edit(caret, to - caret, {}, word ? EditKind::Other : EditKind::Deleting);
}

void TextPanel::undo()
{
    if (m_readers > 0)
        return;
    if (const auto change = m_document.undo())
        showChange(m_caret.afterEdit(change->position + change->inserted), &*change,
                   m_document.lastRemoved(true));
}

void TextPanel::redo()
{
    if (m_readers > 0)
        return;
    if (const auto change = m_document.redo())
        showChange(m_caret.afterEdit(change->position + change->inserted), &*change,
                   m_document.lastRemoved(false));
}

void TextPanel::cut()
{
    if (!hasSelection() || m_readers > 0)
        return;
    copy();
    deleteSelection();
}

void TextPanel::copy() const
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void TextPanel::paste()
{
    insertFromMime(QApplication::clipboard()->mimeData(QClipboard::Clipboard), -1);
}

void TextPanel::selectAll()
{
    select(0, m_document.size());
    updatePrimarySelection();
}

void TextPanel::deleteSelection()
{
    if (hasSelection())
        edit(selectionStart(), selectionLength(), {}, EditKind::Other);
}

// Plain text only: rich text comes in as its plain text. position < 0: at the caret, over the
// selection; else at position, and the inserted text is left selected, as a drop leaves it.
void TextPanel::insertFromMime(const QMimeData *mime, qint64 position)
{
    if (!mime)
        return;
    if (mime->hasText())
        insertAt(mime->text(), position);
    else if (mime->hasHtml())
        insertAt(QTextDocumentFragment::fromHtml(mime->html()).toPlainText(), position);
}

void TextPanel::insertAt(const QString &text, qint64 position)
{
    if (m_readers > 0)
        return;
    if (position < 0) {
        insertPlainText(text);
        return;
    }
    moveCaret(position, false);
    if (insertPlainText(text))
        select(position, cursorPosition());
}

// ---------------------------------------------------------------------------------------------
// Showing a change

void TextPanel::showChange(const panel::CaretChange &caret, const panel::Change *text,
                           QStringView removed)
{
    if (text)
        updateScrollBar();
    ensureCaretVisible();
    resetBlink();
    if (text || caret.any())
        viewport()->update();
    if (text)
        emit textChanged();
    if (caret.moved)
        emit cursorPositionChanged();
    if (caret.selectionChanged)
        emit selectionChanged();
    if (text || caret.moved || caret.anchorMoved)
        notifyAccessibility(text, removed);
    updateMicroFocus();
}

// Only the changed text goes out, so that a keystroke costs a screen reader no more than the
// keystroke, whatever the panel holds.
void TextPanel::notifyAccessibility(const panel::Change *change, QStringView removed)
{
    if (!QAccessible::isActive())
        return;
    if (change) {
        const int at = panel::clampedToInt(change->position);
        const QString inserted = text().sliced(change->position, change->inserted).toString();
        if (change->removed == 0) {
            QAccessibleTextInsertEvent event(this, at, inserted);
            QAccessible::updateAccessibility(&event);
        } else if (change->inserted == 0) {
            QAccessibleTextRemoveEvent event(this, at, removed.toString());
            QAccessible::updateAccessibility(&event);
        } else {
            QAccessibleTextUpdateEvent event(this, at, removed.toString(), inserted);
            QAccessible::updateAccessibility(&event);
        }
    }
    QAccessibleTextCursorEvent cursor(this, panel::clampedToInt(cursorPosition()));
    QAccessible::updateAccessibility(&cursor);
    if (hasSelection()) {
        QAccessibleTextSelectionEvent selection(this, panel::clampedToInt(selectionStart()),
                                                panel::clampedToInt(selectionEnd()));
        QAccessible::updateAccessibility(&selection);
    }
}

void TextPanel::resetBlink()
{
    m_caretShown = hasFocus();
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
}

void TextPanel::ensureCaretVisible()
{
    QScrollBar *bar = verticalScrollBar();
    const qint64 line = caretLine();
    const int visible = m_renderer.visibleLines();
    if (line < bar->value())
        bar->setValue(int(line));
    else if (line >= bar->value() + visible)
        bar->setValue(int(line - visible + 1));
}

void TextPanel::updateScrollBar()
{
    QScrollBar *bar = verticalScrollBar();
    const int page = m_renderer.visibleLines();
    const qint64 last = std::max<qint64>(0, m_document.lineCount() - page);
    bar->setRange(0, int(std::min<qint64>(last, std::numeric_limits<int>::max())));
    bar->setPageStep(page);
    bar->setSingleStep(1);
}

void TextPanel::updateMetrics()
{
    m_renderer.setFont(font());
    m_renderer.setViewportSize(viewport()->size());
    updateScrollBar();
}

void TextPanel::refuseMemory(qint64 characters)
{
    emit refused(Words::tr("内存不足，无法放入 %1 个字符的文本。\n文本框中的内容保持不变。")
                     .arg(characters));
}

// ---------------------------------------------------------------------------------------------
// Lines and geometry: the renderer's, with the lines in view and the caret as they stand

qint64 TextPanel::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

qint64 TextPanel::caretLine() const
{
    return panel::displayLine(m_document, cursorPosition(), m_caret.atLineEnd());
}

panel::CaretMark TextPanel::caretMark() const
{
    return {cursorPosition(), caretLine(), &m_input->preedit()};
}

QRect TextPanel::caretRect() const
{
    return m_renderer.caretRect(caretMark(), firstVisibleLine());
}

qint64 TextPanel::positionAt(QPoint point) const
{
    bool atLineEnd = false;
    return positionAt(point, atLineEnd);
}

qint64 TextPanel::positionAt(QPoint point, bool &atLineEnd) const
{
    return m_renderer.positionAt(point, firstVisibleLine(), atLineEnd);
}

QRect TextPanel::characterRect(qint64 position) const
{
    return m_renderer.characterRect(position, firstVisibleLine());
}

// ---------------------------------------------------------------------------------------------
// Painting

// The frame of a text field as the style draws it, showing whether the panel has the focus.
void TextPanel::paintFrame()
{
    QPainter painter(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = rect();
    option.lineWidth = frameWidth();
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, this);
}

void TextPanel::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    panel::Marks marks;
    marks.caret = caretMark();
    marks.caretShown = m_caretShown && hasFocus();
    marks.selectionStart = selectionStart();
    marks.selectionEnd = selectionEnd();
    marks.dropCaret = m_pointer->dropCaret();
    m_renderer.paint(painter, event->rect(), palette(), firstVisibleLine(), marks);
}

void TextPanel::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
}

void TextPanel::scrollContentsBy(int, int)
{
    viewport()->update();
    updateMicroFocus();
}

void TextPanel::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateMetrics();
        viewport()->update();
    }
}

void TextPanel::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blink.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

// ---------------------------------------------------------------------------------------------
// The menu, the focus, and the events the pointer and the input method take

QMenu *TextPanel::createContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const bool editable = m_readers == 0;
    const QMimeData *clipboard = QApplication::clipboard()->mimeData();
    const bool canPaste = editable && clipboard && (clipboard->hasText() || clipboard->hasHtml());
    auto add = [&](const QString &text, QKeySequence::StandardKey key, bool enabled, auto slot) {
        QString label = text;
        if (key != QKeySequence::UnknownKey)
            label += u'\t' + QKeySequence(key).toString(QKeySequence::NativeText);
        QAction *action = menu->addAction(label, this, slot);
        action->setEnabled(enabled);
    };
    add(Words::tr("撤销(&U)"), QKeySequence::Undo, editable && m_document.canUndo(),
        &TextPanel::undo);
    add(Words::tr("重做(&R)"), QKeySequence::Redo, editable && m_document.canRedo(),
        &TextPanel::redo);
    menu->addSeparator();
    add(Words::tr("剪切(&T)"), QKeySequence::Cut, editable && hasSelection(), &TextPanel::cut);
    add(Words::tr("复制(&C)"), QKeySequence::Copy, hasSelection(), &TextPanel::copy);
    add(Words::tr("粘贴(&P)"), QKeySequence::Paste, canPaste, &TextPanel::paste);
    add(Words::tr("删除"), QKeySequence::UnknownKey, editable && hasSelection(),
        &TextPanel::deleteSelection);
    menu->addSeparator();
    add(Words::tr("全选"), QKeySequence::SelectAll,
        m_document.size() > 0 && selectionLength() < m_document.size(), &TextPanel::selectAll);
    bool separated = false;
    for (QAction *action : std::as_const(m_menuActions)) {
        if (!action->isVisible())
            continue;
        if (!std::exchange(separated, true))
            menu->addSeparator();
        menu->addAction(action);
    }
    return menu;
}

void TextPanel::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TextPanel::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    resetBlink();
    viewport()->update();
    update(); // the frame shows the focus
}

void TextPanel::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    m_caretShown = false;
    m_pointer->focusLost();
    viewport()->update();
    update();
}

void TextPanel::mousePressEvent(QMouseEvent *event)
{
    m_pointer->press(event);
}

void TextPanel::mouseMoveEvent(QMouseEvent *event)
{
    m_pointer->move(event);
}

void TextPanel::mouseReleaseEvent(QMouseEvent *event)
{
    m_pointer->release(event);
}

void TextPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_pointer->doubleClick(event);
}

void TextPanel::dragEnterEvent(QDragEnterEvent *event)
{
    m_pointer->dragEnter(event);
}

void TextPanel::dragMoveEvent(QDragMoveEvent *event)
{
    m_pointer->dragMove(event);
}

void TextPanel::dragLeaveEvent(QDragLeaveEvent *)
{
    m_pointer->dragLeave();
}

void TextPanel::dropEvent(QDropEvent *event)
{
    m_pointer->drop(event);
}

void TextPanel::inputMethodEvent(QInputMethodEvent *event)
{
    m_input->event(event);
}

QVariant TextPanel::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QVariant answer = m_input->query(query);
    return answer.isValid() ? answer : QAbstractScrollArea::inputMethodQuery(query);
}
