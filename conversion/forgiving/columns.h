#pragma once

// The forgiving reader's column dumps: an offset, the bytes, and perhaps the bytes again as text,
// as xxd, hexdump -C, ESP-IDF's hexdump and od -x write them. od's words are swapped back, a '*'
// line is filled from the offset that follows it (all of a text's together stand for at most
// ForgivingRead::kMaxFill bytes), and lines of words between dumps are left out.

#include "layout.h"
#include "ledger.h"
#include "text_window.h"

#include <QByteArray>

namespace hexjpg::forgiving {

// The offset of a column dump's line [start, end): where the offset ends, or -1 when the line has
// none.
template <typename Unit>
qint64 offsetColumn(const TextWindow<Unit> &text, Layout layout, qint64 start, qint64 end,
                    qint64 &offset);
// Whether the line is one of od -x's: an octal offset, then words of four hex digits.
template <typename Unit> bool odWords(const TextWindow<Unit> &text, qint64 start, qint64 end);
// Whether the line is one of hexdump -C's: an offset, then pairs.
template <typename Unit> bool hexdumpPairs(const TextWindow<Unit> &text, qint64 start, qint64 end);

template <typename Unit> class ColumnReader {
public:
    void read(const TextWindow<Unit> &text, Ledger<Unit> &ledger, Layout layout, Traits &traits);
    // The bytes read that a later line may still take back: od's closing offset may trim the
    // last line's filler.
    qsizetype heldBack(Layout layout) const
    {
        return layout == Layout::OdWords ? m_previous.size() : 0;
    }
    // The ledger handed over its first count bytes.
    void taken(qsizetype count) { m_dumpStart = std::max<qsizetype>(0, m_dumpStart - count); }

private:
    qint64 lineBytes(const TextWindow<Unit> &text, Ledger<Unit> &ledger, Layout layout, qint64 p,
                     qint64 end);

    // What goes on from one block to the next.
    QByteArray m_previous;     // the last line's bytes, for a '*' line
    bool m_repeat = false;     // a '*' line came: the next offset tells how much it stood for
    qint64 m_expected = -1;    // the offset the next line should have
    qsizetype m_dumpStart = 0; // where the bytes of the current dump begin
    qint64 m_filledBytes = 0;  // bytes the '*' lines stood for, all together
};

} // namespace hexjpg::forgiving
