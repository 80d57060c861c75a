#pragma once

// The forgiving reader's ledger: the bytes read, in a buffer that grows by doubling and that the
// hot loops write directly; the characters passed over, as spans with their line and column; and
// the checks for a stop asked for, every so many steps. A line whose bytes turn out to be words
// is taken back to a mark. Positions count in the text window, which lets go of what was read: the
// ledger then counts on from the first character kept.

#include "forgiving_reader.h"
#include "interruption.h"
#include "text_window.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>

namespace hexjpg::forgiving {

template <typename Unit> class Ledger {
public:
    Ledger(const TextWindow<Unit> &window, const std::atomic<bool> *cancel)
        : m_window(window)
        , m_cancel(cancel)
    {
    }

    ForgivingRead &out() { return m_out; }
    const ForgivingRead &out() const { return m_out; }

    // ------------------------------------------------------------------------------------------
    // Bytes

    // Room for the bytes of cut characters, before the first are read: every layout takes at least
    // one character per byte but base64 (4 for 3) and filled '*' lines; half the text is the guess.
    void reserveFor(qint64 cut)
    {
        if (m_capacity > 0)
            return;
        m_capacity = std::max<qsizetype>(4096, cut / 2 + 16);
        m_out.bytes.resize(m_capacity);
        m_bytes = m_out.bytes.data();
    }
    void put(int byte)
    {
        if (m_size == m_capacity)
            grow();
        m_bytes[m_size++] = char(byte);
    }
    // count bytes of pattern over and over: a '*' line's repeated lines, copied in blocks.
    void fill(QByteArrayView pattern, qint64 count)
    {
        if (pattern.isEmpty() || count <= 0)
            return;
        if (m_capacity - m_size < count)
            grow(m_size + count);
        char *out = m_bytes + m_size;
        const qint64 first = std::min<qint64>(count, pattern.size());
        std::copy_n(pattern.data(), first, out);
        // What is written already is the pattern repeated: each copy doubles it.
        for (qint64 done = first; done < count;) {
            const qint64 n = std::min(done, count - done);
            std::copy_n(out, n, out + done);
            done += n;
        }
        m_size += count;
    }
    qsizetype size() const { return m_size; }
    const char *bytes() const { return m_bytes; }
    // The last bytes taken back (od's closing offset trims its filler).
    void drop(qsizetype count) { m_size -= count; }
    // The first count bytes handed over; the rest stay.
    QByteArray take(qsizetype count)
    {
        QByteArray taken(m_bytes, count);
        std::copy(m_bytes + count, m_bytes + m_size, m_bytes);
        m_size -= count;
        return taken;
    }
    ForgivingRead finish()
    {
        m_out.bytes.resize(m_size);
        m_out.bytes.squeeze();
        return std::move(m_out);
    }

    // ------------------------------------------------------------------------------------------
    // What was skipped, with its line and column. Spans come in order, so the position of each is
    // found by going on from the last one.

    void locate(qint64 position, qint64 &line, qint64 &column)
    {
        for (; m_located < position; ++m_located) {
            const unsigned c = m_window.at(m_located);
            if (c == '\n' || (c == '\r' && !(m_located + 1 < m_window.size() &&
                                             m_window.at(m_located + 1) == '\n'))) {
                ++m_line;
                m_lineStart = m_located + 1;
            }
        }
        line = m_line;
        column = position - m_lineStart + 1;
    }
    qint64 lineNumber(qint64 position)
    {
        qint64 line, column;
        locate(position, line, column);
        return line;
    }

    void skip(qint64 from, qint64 to)
    {
        from = std::max(from, m_lastSkipEnd); // nothing is counted twice
        if (to <= from)
            return;
        m_out.skippedCharacters += to - from;
        qint64 line, column;
        locate(from, line, column);
        // Skipped pieces with only blanks between them make one span.
        if (m_lastSkipEnd >= 0 && line == m_lastSkipLine) {
            bool blanksOnly = true;
            for (qint64 i = m_lastSkipEnd; i < from && blanksOnly; ++i)
                blanksOnly = isSeparator(m_window.at(i));
            if (blanksOnly) {
                if (!m_out.skipped.empty() && m_spanOpen)
                    m_out.skipped.back().length = to - m_lastSkipStart;
                m_lastSkipEnd = to;
                return;
            }
        }
        ++m_out.skippedSpans;
        m_spanOpen = m_out.skipped.size() < ForgivingRead::kMaxSpans;
        if (m_spanOpen)
            m_out.skipped.push_back({line, column, to - from});
        m_lastSkipStart = from;
        m_lastSkipEnd = to;
        m_lastSkipLine = line;
    }

    // Text outside the data, less its blanks and line breaks.
    void skipNonBlank(qint64 from, qint64 to)
    {
        for (qint64 i = from; i < to;) {
            if (isSeparator(m_window.at(i)) || isBreak(m_window.at(i))) {
                ++i;
                continue;
            }
            qint64 j = i;
            while (j < to && !isBreak(m_window.at(j)))
                ++j;
            qint64 e = j;
            while (e > i && isSeparator(m_window.at(e - 1)))
                --e;
            skip(i, e);
            i = j;
        }
    }

    // The window let go of its first cut characters.
    void rebase(qint64 cut)
    {
        qint64 line, column;
        locate(cut, line, column);
        m_located -= cut;
        m_lineStart -= cut;
        m_lastSkipStart -= cut;
        m_lastSkipEnd -= cut;
    }

    struct Mark {
        qsizetype bytes;
        std::size_t spans;
        qint64 spanCount, characters;
        qint64 lastSkipStart, lastSkipEnd, lastSkipLine;
        bool spanOpen;
    };
    Mark mark() const
    {
        return {m_size,          m_out.skipped.size(), m_out.skippedSpans, m_out.skippedCharacters,
                m_lastSkipStart, m_lastSkipEnd,        m_lastSkipLine,     m_spanOpen};
    }
    void rollBack(const Mark &m)
    {
        m_size = m.bytes;
        m_out.skipped.resize(m.spans);
        m_out.skippedSpans = m.spanCount;
        m_out.skippedCharacters = m.characters;
        m_lastSkipStart = m.lastSkipStart;
        m_lastSkipEnd = m.lastSkipEnd;
        m_lastSkipLine = m.lastSkipLine;
        m_spanOpen = m.spanOpen;
    }

    // ------------------------------------------------------------------------------------------
    // Checked every so many steps of the hot loops: a stop asked for ends the reading at once.

    bool stopping()
    {
        if (m_out.interrupted)
            return true;
        if ((++m_ticks & 0xffff) != 0)
            return false;
        if (stopRequested(m_cancel)) {
            m_out.interrupted = true;
            m_out.stopped = QCoreApplication::translate("ForgivingReader", "读取被中断");
        }
        return m_out.interrupted;
    }

private:
    void grow(qsizetype atLeast = 0)
    {
        m_capacity = std::max<qsizetype>({4096, 2 * m_capacity, atLeast});
        m_out.bytes.resize(m_capacity);
        m_bytes = m_out.bytes.data();
    }

    const TextWindow<Unit> &m_window;
    const std::atomic<bool> *m_cancel;
    ForgivingRead m_out;
    char *m_bytes = nullptr;
    qsizetype m_size = 0, m_capacity = 0;
    quint32 m_ticks = 0;
    qint64 m_located = 0, m_line = 1, m_lineStart = 0;
    qint64 m_lastSkipStart = -1, m_lastSkipEnd = -1, m_lastSkipLine = -1;
    bool m_spanOpen = false;
};

} // namespace hexjpg::forgiving
