#pragma once

// The text panel's document: one contiguous UTF-16 buffer edited in place, the index of the
// visual lines it wraps into (wrap.h), and the history of edits for undo and redo. QtCore only.
//
// A line break is kept as one LF, whatever the input used; the line counter counts each as the
// two characters CR LF that the panel of the original platform holds.

#include "wrap.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

namespace panel {

// A position or a count for an interface that takes an int: the largest int where it passes one.
inline int clampedToInt(qint64 value) noexcept
{
    return int(std::min<qint64>(value, INT_MAX));
}

// What a change did: at position, removed characters gave way to inserted ones.
struct Change {
    qint64 position = 0;
    qint64 removed = 0;
    qint64 inserted = 0;
};

// How an edit joins the undo history: typing and single deletions merge with the edit before
// them into one step, anything else is a step of its own.
enum class EditKind { Typing, Deleting, Other };

class Document {
public:
    Document();
    ~Document();
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    QStringView text() const noexcept { return {m_data, m_size}; }
    qint64 size() const noexcept { return m_size; }
    qint64 lineBreaks() const noexcept { return m_breaks; }

    // Visual lines. A line's span runs from its start to the next line's start; its content ends
    // before the line break that closes it, if any.
    qint64 lineCount() const noexcept { return qint64(m_starts.size()); }
    qint64 lineStart(qint64 line) const noexcept { return m_starts[std::size_t(line)]; }
    qint64 lineEnd(qint64 line) const noexcept;
    qint64 lineAt(qint64 position) const noexcept; // the line whose span holds position
    bool startsParagraph(qint64 line) const noexcept;
    const std::vector<qint64> &lineStarts() const noexcept { return m_starts; }

    // Replaces length characters at position with text (line breaks already LF). Returns false,
    // changing nothing, when memory runs out. joinWithLast makes it one undo step with the edit
    // before it.
    bool replace(qint64 position, qint64 length, QStringView text, EditKind kind = EditKind::Other,
                 bool joinWithLast = false);
    // The whole text replaced, the history forgotten. text must not view this buffer.
    bool reset(QStringView text);

    bool canUndo() const noexcept { return !m_undo.empty(); }
    bool canRedo() const noexcept { return !m_redo.empty(); }
    // The last change that undoing or redoing made, or nothing when there was none to make (or
    // memory ran out).
    std::optional<Change> undo();
    std::optional<Change> redo();
    // What the last undo or redo took out of the text.
    QStringView lastRemoved(bool undoing) const noexcept
    {
        const std::vector<Edit> &to = undoing ? m_redo : m_undo;
        return to.empty() ? QStringView() : QStringView(to.back().stash);
    }
    // The next typing or deletion starts a step of its own (the caret has moved).
    void closeStep() noexcept { m_stepOpen = false; }

    // Bytes held for the text, its index and its history.
    qint64 memoryUsage() const noexcept;

private:
    struct Edit {
        qint64 position = 0;
        qint64 length = 0; // characters of this edit now in the buffer
        QString stash;     // what the edit replaced, or what undoing it removed
        EditKind kind = EditKind::Other;
        bool joined = false; // undone together with the edit before it
    };

    bool splice(qint64 position, qint64 length, QStringView text, QString *removed);
    bool reserve(qint64 size);
    void trim() noexcept;
    void reindex(qint64 position, qint64 removed, qint64 inserted);
    bool merge(qint64 position, qint64 length, QStringView text, EditKind kind);
    std::optional<Change> toggle(std::vector<Edit> &from, std::vector<Edit> &to);

    char16_t *m_data = nullptr;
    qint64 m_size = 0;
    qint64 m_capacity = 0;
    qint64 m_breaks = 0;
    std::vector<qint64> m_starts{0};
    std::vector<Edit> m_undo, m_redo;
    bool m_stepOpen = false;
};

} // namespace panel
