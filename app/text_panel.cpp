#include "text_panel.h"

#include "text_panel_accessible.h"
#include "warning.h"

#include <QCoreApplication>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStringDecoder>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

// The texts a person reads, in the Chinese they are written in: Qt's translation system gives them
// in the user's language.
namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(TextPanel)
};
} // namespace

using panel::EditKind;

namespace {

// The most characters the panel takes unless told otherwise: the dump of a 340 MiB photo.
constexpr qint64 kDefaultMaximumLength = qint64(1) << 30;
constexpr int kTopMargin = 1;
constexpr int kAutoScrollMs = 50;
// Text an input method is given around the caret, each way.
constexpr qint64 kSurroundingText = 512;

// The character classes that word movement steps over: blanks, word characters, the rest.
int wordClass(char16_t c)
{
    if (QChar::isSpace(c))
        return 0;
    if (QChar::isLetterOrNumber(c) || c == u'_' || QChar::isSurrogate(c))
        return 1;
    return 2;
}

// Whether position falls between the two halves of a surrogate pair: no place for the caret.
bool splitsPair(QStringView text, qint64 position)
{
    return position > 0 && position < text.size() && text[position].isLowSurrogate() &&
           text[position - 1].isHighSurrogate();
}

bool isMark(QStringView text, qint64 i)
{
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::isMark(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
    return QChar::isMark(c);
}

bool isPrintable(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c.category() == QChar::Other_Control && c != u'\t')
            return false;
    return true;
}

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
    const qint64 removed = m_text.size();
    if (!fits(removed, content.size()))
        return;
    const QString old = QAccessible::isActive() ? toPlainText() : QString();
    if (!m_text.reset(content)) {
        warnMemory(content.size());
        return;
    }
    afterChange({0, removed, content.size()}, old);
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
    const qint64 end = m_text.size();
    if (m_readers > 0 || text.isEmpty() || end + text.size() > m_maximumLength)
        return false;
    const bool follow = m_caret == end && m_anchor == end;
    const qint64 caret = m_caret, anchor = m_anchor;
    const int scrolled = verticalScrollBar()->value();
    const QString removed;
    if (!m_text.replace(end, 0, text, EditKind::Typing, false))
        return false;
    if (follow) {
        afterChange({end, 0, text.size()}, removed);
        return true;
    }
    // The caret and the view stay where the user has them.
    updateScrollBar();
    verticalScrollBar()->setValue(scrolled);
    m_caret = caret;
    m_anchor = anchor;
    viewport()->update();
    emit textChanged();
    const panel::Change change{end, 0, text.size()};
    notifyAccessibility(&change, removed);
    return true;
}

