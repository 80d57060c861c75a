#include "panel_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

namespace panel {

namespace {

// A line's wrap depends on no more than this many characters from its start: 48 cells of up to
// two code units each, the character at the limit and a line break after it.
constexpr qint64 kWrapWindow = 2 * kLineCells + 2;

// Below U+1100 every character is one code unit and one cell.
constexpr char16_t kFirstWide = 0x1100;

// East Asian wide (W) and full-width (F) ranges, after Unicode's EastAsianWidth.txt.
struct Range {
    char32_t first, last;
};
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <typename T> bool roomForOneMore(std::vector<T> &v) noexcept
{
    try {
        if (v.size() == v.capacity())
            v.reserve(2 * v.size() + 16);
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

qint64 countBreaks(const char16_t *p, qint64 n) noexcept
{
    return std::count(p, p + n, u'\n');
}

} // namespace

int cellWidth(char32_t c) noexcept
{
    if (c < kFirstWide)
        return 1;
    const auto *it = std::upper_bound(std::begin(kWide), std::end(kWide), c,
                                      [](char32_t v, const Range &r) { return v < r.first; });
    return it != std::begin(kWide) && c <= std::prev(it)->last ? 2 : 1;
}

qint64 nextLineStart(QStringView text, qint64 start) noexcept
{
    const char16_t *d = text.utf16();
    const qint64 n = text.size();
    qint64 i = start;

    // Nearly always: 49 narrow characters and no line break, so the limit falls at 48.
    bool plain = n - start > kLineCells;
    if (plain) {
        unsigned special = 0;
        for (int k = 0; k <= kLineCells; ++k) {
            const char16_t c = d[start + k];
            special |= unsigned(c >= kFirstWide) | unsigned(c == u'\n');
        }
        plain = special == 0;
    }
    if (plain) {
        i = start + kLineCells;
    } else {
        int cells = 0;
        for (; i < n;) {
            const char16_t c = d[i];
            if (c == u'\n')
                return i + 1;
            int units = 1, width = 1;
            if (c >= kFirstWide) {
                char32_t code = c;
                if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(d[i + 1])) {
                    code = QChar::surrogateToUcs4(c, d[i + 1]);
                    units = 2;
                }
                width = cellWidth(code);
            }
            if (cells + width > kLineCells)
                break;
            cells += width;
            i += units;
        }
        if (i >= n)
            return -1;
    }

    // The cell limit falls before d[i].
    if (d[i] == u' ') {
        ++i;
        if (i < n && d[i] == u'\n')
            ++i;
        return i;
    }
    for (qint64 j = i; j > start; --j)
        if (d[j - 1] == u' ')
            return j;
    return i;
}

std::vector<qint64> wrapAll(QStringView text)
{
    std::vector<qint64> starts{0};
    for (qint64 s = nextLineStart(text, 0); s >= 0; s = nextLineStart(text, s))
        starts.push_back(s);
    return starts;
}

QString normalizeLineBreaks(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype cr = text.indexOf(u'\r'); cr >= 0; cr = text.indexOf(u'\r', from)) {
        out.append(text.sliced(from, cr - from));
        out.append(u'\n');
        from = cr + 1;
        if (from < text.size() && text[from] == u'\n')
            ++from;
    }
    out.append(text.sliced(from));
    return out;
}

// ---------------------------------------------------------------------------------------------

PanelText::PanelText() = default;

PanelText::~PanelText()
{
    std::free(m_data);
}

qint64 PanelText::lineEnd(qint64 line) const noexcept
{
    const qint64 start = lineStart(line);
    qint64 end = line + 1 < lineCount() ? lineStart(line + 1) : m_size;
    if (end > start && m_data[end - 1] == u'\n')
        --end;
    return end;
}

qint64 PanelText::lineAt(qint64 position) const noexcept
{
    return qint64(std::upper_bound(m_starts.begin(), m_starts.end(), position) - m_starts.begin()) -
           1;
}

bool PanelText::startsParagraph(qint64 line) const noexcept
{
    return line == 0 || m_data[lineStart(line) - 1] == u'\n';
}

bool PanelText::reserve(qint64 size)
{
    if (size <= m_capacity)
        return true;
    // A little room to grow: typing into a large text moves memory but seldom reallocates.
    for (qint64 capacity : {size + std::max<qint64>(size / 32, 1024), size}) {
        if (auto *data = static_cast<char16_t *>(
                std::realloc(m_data, std::size_t(capacity) * sizeof(char16_t)))) {
            m_data = data;
            m_capacity = capacity;
            return true;
        }
    }
    return false;
}

// Replaces the characters and mends the line index; on any failure to get memory nothing
// changes. removed, when given, receives the characters that went.
bool PanelText::splice(qint64 position, qint64 length, QStringView text, QString *removed)
{
    const qint64 oldSize = m_size;
    const qint64 newSize = oldSize - length + text.size();
    try {
        // Kept whatever the caller wants: it puts the text back if the index cannot be mended.
        QString old = QStringView(m_data + position, length).toString();
        if (!reserve(newSize))
            return false;
        const qint64 breaksOut = countBreaks(m_data + position, length);
        const qint64 tail = oldSize - position - length;
        std::memmove(m_data + position + text.size(), m_data + position + length,
                     std::size_t(tail) * sizeof(char16_t));
        if (!text.isEmpty())
            std::memcpy(m_data + position, text.utf16(),
                        std::size_t(text.size()) * sizeof(char16_t));
        m_size = newSize;
        try {
            reindex(position, length, text.size());
        } catch (const std::bad_alloc &) {
            // Put the text back as it was; the index was left untouched.
            std::memmove(m_data + position + length, m_data + position + text.size(),
                         std::size_t(tail) * sizeof(char16_t));
            std::memcpy(m_data + position, old.utf16(), std::size_t(length) * sizeof(char16_t));
            m_size = oldSize;
            return false;
        }
        m_breaks += countBreaks(m_data + position, text.size()) - breaksOut;
        if (removed)
            *removed = std::move(old);
    } catch (const std::bad_alloc &) {
        return false;
    }
    trim();
    return true;
}

// Gives memory back after a large deletion.
void PanelText::trim() noexcept
{
    if (m_capacity <= 65536 || m_size >= m_capacity / 4)
        return;
    const qint64 capacity = m_size + m_size / 32 + 1024;
    if (auto *data = static_cast<char16_t *>(
            std::realloc(m_data, std::size_t(capacity) * sizeof(char16_t)))) {
        m_data = data;
        m_capacity = capacity;
    }
}

// Mends the line index after the text changed at position: re-wraps from the last line that the
// change cannot have moved until the wrapping falls back into step with the old lines, then
// shifts the rest. Throws std::bad_alloc before changing anything.
void PanelText::reindex(qint64 position, qint64 removed, qint64 inserted)
{
    std::vector<qint64> &starts = m_starts;
    const QStringView t = text();
    const qint64 delta = inserted - removed;

    std::size_t line = std::size_t(lineAt(position));
    while (line > 0 && t[starts[line] - 1] != u'\n' && starts[line - 1] + kWrapWindow > position)
        --line;

    const qint64 editEnd = position + inserted;
    auto next = std::size_t(
        std::lower_bound(starts.begin() + qsizetype(line) + 1, starts.end(), position + removed) -
        starts.begin());
    std::size_t keepFrom = starts.size(); // old lines from here on stay, shifted by delta
    std::vector<qint64> fresh;
    for (qint64 s = nextLineStart(t, starts[line]); s >= 0; s = nextLineStart(t, s)) {
        if (s >= editEnd) {
            const qint64 old = s - delta;
            while (next < starts.size() && starts[next] < old)
                ++next;
            if (next < starts.size() && starts[next] == old) {
                keepFrom = next;
                break;
            }
        }
        fresh.push_back(s);
    }

    const std::size_t first = line + 1;
    const std::size_t kept = starts.size() - keepFrom;
    const std::size_t count = first + fresh.size() + kept;
    if (count > starts.capacity())
        starts.reserve(count + count / 32 + 64);
    // No allocation from here on.
    if (count > starts.size())
        starts.resize(count);
    std::memmove(starts.data() + first + fresh.size(), starts.data() + keepFrom,
                 kept * sizeof(qint64));
    starts.resize(count);
    std::copy(fresh.begin(), fresh.end(), starts.begin() + qsizetype(first));
    for (std::size_t i = first + fresh.size(); i < count; ++i)
        starts[i] += delta;
}

// Typing right after typing, or a deletion next to a deletion, grows the last step. Returns false
// when the edit does not merge (or memory ran out: then nothing changed either way).
bool PanelText::merge(qint64 position, qint64 length, QStringView text, EditKind kind)
{
    if (!m_stepOpen || m_undo.empty() || kind == EditKind::Other || m_undo.back().kind != kind)
        return false;
    Edit &last = m_undo.back();
    if (kind == EditKind::Typing) {
        if (length != 0 || position != last.position + last.length)
            return false;
        if (!splice(position, 0, text, nullptr))
            return false;
        last.length += text.size();
        return true;
    }
    if (!text.isEmpty() || last.length != 0)
        return false;
    const bool backward = position + length == last.position;
    if (!backward && position != last.position)
        return false;
    try {
        const QString removed = QStringView(m_data + position, length).toString();
        QString stash = backward ? removed + last.stash : last.stash + removed;
        if (!splice(position, length, {}, nullptr))
            return false;
        last.stash = std::move(stash);
        last.position = position;
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

bool PanelText::replace(qint64 position, qint64 length, QStringView text, EditKind kind,
                        bool joinWithLast)
{
    if (length == 0 && text.isEmpty())
        return true;
    const bool merged = !joinWithLast && merge(position, length, text, kind);
    if (!merged) {
        if (!roomForOneMore(m_undo))
            return false;
        Edit edit{position, text.size(), {}, kind, joinWithLast && !m_undo.empty()};
        // A merge that ran out of memory changed nothing; the edit is tried as a step of its own.
        if (!splice(position, length, text, &edit.stash))
            return false;
        m_undo.push_back(std::move(edit));
    }
    m_redo.clear();
    m_stepOpen = kind != EditKind::Other;
    return true;
}

// The index of the new text is made first, so that running out of memory changes nothing; the
// old text needs no keeping.
bool PanelText::reset(QStringView text)
{
    try {
        std::vector<qint64> starts = wrapAll(text);
        starts.shrink_to_fit();
        if (!reserve(text.size()))
            return false;
        if (!text.isEmpty())
            std::memcpy(m_data, text.utf16(), std::size_t(text.size()) * sizeof(char16_t));
        m_size = text.size();
        m_starts = std::move(starts);
    } catch (const std::bad_alloc &) {
        return false;
    }
    m_breaks = countBreaks(m_data, m_size);
    m_undo.clear();
    m_undo.shrink_to_fit();
    m_redo.clear();
    m_redo.shrink_to_fit();
    m_stepOpen = false;
    trim();
    return true;
}

// Applies the top edit of from (and those joined with it) again the other way round, and moves
// it to the other stack. Undo and redo are the same swap: an edit's stash holds what is not in
// the buffer.
std::optional<Change> PanelText::toggle(std::vector<Edit> &from, std::vector<Edit> &to)
{
    m_stepOpen = false;
    const bool undoing = &from == &m_undo;
    std::optional<Change> last;
    while (!from.empty()) {
        Edit &edit = from.back();
        QString removed;
        if (!roomForOneMore(to))
            return last;
        if (!splice(edit.position, edit.length, edit.stash, &removed))
            return last;
        last = Change{edit.position, edit.length, edit.stash.size()};
        edit.length = edit.stash.size();
        edit.stash = std::move(removed);
        const bool joined = edit.joined;
        to.push_back(std::move(edit));
        from.pop_back();
        if (undoing ? !joined : (from.empty() || !from.back().joined))
            break;
    }
    return last;
}

std::optional<Change> PanelText::undo()
{
    return toggle(m_undo, m_redo);
}

std::optional<Change> PanelText::redo()
{
    return toggle(m_redo, m_undo);
}

qint64 PanelText::memoryUsage() const noexcept
{
    qint64 bytes =
        m_capacity * qint64(sizeof(char16_t)) + qint64(m_starts.capacity() * sizeof(qint64));
    for (const auto *stack : {&m_undo, &m_redo}) {
        bytes += qint64(stack->capacity() * sizeof(Edit));
        for (const Edit &edit : *stack)
            bytes += edit.stash.capacity() * qint64(sizeof(char16_t));
    }
    return bytes;
}

} // namespace panel
