#include "tokens.h"

namespace hexjpg::forgiving {

namespace {

// A run of \xHH escapes, as C and Python strings write bytes.
template <typename Unit>
unsigned escapes(const TextWindow<Unit> &t, qint64 a, qint64 b, Ledger<Unit> *out)
{
    if ((b - a) % 4 != 0)
        return 0;
    for (qint64 i = a; i < b; i += 4)
        if (t.at(i) != '\\' || (t.at(i + 1) != 'x' && t.at(i + 1) != 'X') ||
            hexValue(t.at(i + 2)) < 0 || hexValue(t.at(i + 3)) < 0)
            return 0;
    if (out)
        for (qint64 i = a; i < b; i += 4)
            out->put(hexValue(t.at(i + 2)) << 4 | hexValue(t.at(i + 3)));
    return BackslashX;
}

} // namespace

template <typename Unit>
unsigned readToken(const TextWindow<Unit> &t, qint64 a, qint64 b, bool decimal, Ledger<Unit> *out)
{
    // Quotes around a C string of escapes.
    if (b - a >= 2 && (t.at(a) == '"' || t.at(a) == '\''))
        ++a;
    if (b > a && (t.at(b - 1) == '"' || t.at(b - 1) == '\''))
        --b;
    const qint64 length = b - a;
    if (length <= 0)
        return 0;
    if (decimal) {
        int value = 0;
        for (qint64 i = a; i < b; ++i) {
            if (!(classOf(t.at(i)) & Digit) || length > 3)
                return 0;
            value = value * 10 + int(t.at(i) - '0');
        }
        if (value > 255)
            return 0;
        if (out)
            out->put(value);
        return DecimalToken;
    }
    // One or two hex digits fill [from, to).
    qint64 value = 0;
    auto digits = [&](qint64 from, qint64 to, qint64 &v) {
        return to - from >= 1 && to - from <= 2 && t.hexDigits(from, to, v) == to - from;
    };
    const unsigned first = t.at(a), second = length > 1 ? t.at(a + 1) : 0;
    unsigned form = 0;
    if (first == '0' && (second == 'x' || second == 'X'))
        form = digits(a + 2, b, value) ? ZeroX : 0;
    else if (first == '&' && (second == 'h' || second == 'H'))
        form = digits(a + 2, b, value) ? AmpersandH : 0;
    else if (first == '$')
        form = digits(a + 1, b, value) ? Dollar : 0;
    else if (first == '\\')
        return escapes(t, a, b, out);
    else if ((t.at(b - 1) == 'h' || t.at(b - 1) == 'H') && length >= 2 && length <= 4) {
        // FFh, and 0FFh as assemblers want a leading digit
        const qint64 from = length == 4 && first == '0' ? a + 1 : a;
        form = digits(from, b - 1, value) ? HexSuffix : 0;
    } else if (length <= 2) {
        form = digits(a, b, value) ? (length == 1 ? Single : Pair) : 0;
    } else if (length % 2 == 0) {
        for (qint64 i = a; i < b; ++i)
            if (hexValue(t.at(i)) < 0)
                return 0;
        if (out)
            for (qint64 i = a; i < b; i += 2)
                out->put(hexValue(t.at(i)) << 4 | hexValue(t.at(i + 1)));
        return Run;
    }
    if (form && out)
        out->put(int(value));
    return form;
}

template <typename Unit>
void TokenReader<Unit>::read(const TextWindow<Unit> &t, Ledger<Unit> &ledger,
                             const Judgement &judged, Traits &traits, bool decimal)
{
    const qint64 n = t.size();
    qint64 i = 0;
    LineTally &tally = m_tally;
    auto start = ledger.mark();
    auto endLine = [&] {
        // A short line shaped like the full ones (the last of a dump, say) is data too.
        const bool keep = tally.data >= 8 || (tally.data > 0 && tally.prefix == judged.prefix &&
                                              tally.strayAfter <= judged.suffix);
        if (!keep && tally.firstToken >= 0 && (tally.prefix + tally.strayAfter > 0)) {
            ledger.rollBack(start);
            ledger.skip(tally.firstToken, tally.lastTokenEnd);
            ++ledger.out().wordLines;
        } else {
            traits.forms |= tally.forms;
            traits.prefixSeen = traits.prefixSeen || (tally.data > 0 && tally.prefix > 0);
        }
        tally = {};
        start = ledger.mark();
    };
    while (i < n && !ledger.stopping()) {
        const unsigned c = t.at(i);
        if (isBreak(c)) {
            endLine();
            i = t.nextLine(i);
            continue;
        }
        if (t.ownLine(i) && (i == 0 ? !m_midLine : isBreak(t.at(i - 1)))) {
            const qint64 end = t.lineEnd(i);
            ledger.skip(i, end);
            ++ledger.out().wordLines;
            i = end;
            continue;
        }
        if (m_inComment) { // up to */ or the end of the line
            qint64 j = i;
            while (j < n && !isBreak(t.at(j)) &&
                   !(t.at(j) == '*' && j + 1 < n && t.at(j + 1) == '/'))
                ++j;
            m_inComment = !(j < n && t.at(j) == '*');
            const qint64 end = m_inComment ? j : j + 2;
            ledger.skip(i, end);
            i = end;
            continue;
        }
        if (isSeparator(c)) {
            ++i;
            continue;
        }
        qint64 j = i + 1;
        while (j < n) {
            const unsigned e = t.at(j);
            if (e < 128 ? (kClasses[e] & (Separator | Break)) != 0 : isSeparator(e))
                break;
            ++j;
        }
        if (c == '/' && j > i + 1 && (t.at(i + 1) == '/' || t.at(i + 1) == '*')) {
            if (t.at(i + 1) == '/') {
                j = t.lineEnd(i);
            } else {
                m_inComment = true;
                j = i + 2;
            }
            ledger.skip(i, j);
            i = j;
            continue;
        }
        if (tally.firstToken < 0)
            tally.firstToken = i;
        tally.lastTokenEnd = j;
        if (j - i == 2 && !decimal) { // a pair, as nearly every token is
            const int hi = hexValue(t.at(i)), lo = hexValue(t.at(i + 1));
            if (hi >= 0 && lo >= 0) {
                ledger.put(hi << 4 | lo);
                ++tally.data;
                tally.forms |= Pair;
                // More pairs, each after one blank: the window's layout, three at a time.
                qint64 p = j;
                while (p + 3 <= n && t.at(p) == ' ') {
                    const int h = hexValue(t.at(p + 1)), l = hexValue(t.at(p + 2));
                    const unsigned after = p + 3 < n ? t.at(p + 3) : ' ';
                    if ((h | l) < 0 || !(after == ' ' || isBreak(after)))
                        break;
                    ledger.put(h << 4 | l);
                    ++tally.data;
                    p += 3;
                }
                tally.lastTokenEnd = p;
                i = p;
                continue;
            }
        }
        // A leading column unlike the bytes (a millis() count, a line number) is a prefix.
        if (judged.leadColumn && tally.data == 0 && j - i != 2) {
            ++tally.prefix;
            ledger.skip(i, j);
            i = j;
            continue;
        }
        const unsigned form = readToken(t, i, j, decimal, &ledger);
        if (form) {
            ++tally.data;
            tally.forms |= form;
        } else {
            (tally.data ? tally.strayAfter : tally.prefix)++;
            ledger.skip(i, j);
        }
        i = j;
    }
    endLine();
    m_midLine = n > 0 && !isBreak(t.at(n - 1));
}

template unsigned readToken(const TextWindow<char16_t> &, qint64, qint64, bool, Ledger<char16_t> *);
template unsigned readToken(const TextWindow<unsigned char> &, qint64, qint64, bool,
                            Ledger<unsigned char> *);
template class TokenReader<char16_t>;
template class TokenReader<unsigned char>;

} // namespace hexjpg::forgiving