bool TextPanel::fits(qint64 removed, qint64 inserted)
{
    const qint64 size = m_text.size() - removed + inserted;
    if (size <= m_maximumLength)
        return true;
    warn(Words::tr("文本太大，无法放入文本框：需要 %1 个字符，最多 %2 个。\n文本框中的内容保持不变。")
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
    if (!m_text.replace(position, length, text, kind, joinWithLast)) {
        warnMemory(text.size());
        return false;
    }
    afterChange({position, length, text.size()}, removed);
    return true;
}

// After any change of the text: the caret after the changed text, the view, the signals.
void TextPanel::afterChange(const panel::Change &change, QStringView removed)
{
    const bool hadSelection = hasSelection();
    m_caret = m_anchor = change.position + change.inserted;
    m_atLineEnd = false;
    m_preferredX = -1;
    updateScrollBar();
    ensureCaretVisible();
    resetBlink();
    viewport()->update();
    emit textChanged();
    emit cursorPositionChanged();
    if (hadSelection)
        emit selectionChanged();
    notifyAccessibility(&change, removed);
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
    qint64 from = m_caret;
    if (word) {
        from = previousWord(m_caret);
    } else if (m_caret > 0) {
        // One character back, a surrogate pair as one: a mark goes without its base.
        from = m_caret - 1;
        if (splitsPair(text(), from))
            --from;
    }
    edit(from, m_caret - from, {}, word ? EditKind::Other : EditKind::Deleting);
}

void TextPanel::deleteForward(bool word)
{
    if (hasSelection()) {
        deleteSelection();
        return;
    }
    const qint64 to = word ? nextWord(m_caret) : nextCharacter(m_caret);
    edit(m_caret, to - m_caret, {}, word ? EditKind::Other : EditKind::Deleting);
}

void TextPanel::undo()
{
    if (m_readers > 0)
        return;
    if (const auto change = m_text.undo())
        afterChange(*change, m_text.lastRemoved(true));
}

void TextPanel::redo()
{
    if (m_readers > 0)
        return;
    if (const auto change = m_text.redo())
        afterChange(*change, m_text.lastRemoved(false));
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
    m_anchor = 0;
    moveCaret(m_text.size(), true);
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
        m_anchor = position;
    viewport()->update();
}

// The contents of the local files a drop carries, as text. Returns false when the drop carries
// no local file; a file that cannot be taken is told and leaves text null.
bool TextPanel::readDroppedFiles(const QMimeData *mime, QString &text)
{
    QStringList paths;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return false;

    QString all;
    for (const QString &path : paths) {
        const QString shown = QDir::toNativeSeparators(path);
        // Only a regular file: opening a named pipe would wait for a writer, and a device could
        // read on without end.
        if (const QFileInfo info(path); info.exists() && !info.isFile()) {
            warn(Words::tr("无法放入文件：%1\n它不是普通文件。").arg(shown));
            return true;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            warn(Words::tr("无法读取文件：%1\n%2").arg(shown, file.errorString()));
            return true;
        }
        const qint64 room = m_maximumLength - (m_text.size() - selectionLength());
        if (file.size() > room) {
            warn(Words::tr("文件太大，无法放入文本框：%1\n文件有 %2 字节，文本框还能放入 %3 个字符。")
                     .arg(shown)
                     .arg(file.size())
                     .arg(std::max<qint64>(0, room)));
            return true;
        }
        QByteArray bytes;
        try {
            bytes = file.readAll();
        } catch (const std::bad_alloc &) {
            warn(Words::tr("内存不足，无法读取文件：%1").arg(shown));
            return true;
        }
        if (file.error() != QFileDevice::NoError) {
            warn(Words::tr("无法读取文件：%1\n%2").arg(shown, file.errorString()));
            return true;
        }
        // UTF-8, or UTF-16 where a byte-order mark says so; a NUL byte or a byte sequence that is
        // not UTF-8 means the file is not text (a picture, say).
        auto encoding = QStringConverter::encodingForData(bytes);
        if (!encoding ||
            (*encoding != QStringConverter::Utf16LE && *encoding != QStringConverter::Utf16BE))
            encoding = QStringConverter::Utf8;
        QStringDecoder decoder(*encoding);
        QString decoded = decoder.decode(bytes);
        const bool utf8 = *encoding == QStringConverter::Utf8;
        if (decoder.hasError() || (utf8 && bytes.contains('\0'))) {
            warn(Words::tr("无法放入文件：%1\n它不是文本文件（UTF-8 或带字节顺序标记的 UTF-16）。").arg(
                shown));
            return true;
        }
        if (decoded.startsWith(QChar::ByteOrderMark))
            decoded.remove(0, 1);
        if (!all.isEmpty() && !all.endsWith(u'\n'))
            all += u'\n';
        all += decoded;
    }
    text = all;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Caret and selection

void TextPanel::setCursorPosition(qint64 position, bool keepAnchor)
{
    moveCaret(std::clamp<qint64>(position, 0, m_text.size()), keepAnchor);
}

void TextPanel::moveCaret(qint64 position, bool keepAnchor, bool atLineEnd)
{
    if (splitsPair(text(), position))
        --position;
    const qint64 oldCaret = m_caret, oldAnchor = m_anchor;
    const bool oldAtLineEnd = m_atLineEnd;
    m_caret = position;
    if (!keepAnchor)
        m_anchor = position;
    m_atLineEnd = atLineEnd;
    m_preferredX = -1;
    m_text.closeStep();
    ensureCaretVisible();
    resetBlink();
    if (m_caret != oldCaret || m_anchor != oldAnchor || m_atLineEnd != oldAtLineEnd)
        viewport()->update();
    if (m_caret != oldCaret)
        emit cursorPositionChanged();
    if ((oldCaret != oldAnchor || m_caret != m_anchor) &&
        (std::min(m_caret, m_anchor) != std::min(oldCaret, oldAnchor) ||
         std::max(m_caret, m_anchor) != std::max(oldCaret, oldAnchor)))
        emit selectionChanged();
    if (m_caret != oldCaret || m_anchor != oldAnchor)
        notifyAccessibility(nullptr);
    updateMicroFocus();
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
    const int x = m_preferredX;
    if (page) {
        QScrollBar *bar = verticalScrollBar();
        bar->setValue(bar->value() + (move == Move::NextPage ? visibleLines() : -visibleLines()));
    }
    moveCaret(to, keepAnchor, atLineEnd);
    if (vertical)
        m_preferredX = x;
    if (keepAnchor)
        updatePrimarySelection();
}

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

// Where a movement takes the caret from where it is.
qint64 TextPanel::target(Move move, bool &atLineEnd)
{
    atLineEnd = false;
    const qint64 line = caretLine();
    switch (move) {
    case Move::NextChar:
        return nextCharacter(m_caret);
    case Move::PreviousChar:
        return previousCharacter(m_caret);
    case Move::NextWord:
        return nextWord(m_caret);
    case Move::PreviousWord:
        return previousWord(m_caret);
    case Move::StartOfLine:
        return m_text.lineStart(line);
    case Move::EndOfLine: {
        const qint64 end = caretMaximum(line);
        atLineEnd = line + 1 < m_text.lineCount() && end == m_text.lineStart(line + 1);
        return end;
    }
    case Move::StartOfText:
        return 0;
    case Move::EndOfText:
        return m_text.size();
    case Move::NextLine:
    case Move::PreviousLine:
    case Move::NextPage:
    case Move::PreviousPage: {
        if (m_preferredX < 0)
            m_preferredX = xOf(m_caret, line);
        const qint64 step = move == Move::NextLine       ? 1
                            : move == Move::PreviousLine ? -1
                            : move == Move::NextPage     ? visibleLines()
                                                         : -visibleLines();
        const qint64 to = std::clamp<qint64>(line + step, 0, m_text.lineCount() - 1);
        if (to == line) {
            // Paging past either end goes to that end; a line move there stays put.
            const bool pageMove = move == Move::NextPage || move == Move::PreviousPage;
            return pageMove ? (step > 0 ? m_text.size() : 0) : m_caret;
        }
        return positionAtX(to, m_preferredX, atLineEnd);
    }
    }
    return m_caret;
}

// The next place for the caret: past a surrogate pair and the marks that follow a character.
qint64 TextPanel::nextCharacter(qint64 position) const
{
    const QStringView t = text();
    if (position >= t.size())
        return t.size();
    qint64 next = position + 1;
    if (t[position].isHighSurrogate() && next < t.size() && t[next].isLowSurrogate())
        ++next;
    while (next < t.size() && t[next] != u'\n' && isMark(t, next))
        next += t[next].isHighSurrogate() && next + 1 < t.size() ? 2 : 1;
    return std::min(next, qint64(t.size()));
}

qint64 TextPanel::previousCharacter(qint64 position) const
{
    const QStringView t = text();
    qint64 at = std::min<qint64>(position, t.size());
    while (at > 0) {
        --at;
        if (splitsPair(t, at))
            --at;
        if (at == 0 || t[at] == u'\n' || !isMark(t, at))
            break;
    }
    return at;
}

// To the start of the next word, past the blanks after it.
qint64 TextPanel::nextWord(qint64 position) const
{
    const QStringView t = text();
    qint64 p = position;
    if (p < t.size()) {
        const int cls = wordClass(t[p].unicode());
        while (cls != 0 && p < t.size() && wordClass(t[p].unicode()) == cls)
            ++p;
    }
    while (p < t.size() && wordClass(t[p].unicode()) == 0)
        ++p;
    return p;
}

// To the start of this word or the one before, past the blanks before the caret.
qint64 TextPanel::previousWord(qint64 position) const
{
    const QStringView t = text();
    qint64 p = position;
    while (p > 0 && wordClass(t[p - 1].unicode()) == 0)
        --p;
    if (p > 0) {
        const int cls = wordClass(t[p - 1].unicode());
        while (p > 0 && wordClass(t[p - 1].unicode()) == cls)
            --p;
    }
    return p;
}

void TextPanel::selectWordAt(qint64 position)
{
    const QStringView t = text();
    if (t.isEmpty())
        return;
    qint64 at = std::min<qint64>(position, t.size() - 1);
    if (at > 0 && at == position && wordClass(t[at].unicode()) == 0 &&
        wordClass(t[at - 1].unicode()) != 0)
        --at; // a click just past a word's end takes that word
    const int cls = wordClass(t[at].unicode());
    qint64 start = at, end = at + 1;
    while (start > 0 && t[start - 1] != u'\n' && wordClass(t[start - 1].unicode()) == cls)
        --start;
    while (end < t.size() && t[end] != u'\n' && wordClass(t[end].unicode()) == cls)
        ++end;
    moveCaret(start, false);
    moveCaret(end, true);
    updatePrimarySelection();
}

// On X11, the primary selection follows what is selected: a middle click elsewhere pastes it.
void TextPanel::updatePrimarySelection() const
{
    QClipboard *clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
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
    if (line < bar->value())
        bar->setValue(int(line));
    else if (line >= bar->value() + visibleLines())
        bar->setValue(int(line - visibleLines() + 1));
}

// ---------------------------------------------------------------------------------------------
// Lines and geometry

qint64 TextPanel::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

// The line a position shows on: at the seam of a wrapped line, the end of the upper line when
// the caret got there from it (End, a click past its end), else the start of the lower one.
qint64 TextPanel::displayLine(qint64 position, bool atLineEnd) const
{
    const qint64 line = m_text.lineAt(position);
    if (atLineEnd && line > 0 && position == m_text.lineStart(line) &&
        !m_text.startsParagraph(line))
        return line - 1;
    return line;
}

qint64 TextPanel::caretLine() const
{
    return displayLine(m_caret, m_atLineEnd);
}

// The furthest the caret goes on a line: before a blank at which the line wraps, else its end.
qint64 TextPanel::caretMaximum(qint64 line) const
{
    const qint64 start = m_text.lineStart(line);
    const qint64 end = m_text.lineEnd(line);
    const bool wraps = line + 1 < m_text.lineCount() && !m_text.startsParagraph(line + 1);
    if (wraps && end > start && text()[end - 1] == u' ')
        return end - 1;
    return end;
}

int TextPanel::visibleLines() const
{
    return std::max(1, (viewport()->height() - kTopMargin) / std::max(1, m_lineHeight));
}

void TextPanel::updateScrollBar()
{
    QScrollBar *bar = verticalScrollBar();
    const int page = visibleLines();
    const qint64 last = std::max<qint64>(0, m_text.lineCount() - page);
    bar->setRange(0, int(std::min<qint64>(last, std::numeric_limits<int>::max())));
    bar->setPageStep(page);
    bar->setSingleStep(1);
}

void TextPanel::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.lineSpacing());
    m_cellWidth = metrics.horizontalAdvance(u'0');
    // Centre the 48 cells, leaving room for the caret after the last.
    m_margin = std::clamp((viewport()->width() - panel::kLineCells * m_cellWidth - 1) / 2, 0, 2);
    updateScrollBar();
}

