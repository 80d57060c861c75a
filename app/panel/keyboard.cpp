// The text panel's keys, and the moves of the caret that keys, the program and the pointer make.

#include "motion.h"
#include "text_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

bool isPrintable(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c.category() == QChar::Other_Control && c != u'\t')
            return false;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Moves

void TextPanel::setCursorPosition(qint64 position, bool keepAnchor)
{
    moveCaret(std::clamp<qint64>(position, 0, m_document.size()), keepAnchor);
}

void TextPanel::moveCaret(qint64 position, bool keepAnchor, bool atLineEnd)
{
    if (panel::splitsPair(text(), position))
        --position;
    m_document.closeStep();
    showChange(m_caret.moveTo(position, keepAnchor, atLineEnd));
}

void TextPanel::select(qint64 anchor, qint64 position)
{
    m_document.closeStep();
    showChange(m_caret.select(anchor, position));
}

void TextPanel::selectWordAt(qint64 position)
{
    if (text().isEmpty())
        return;
    const panel::Span word = panel::wordAt(text(), position);
    select(word.start, word.end);
    updatePrimarySelection();
}

// On X11, the primary selection follows what is selected: a middle click elsewhere pastes it.
void TextPanel::updatePrimarySelection() const
{
    QClipboard *clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void TextPanel::moveBy(Move move, bool keepAnchor)
{
    if (!keepAnchor && hasSelection() && (move == Move::NextChar || move == Move::PreviousChar)) {
        // An arrow collapses the selection to its end on that side.
        moveCaret(move == Move::NextChar ? selectionEnd() : selectionStart(), false);
        return;
    }
    const bool page = move == Move::NextPage || move == Move::PreviousPage;
    const bool vertical = page || move == Move::NextLine || move == Move::PreviousLine;
    bool atLineEnd = false;
    const qint64 to = target(move, atLineEnd);
    const int x = m_caret.preferredX();
    if (page) {
        QScrollBar *bar = verticalScrollBar();
        const int lines = m_renderer.visibleLines();
        bar->setValue(bar->value() + (move == Move::NextPage ? lines : -lines));
    }
    moveCaret(to, keepAnchor, atLineEnd);
    if (vertical)
        m_caret.keepPreferredX(x);
    if (keepAnchor)
        updatePrimarySelection();
}

// Where a movement takes the caret from where it is.
qint64 TextPanel::target(Move move, bool &atLineEnd)
{
    atLineEnd = false;
    const qint64 line = caretLine();
    const qint64 caret = cursorPosition();
    switch (move) {
    case Move::NextChar:
        return panel::nextCharacter(text(), caret);
    case Move::PreviousChar:
        return panel::previousCharacter(text(), caret);
    case Move::NextWord:
        return panel::nextWord(text(), caret);
    case Move::PreviousWord:
        return panel::previousWord(text(), caret);
    case Move::StartOfLine:
        return m_document.lineStart(line);
    case Move::EndOfLine: {
        const qint64 end = panel::caretEnd(m_document, line);
        atLineEnd = panel::atSeam(m_document, line, end);
        return end;
    }
    case Move::StartOfText:
        return 0;
    case Move::EndOfText:
        return m_document.size();
    case Move::NextLine:
    case Move::PreviousLine:
    case Move::NextPage:
    case Move::PreviousPage: {
        if (m_caret.preferredX() < 0)
            m_caret.keepPreferredX(m_renderer.xOf(caret, line));
        const qint64 page = m_renderer.visibleLines();
        const qint64 step = move == Move::NextLine       ? 1
                            : move == Move::PreviousLine ? -1
                            : move == Move::NextPage     ? page
                                                         : -page;
        const qint64 to = std::clamp<qint64>(line + step, 0, m_document.lineCount() - 1);
        if (to == line) {
            // Paging past either end goes to that end; a line move there stays put.
            const bool pageMove = move == Move::NextPage || move == Move::PreviousPage;
            return pageMove ? (step > 0 ? m_document.size() : 0) : caret;
        }
        return m_renderer.positionAtX(to, m_caret.preferredX(), atLineEnd);
    }
    }
    return caret;
}

// ---------------------------------------------------------------------------------------------
// Keys

// The caret keys: each movement with its key, and with the key that selects as it moves.
std::optional<TextPanel::KeyMove> TextPanel::keyMove(const QKeyEvent *event)
{
    struct MoveKeys {
        QKeySequence::StandardKey move, select;
        Move to;
    };
    static const MoveKeys keys[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::NextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::PreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Move::NextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Move::PreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::NextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::PreviousLine},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::StartOfLine},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::EndOfLine},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
         Move::StartOfText},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::EndOfText},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::NextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::PreviousPage},
    };
    for (const MoveKeys &k : keys)
        for (const bool select : {false, true})
            if (event->matches(select ? k.select : k.move))
                return KeyMove{k.to, select};
    return std::nullopt;
}

// Editing keys belong to the panel, before any shortcut of the window.
bool TextPanel::isEditingKey(const QKeyEvent *key)
{
    static const QKeySequence::StandardKey editing[] = {QKeySequence::Undo,
                                                        QKeySequence::Redo,
                                                        QKeySequence::Cut,
                                                        QKeySequence::Copy,
                                                        QKeySequence::Paste,
                                                        QKeySequence::SelectAll,
                                                        QKeySequence::Delete,
                                                        QKeySequence::DeleteStartOfWord,
                                                        QKeySequence::DeleteEndOfWord};
    const bool plainText =
        isPrintable(key->text()) && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    return plainText || std::any_of(std::begin(editing), std::end(editing),
                                    [key](auto k) { return key->matches(k); });
}

bool TextPanel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        if (isEditingKey(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
        break;
    case QEvent::Paint:
        paintFrame();
        return true;
    default:
        break;
    }
    return QAbstractScrollArea::event(event);
}

void TextPanel::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;

    if (event == QKeySequence::Undo) {
        undo();
    } else if (event == QKeySequence::Redo ||
               (event->key() == Qt::Key_Y && modifiers == Qt::ControlModifier) ||
               (event->key() == Qt::Key_Z &&
                modifiers == (Qt::ControlModifier | Qt::ShiftModifier))) {
        redo();
    } else if (event == QKeySequence::Cut) {
        cut();
    } else if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::Paste) {
        paste();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (event == QKeySequence::DeleteStartOfWord) {
        deleteBackward(true);
    } else if (event == QKeySequence::DeleteEndOfWord) {
        deleteForward(true);
    } else if (event == QKeySequence::Delete) {
        deleteForward(false);
    } else if (event->key() == Qt::Key_Backspace && !(modifiers & ~Qt::ShiftModifier)) {
        deleteBackward(false);
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
               !(modifiers & ~Qt::ShiftModifier)) {
        typeText(u"\n");
    } else if (const auto move = keyMove(event)) {
        moveBy(move->to, move->select);
    } else if (isPrintable(event->text()) &&
               !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        typeText(event->text());
    } else {
        // Esc, and whatever else the panel has no use for, goes on to the window.
        event->ignore();
        return;
    }
    event->accept();
}
