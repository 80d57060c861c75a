#include "document.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace panel {

namespace {

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

Document::Document() = default;

Document::~Document()
{
    std::free(m_data);
}

qint64 Document::lineEnd(qint64 line) const noexcept
{
    const qint64 start = lineStart(line);
    qint64 end = line + 1 < lineCount() ? lineStart(line + 1) : m_size;
    if (end > start && m_data[end - 1] == u'\n')
        --end;
    return end;
}

qint64 Document::lineAt(qint64 position) const noexcept
{
    return qint64(std::upper_bound(m_starts.begin(), m_starts.end(), position) - m_starts.begin()) -
           1;
}

bool Document::startsParagraph(qint64 line) const noexcept
{
    return line == 0 || m_data[lineStart(line) - 1] == u'\n';
}

bool Document::reserve(qint64 size)
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
bool Document::splice(qint64 position, qint64 length, QStringView text, QString *removed)
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
void Document::trim() noexcept
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
void Document::reindex(qint64 position, qint64 removed, qint64 inserted)
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
bool Document::merge(qint64 position, qint64 length, QStringView text, EditKind kind)
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

bool Document::replace(qint64 position, qint64 length, QStringView text, EditKind kind,
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
bool Document::reset(QStringView text)
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
std::optional<Change> Document::toggle(std::vector<Edit> &from, std::vector<Edit> &to)
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

std::optional<Change> Document::undo()
{
    return toggle(m_undo, m_redo);
}

std::optional<Change> Document::redo()
{
    return toggle(m_redo, m_undo);
}

qint64 Document::memoryUsage() const noexcept
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