// A line's characters as drawn, one for one: control characters and broken surrogates get a
// visible sign, so that every character takes a place on the line.
QString TextPanel::displayText(qint64 line) const
{
    const qint64 start = m_text.lineStart(line);
    QString shown = text().sliced(start, m_text.lineEnd(line) - start).toString();
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

void TextPanel::layLine(QTextLayout &layout, qint64 line, bool withPreedit) const
{
    layout.setText(displayText(line));
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    if (withPreedit && !m_preedit.isEmpty() && line == caretLine()) {
        const int at = int(m_caret - m_text.lineStart(line));
        layout.setPreeditArea(at, m_preedit);
        QList<QTextLayout::FormatRange> formats;
        for (const QInputMethodEvent::Attribute &a : m_preeditAttributes) {
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

QPoint TextPanel::lineOrigin(qint64 line) const
{
    return {m_margin, kTopMargin + int(line - firstVisibleLine()) * m_lineHeight};
}

int TextPanel::xOf(qint64 position, qint64 line) const
{
    QTextLayout layout;
    layLine(layout, line, false);
    return int(std::lround(layout.lineAt(0).cursorToX(int(position - m_text.lineStart(line)))));
}

qint64 TextPanel::positionAtX(qint64 line, int x, bool &atLineEnd) const
{
    QTextLayout layout;
    layLine(layout, line, false);
    const qint64 start = m_text.lineStart(line);
    qint64 position = start + layout.lineAt(0).xToCursor(x, QTextLine::CursorBetweenCharacters);
    position = std::min(position, caretMaximum(line));
    atLineEnd = line + 1 < m_text.lineCount() && position == m_text.lineStart(line + 1);
    return position;
}

qint64 TextPanel::positionAt(QPoint point) const
{
    bool atLineEnd = false;
    return positionAt(point, atLineEnd);
}

qint64 TextPanel::positionAt(QPoint point, bool &atLineEnd) const
{
    const qint64 line = std::clamp<qint64>(
        firstVisibleLine() +
            qint64(std::floor(double(point.y() - kTopMargin) / double(m_lineHeight))),
        0, m_text.lineCount() - 1);
    return positionAtX(line, point.x() - m_margin, atLineEnd);
}

// Selecting by dragging: the caret follows the pointer, kept to the rows in view.
void TextPanel::dragCaretTo(QPoint point)
{
    bool atLineEnd = false;
    const QPoint inside(point.x(), std::clamp(point.y(), kTopMargin, viewport()->height() - 1));
    const qint64 position = positionAt(inside, atLineEnd);
    moveCaret(position, true, atLineEnd);
}

QRect TextPanel::caretRect() const
{
    const qint64 line = caretLine();
    QTextLayout layout;
    layLine(layout, line, true);
    int at = int(m_caret - m_text.lineStart(line));
    if (!m_preedit.isEmpty())
        at += m_preeditCaret;
    const QPoint origin = lineOrigin(line);
    const int x = int(std::lround(layout.lineAt(0).cursorToX(at)));
    return {origin.x() + x, origin.y(), 1, m_lineHeight};
}

QRect TextPanel::characterRect(qint64 position) const
{
    const qint64 line = m_text.lineAt(position);
    const QPoint origin = lineOrigin(line);
    if (origin.y() + m_lineHeight <= 0 || origin.y() >= viewport()->height())
        return {};
    QTextLayout layout;
    layLine(layout, line, false);
    const QTextLine textLine = layout.lineAt(0);
    const int at = int(position - m_text.lineStart(line));
    const qreal left = textLine.cursorToX(at);
    const qreal right = at < layout.text().size() ? textLine.cursorToX(at + 1) : left + 1;
    return QRectF(origin.x() + std::min(left, right), origin.y(),
                  std::max<qreal>(1, std::abs(right - left)), m_lineHeight)
        .toRect();
}

// ---------------------------------------------------------------------------------------------
// Painting

bool TextPanel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Editing keys belong to the panel, before any shortcut of the window.
        auto *key = static_cast<QKeyEvent *>(event);
        static const QKeySequence::StandardKey editing[] = {QKeySequence::Undo,
                                                            QKeySequence::Redo,
                                                            QKeySequence::Cut,
                                                            QKeySequence::Copy,
                                                            QKeySequence::Paste,
                                                            QKeySequence::SelectAll,
                                                            QKeySequence::Delete,
                                                            QKeySequence::DeleteStartOfWord,
                                                            QKeySequence::DeleteEndOfWord};
        const bool plainText = isPrintable(key->text()) &&
                               !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plainText || std::any_of(std::begin(editing), std::end(editing),
                                     [key](auto k) { return key->matches(k); })) {
            key->accept();
            return true;
        }
        break;
    }
    case QEvent::Paint:
        paintFrame();
        return true;
    default:
        break;
    }
    return QAbstractScrollArea::event(event);
}

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
    const QRect clip = event->rect();
    const QPalette &colours = palette();
    painter.setPen(colours.color(QPalette::Text));
    const qint64 selStart = selectionStart(), selEnd = selectionEnd();
    const qint64 caretAt = caretLine();
    const qint64 dropLine = m_dropCaret >= 0 ? displayLine(m_dropCaret, false) : -1;
    const QStringView t = text();

    for (qint64 line = firstVisibleLine(); line < m_text.lineCount(); ++line) {
        const QPoint origin = lineOrigin(line);
        if (origin.y() > clip.bottom())
            break;
        if (origin.y() + m_lineHeight <= clip.top())
            continue;
        QTextLayout layout;
        layLine(layout, line, true);
        const qint64 start = m_text.lineStart(line), end = m_text.lineEnd(line);
        QList<QTextLayout::FormatRange> selection;
        if (selStart < selEnd && m_preedit.isEmpty()) {
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
        if (line == caretAt && m_caretShown && hasFocus()) {
            int at = int(m_caret - start);
            if (!m_preedit.isEmpty()) {
                at += m_preeditCaret;
                if (!m_preeditCaretVisible)
                    at = -1;
            }
            if (at >= 0)
                layout.drawCursor(&painter, origin, at, 1);
        }
        if (line == dropLine)
            layout.drawCursor(&painter, origin, int(m_dropCaret - start), 1);
    }
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
    if (event->timerId() == m_autoScroll.timerId()) {
        // A selecting drag held past the top or bottom edge scrolls, faster further out.
        const QPoint at = m_lastMousePoint;
        const int height = viewport()->height();
        const int beyond = at.y() < 0 ? at.y() : at.y() > height ? at.y() - height : 0;
        if (!m_selecting || beyond == 0) {
            m_autoScroll.stop();
            return;
        }
        QScrollBar *bar = verticalScrollBar();
        const int step = 1 + std::abs(beyond) / std::max(1, m_lineHeight);
        bar->setValue(bar->value() + (beyond < 0 ? -step : step));
        dragCaretTo(at);
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Keys, mouse, menu

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

void TextPanel::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    m_lastMousePoint = point;
    if (event->button() == Qt::LeftButton) {
        bool atLineEnd = false;
        const qint64 position = positionAt(point, atLineEnd);
        const bool extend = event->modifiers() & Qt::ShiftModifier;
        if (!extend && hasSelection() && position >= selectionStart() &&
            position < selectionEnd()) {
            m_dragPending = true; // a drag of the selection, or a click into it
            m_pressPoint = point;
            return;
        }
        moveCaret(position, extend, atLineEnd);
        m_selecting = true;
    } else if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QApplication::clipboard();
        if (clipboard->supportsSelection())
            insertFromMime(clipboard->mimeData(QClipboard::Selection), positionAt(point));
    }
}

