#include "columns.h"

#include <QCoreApplication>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(ForgivingReader)
};
} // namespace

namespace hexjpg::forgiving {

template <typename Unit>
qint64 offsetColumn(const TextWindow<Unit> &t, Layout layout, qint64 start, qint64 end,
                    qint64 &offset)
{
    qint64 p = start;
    while (p < end && isBlank(t.at(p)))
        ++p;
    if (layout == Layout::Xxd) {
        const qint64 n = t.hexDigits(p, end, offset);
        return n >= 4 && p + n < end && t.at(p + n) == ':' ? p + n + 1 : -1;
    }
    if (layout == Layout::OdWords) {
        qint64 q = p;
        offset = 0;
        while (q < end && t.at(q) >= '0' && t.at(q) <= '7' && q - p < 20)
            offset = offset * 8 + (t.at(q++) - '0');
        return q - p >= 7 && (q == end || isBlank(t.at(q))) ? q : -1;
    }
    // hexdump -C and ESP-IDF: the first token of hex digits (after 0x, perhaps) that two blanks
    // follow, or that ends the line; before it may stand a log prefix.
    for (qint64 q = p; q < end;) {
        while (q < end && isBlank(t.at(q)))
            ++q;
        qint64 k = q;
        if (k + 1 < end && t.at(k) == '0' && (t.at(k + 1) == 'x' || t.at(k + 1) == 'X'))
            k += 2;
        const qint64 n = t.hexDigits(k, end, offset);
        const qint64 after = k + n;
        if (n >= 4 &&
            (after == end || (after + 1 < end && isBlank(t.at(after)) && isBlank(t.at(after + 1)))))
            return after;
        while (q < end && !isBlank(t.at(q)))
            ++q;
    }
    return -1;
}

template <typename Unit> bool odWords(const TextWindow<Unit> &t, qint64 start, qint64 end)
{
    qint64 offset;
    qint64 p = offsetColumn(t, Layout::OdWords, start, end, offset);
    int words = 0;
    while (p >= 0 && p < end) {
        if (!isBlank(t.at(p)))
            return false;
        ++p;
        qint64 value;
        if (t.hexDigits(p, end, value) != 4)
            return false;
        p += 4;
        ++words;
    }
    return words > 0;
}

template <typename Unit> bool hexdumpPairs(const TextWindow<Unit> &t, qint64 start, qint64 end)
{
    qint64 offset;
    qint64 p = offsetColumn(t, Layout::Hexdump, start, end, offset);
    while (p >= 0 && p < end && isBlank(t.at(p)))
        ++p;
    qint64 value;
    return p >= 0 && p + 2 <= end && t.hexDigits(p, end, value) == 2;
}

template <typename Unit>
void ColumnReader<Unit>::read(const TextWindow<Unit> &t, Ledger<Unit> &ledger, Layout layout,
                              Traits &traits)
{
    for (qint64 start = 0; start < t.size() && !ledger.stopping();) {
        const qint64 end = t.lineEnd(start);
        qint64 trimmedEnd = end;
        while (trimmedEnd > start && isBlank(t.at(trimmedEnd - 1)))
            --trimmedEnd;
        qint64 first = start;
        while (first < trimmedEnd && isBlank(t.at(first)))
            ++first;
        const qint64 next = t.nextLine(end);
        if (first == trimmedEnd) {
            start = next;
            continue;
        }
        if (trimmedEnd - first == 1 && t.at(first) == '*') {
            m_repeat = true;
            start = next;
            continue;
        }
        qint64 offset = 0;
        qint64 p = offsetColumn(t, layout, start, trimmedEnd, offset);
        if (p >= 0 && layout == Layout::Hexdump) {
            // ESP-IDF writes its offsets with 0x, after the log's prefix.
            qint64 o = p;
            while (o > first && !isBlank(t.at(o - 1)))
                --o;
            traits.prefixSeen = traits.prefixSeen || o > first;
            traits.zeroXOffsets =
                traits.zeroXOffsets ||
                (o + 1 < p && t.at(o) == '0' && (t.at(o + 1) == 'x' || t.at(o + 1) == 'X'));
        }
        if (p < 0) { // words, or a prompt: left out
            ledger.skip(first, trimmedEnd);
            ++ledger.out().wordLines;
            start = next;
            continue;
        }
        if (m_repeat && m_expected >= 0 && !m_previous.isEmpty()) {
            const qint64 missing = offset - m_expected;
            // An offset that goes back leaves the '*' unfilled; one that goes too far on stops the
            // reading there.
            if (missing > ForgivingRead::kMaxFill - m_filledBytes) {
                ledger.out().stopped =
                    Words::tr("第 %1 行的偏移要求用 * 补上的字节太多（整个文本最多 %2 "
                              "字节），读到这里为止")
                        .arg(ledger.lineNumber(start))
                        .arg(ForgivingRead::kMaxFill);
                break;
            }
            if (missing > 0) {
                ledger.fill(m_previous, missing);
                traits.filled = true;
                m_filledBytes += missing;
            }
        }
        m_repeat = false;
        const qsizetype before = ledger.size();
        p = lineBytes(t, ledger, layout, p, trimmedEnd);
        if (p < trimmedEnd && layout != Layout::Xxd && t.at(p) != '|')
            ledger.skip(p, trimmedEnd); // what follows the bytes and is no text column
        const qint64 count = ledger.size() - before;
        if (count > 0) {
            m_previous = QByteArray(ledger.bytes() + before, count);
            m_expected = offset + count;
        } else {
            // A closing offset alone ends its dump. od fills an odd last byte out to a word: the
            // closing offset tells the length.
            if (layout == Layout::OdWords && m_expected >= 0 && offset < m_expected)
                ledger.drop(std::min<qint64>(m_expected - offset, ledger.size() - m_dumpStart));
            m_expected = -1;
            m_previous.clear();
            m_dumpStart = ledger.size();
        }
        start = next;
    }
}

// The bytes of one line of a column dump, from p; returns where they end.
template <typename Unit>
qint64 ColumnReader<Unit>::lineBytes(const TextWindow<Unit> &t, Ledger<Unit> &ledger, Layout layout,
                                     qint64 p, qint64 end)
{
    while (p < end) {
        qint64 q = p;
        while (q < end && isBlank(t.at(q)))
            ++q;
        // xxd's text column starts after two blanks; hexdump's after "  |".
        if (layout == Layout::Xxd && q - p >= 2 && p > 0)
            return p;
        if (q == end || t.at(q) == '|')
            return q;
        qint64 value;
        const qint64 n = t.hexDigits(q, end, value);
        const bool group = n >= 2 && n % 2 == 0 && (q + n == end || isBlank(t.at(q + n)));
        if (!group || (layout == Layout::OdWords && n != 4) ||
            (layout == Layout::Hexdump && n != 2))
            return q;
        if (layout == Layout::OdWords) { // a little-endian word
            ledger.put(hexValue(t.at(q + 2)) << 4 | hexValue(t.at(q + 3)));
            ledger.put(hexValue(t.at(q)) << 4 | hexValue(t.at(q + 1)));
        } else {
            for (qint64 i = q; i < q + n; i += 2)
                ledger.put(hexValue(t.at(i)) << 4 | hexValue(t.at(i + 1)));
        }
        p = q + n;
        if (layout == Layout::Xxd && p + 1 < end && isBlank(t.at(p)) && isBlank(t.at(p + 1)))
            return p;
    }
    return p;
}

#define HEXJPG_INSTANTIATE(Unit)                                                                   \
    template qint64 offsetColumn(const TextWindow<Unit> &, Layout, qint64, qint64, qint64 &);      \
    template bool odWords(const TextWindow<Unit> &, qint64, qint64);                               \
    template bool hexdumpPairs(const TextWindow<Unit> &, qint64, qint64);                          \
    template class ColumnReader<Unit>;
HEXJPG_INSTANTIATE(char16_t)
HEXJPG_INSTANTIATE(unsigned char)

} // namespace hexjpg::forgiving