void TextPanel::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    m_lastMousePoint = point;
    if (m_dragPending && (event->buttons() & Qt::LeftButton) &&
        (point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragPending = false;
        // Dragging the selection: a move within the panel, a copy or move to elsewhere.
        auto *mime = new QMimeData;
        mime->setText(selectedText());
        auto *drag = new QDrag(this);
        drag->setMimeData(mime);
        m_movedByDrop = false;
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        if (action == Qt::MoveAction && !m_movedByDrop && drag->target() != viewport())
            deleteSelection();
        return;
    }
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    if (point.y() < 0 || point.y() >= viewport()->height()) {
        if (!m_autoScroll.isActive())
            m_autoScroll.start(kAutoScrollMs, this);
    } else {
        m_autoScroll.stop();
    }
    dragCaretTo(point);
}

void TextPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_dragPending) {
        m_dragPending = false;
        moveCaret(positionAt(event->position().toPoint()), false);
    }
    if (m_selecting) {
        m_selecting = false;
        m_autoScroll.stop();
        updatePrimarySelection();
    }
}

void TextPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragPending = false;
    m_selecting = false;
    selectWordAt(positionAt(event->position().toPoint()));
}

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
    add(Words::tr("撤销(&U)"), QKeySequence::Undo, editable && m_text.canUndo(), &TextPanel::undo);
    add(Words::tr("重做(&R)"), QKeySequence::Redo, editable && m_text.canRedo(), &TextPanel::redo);
    menu->addSeparator();
    add(Words::tr("剪切(&T)"), QKeySequence::Cut, editable && hasSelection(), &TextPanel::cut);
    add(Words::tr("复制(&C)"), QKeySequence::Copy, hasSelection(), &TextPanel::copy);
    add(Words::tr("粘贴(&P)"), QKeySequence::Paste, canPaste, &TextPanel::paste);
    add(Words::tr("删除"), QKeySequence::UnknownKey, editable && hasSelection(),
        &TextPanel::deleteSelection);
    menu->addSeparator();
    add(Words::tr("全选"), QKeySequence::SelectAll, m_text.size() > 0 && selectionLength() < m_text.size(),
        &TextPanel::selectAll);
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
    m_selecting = false;
    m_autoScroll.stop();
    viewport()->update();
    update();
}

// ---------------------------------------------------------------------------------------------
// Input methods

void TextPanel::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_readers > 0) {
        event->ignore();
        return;
    }
    qint64 from = selectionStart(), length = selectionLength();
    if (event->replacementLength() > 0 || event->replacementStart() != 0) {
        from = std::clamp<qint64>(m_caret + event->replacementStart(), 0, m_text.size());
        length = std::clamp<qint64>(event->replacementLength(), 0, m_text.size() - from);
    }
    const QString commit = event->commitString();
    if (!commit.isEmpty() || length > 0)
        edit(from, length, commit, EditKind::Typing);
    else if (!event->preeditString().isEmpty() && hasSelection())
        deleteSelection(); // composing replaces the selection

    m_preedit = event->preeditString();
    m_preeditAttributes = event->attributes();
    m_preeditCaret = int(m_preedit.size());
    m_preeditCaretVisible = true;
    for (const QInputMethodEvent::Attribute &a : event->attributes()) {
        if (a.type == QInputMethodEvent::Cursor) {
            m_preeditCaret = std::clamp(a.start, 0, int(m_preedit.size()));
            m_preeditCaretVisible = a.length != 0;
        }
    }
    resetBlink();
    viewport()->update();
    updateMicroFocus();
    event->accept();
}

QVariant TextPanel::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QStringView t = text();
    // The surrounding text: the caret's paragraph, no more than kSurroundingText each way.
    auto paragraphFrom = [&] {
        qint64 p = m_caret;
        while (p > 0 && m_caret - p < kSurroundingText && t[p - 1] != u'\n')
            --p;
        return p;
    };
    auto paragraphTo = [&] {
        qint64 p = m_caret;
        while (p < t.size() && p - m_caret < kSurroundingText && t[p] != u'\n')
            ++p;
        return p;
    };
    switch (query) {
    case Qt::ImEnabled:
        return m_readers == 0;
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle:
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImAbsolutePosition:
        return panel::clampedToInt(m_caret);
    case Qt::ImCursorPosition:
        return panel::clampedToInt(m_caret - paragraphFrom());
    case Qt::ImAnchorPosition:
        return panel::clampedToInt(std::clamp(m_anchor, paragraphFrom(), paragraphTo()) -
                                   paragraphFrom());
    case Qt::ImSurroundingText: {
        const qint64 from = paragraphFrom();
        return t.sliced(from, paragraphTo() - from).toString();
    }
    case Qt::ImTextBeforeCursor: {
        const qint64 from = paragraphFrom();
        return t.sliced(from, m_caret - from).toString();
    }
    case Qt::ImTextAfterCursor:
        return t.sliced(m_caret, paragraphTo() - m_caret).toString();
    case Qt::ImCurrentSelection: // for reconversion; a whole photo's dump is of no use there
        return text()
            .sliced(selectionStart(), std::min(selectionLength(), 2 * kSurroundingText))
            .toString();
    case Qt::ImMaximumTextLength:
        return panel::clampedToInt(m_maximumLength);
    case Qt::ImReadOnly:
        return m_readers > 0;
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

void TextPanel::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (m_readers > 0 || !(mime->hasText() || mime->hasHtml() || mime->hasUrls())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TextPanel::dragMoveEvent(QDragMoveEvent *event)
{
    m_dropCaret = positionAt(event->position().toPoint());
    viewport()->update();
    event->acceptProposedAction();
}

void TextPanel::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropCaret = -1;
    viewport()->update();
}

void TextPanel::dropEvent(QDropEvent *event)
{
    m_dropCaret = -1;
    viewport()->update();
    const qint64 position = positionAt(event->position().toPoint());
    const QMimeData *mime = event->mimeData();

    if (event->source() == this && event->dropAction() == Qt::MoveAction) {
        // The selection moved within the panel: one step to undo.
        event->acceptProposedAction();
        m_movedByDrop = true;
        if (position >= selectionStart() && position <= selectionEnd())
            return;
        const QString moved = selectedText();
        const qint64 from = selectionStart();
        if (!edit(from, moved.size(), {}, EditKind::Other))
            return;
        const qint64 to = position > from ? position - moved.size() : position;
        if (edit(to, 0, moved, EditKind::Other, true))
            m_anchor = to;
        viewport()->update();
        return;
    }

    QString files;
    if (readDroppedFiles(mime, files)) {
        if (files.isNull()) {
            event->ignore();
            return;
        }
        insertAt(files, position);
    } else {
        insertFromMime(mime, position);
    }
    event->acceptProposedAction();
}

// ---------------------------------------------------------------------------------------------

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
    QAccessibleTextCursorEvent cursor(this, panel::clampedToInt(m_caret));
    QAccessible::updateAccessibility(&cursor);
    if (hasSelection()) {
        QAccessibleTextSelectionEvent selection(this, panel::clampedToInt(selectionStart()),
                                                panel::clampedToInt(selectionEnd()));
        QAccessible::updateAccessibility(&selection);
    }
}

void TextPanel::warn(const QString &message)
{
    showWarning(window(), message);
}

void TextPanel::warnMemory(qint64 characters)
{
    warn(Words::tr("内存不足，无法放入 %1 个字符的文本。\n文本框中的内容保持不变。").arg(characters));
}
