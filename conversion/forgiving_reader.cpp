#include "forgiving_reader.h"

#include "hex_decode.h"
#include "interruption.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <new>
#include <utility>

using namespace Qt::StringLiterals;

// The texts a person reads, in the Chinese they are written in: Qt's translation system gives them
// in the user's language.
namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(ForgivingReader)
};
} // namespace

namespace hexjpg {

namespace {

enum class Layout { Tokens, Decimal, Xxd, Hexdump, OdWords, PythonBytes, Base64 };

// How one token reads.
constexpr unsigned Pair = 1;           // two hex digits
constexpr unsigned Single = 2;         // one hex digit
constexpr unsigned Run = 4;            // pairs without blanks
constexpr unsigned ZeroX = 8;          // 0xFF
constexpr unsigned BackslashX = 16;    // \xff
constexpr unsigned AmpersandH = 32;    // &HFF
constexpr unsigned HexSuffix = 64;     // FFh
constexpr unsigned Dollar = 128;       // $FF
constexpr unsigned DecimalToken = 256; // 255

// ASCII character classes.
enum : unsigned char { Hex = 1, Separator = 2, Break = 4, Digit = 8 };

constexpr std::array<unsigned char, 128> makeClasses()
{
    std::array<unsigned char, 128> c{};
    for (char16_t ch = 0; ch < 128; ++ch)
        c[ch] = (hexDigitValue(ch) >= 0 ? Hex : 0) | (ch >= '0' && ch <= '9' ? Digit : 0);
    for (char ch : {' ', '\t', '\v', '\f', ',', ';', '{', '}'})
        c[std::size_t(ch)] = Separator;
    c['\n'] = c['\r'] = Break;
    return c;
}
constexpr std::array<unsigned char, 128> kClasses = makeClasses();

// hexDigitValue as a table: the hot loops look a digit up in one step.
constexpr std::array<signed char, 128> makeHexValues()
{
    std::array<signed char, 128> v{};
    for (char16_t c = 0; c < 128; ++c)
        v[c] = static_cast<signed char>(hexDigitValue(c));
    return v;
}
constexpr std::array<signed char, 128> kHexValues = makeHexValues();

constexpr int hexValue(unsigned c)
{
    return c < 128 ? kHexValues[c] : -1;
}

constexpr std::array<signed char, 128> makeBase64()
{
    std::array<signed char, 128> t{};
    for (auto &v : t)
        v = -1;
    for (int i = 0; i < 26; ++i) {
        t[std::size_t('A' + i)] = static_cast<signed char>(i);
        t[std::size_t('a' + i)] = static_cast<signed char>(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        t[std::size_t('0' + i)] = static_cast<signed char>(52 + i);
    t['+'] = 62;
    t['/'] = 63;
    return t;
}
constexpr std::array<signed char, 128> kBase64 = makeBase64();

// The reading, block by block: each block's whole lines are read as they come, with what was
// learnt from those before (the layout, the typical line). The whole text is one block.
template <typename Unit> class Reader {
public:
    // A line of a text that arrives in blocks is read before it ends once it is this long, and
    // one this long without a blank stops the reading.
    static constexpr qint64 kLongLine = 64 * 1024;
    static constexpr qint64 kMaxLine = qint64(16) << 20;

    Reader(const std::atomic<bool> *cancel, qint64 sample)
        : m_cancel(cancel)
        , m_sample(sample)
    {
    }

    // Reads the whole lines that data completes, with what waited before it; with last or pause,
    // all of it. Nothing is read until the layout is known, from a sample of sample characters, or
    // from all there is at the end or at a pause.
    void feed(const Unit *data, qint64 size, bool last, bool pause = false)
    {
        if (m_done)
            return;
        const Unit *window = data;
        qint64 n = size;
        if (!m_buffer.empty()) {
            m_buffer.insert(m_buffer.end(), data, data + size);
            window = m_buffer.data();
            n = qint64(m_buffer.size());
        }
        // At a pause the line under way has ended too, whether or not its line break came.
        qint64 cut = last || pause ? n : wholeLines(window, n);
        if (cut == 0 && n >= kLongLine) {
            // A line that goes on and on (a camera that prints all its pairs on one line) is
            // read up to its last blank; one without a blank stops the reading, memory bounded.
            cut = lastBlank(window, n);
            if (cut == 0 && n >= kMaxLine) {
                m_out.stopped =
                    Words::tr("第 %1 行太长：%2 个字符中没有空白或换行，读到这里为止")
                        .arg(m_line)
                        .arg(n);
                m_done = true;
                m_buffer.clear();
                return;
            }
        }
        if (!m_detected && !last && !pause && n < m_sample)
            cut = 0;
        if (cut > 0 || last) {
            m_d = window;
            m_n = cut;
            if (m_capacity == 0) {
                // Every layout takes at least one character per byte but base64 (4 for 3) and
                // filled '*' lines; room for half the text is the first guess.
                m_capacity = std::max<qsizetype>(4096, cut / 2 + 16);
                m_out.bytes.resize(m_capacity);
                m_bytes = m_out.bytes.data();
            }
            if (!m_detected) {
                m_layout = detect();
                m_detected = true;
            }
            read();
            m_out.layout = describe(m_layout);
            m_done = last || m_out.interrupted || !m_out.stopped.isEmpty();
        }
        if (last || m_done)
            return;
        // What is read is let go; positions now count from the first character kept.
        qint64 line, column;
        locate(cut, line, column);
        m_located -= cut;
        m_lineStart -= cut;
        m_lastSkipStart -= cut;
        m_lastSkipEnd -= cut;
        if (window == m_buffer.data())
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + cut);
        else
            m_buffer.assign(data + cut, data + size);
        m_d = nullptr;
        m_n = 0;
    }

    // The bytes read so far that no later line can take back (od's closing offset may take back
    // the last line's filler), handed over; with all, every byte read.
    QByteArray take(bool all = false)
    {
        const qsizetype final =
            m_layout == Layout::OdWords && !all ? m_size - m_previous.size() : m_size;
        QByteArray bytes(m_bytes, final);
        std::copy(m_bytes + final, m_bytes + m_size, m_bytes);
        m_size -= final;
        m_dumpStart = std::max<qsizetype>(0, m_dumpStart - final);
        return bytes;
    }

    bool done() const { return m_done; }
    // What was read and skipped so far; with all, the bytes too.
    ForgivingRead &result() { return m_out; }
    ForgivingRead finish()
    {
        m_out.bytes.resize(m_size);
        m_out.bytes.squeeze();
        return std::move(m_out);
    }

    // Past the last blank of a line that has not ended; 0 when it has none.
    qint64 lastBlank(const Unit *d, qint64 n) const
    {
        for (qint64 i = n - 1; i >= 0; --i)
            if (d[i] == ' ' || d[i] == '\t')
                return i + 1;
        return 0;
    }

    // How far the whole lines reach: past the last line break that is surely whole (a '\r' at the
    // very end may yet be followed by its '\n').
    qint64 wholeLines(const Unit *d, qint64 n) const
    {
        for (qint64 i = n - 1; i >= 0; --i) {
            if (d[i] == '\n')
                return i + 1;
            if (d[i] == '\r' && i + 1 < n)
                return i + 1;
        }
        return 0;
    }

private:
    void read()
    {
        switch (m_layout) {
        case Layout::Tokens:
        case Layout::Decimal:
            readTokens(m_layout == Layout::Decimal);
            break;
        case Layout::Xxd:
        case Layout::Hexdump:
        case Layout::OdWords:
            readColumns(m_layout);
            break;
        case Layout::PythonBytes:
            readPython();
            break;
        case Layout::Base64:
            readBase64();
            break;
        }
    }

    // Checked every so many steps of the hot loops: a stop asked for ends the reading at once.
    bool stopping()
    {
        if (m_out.interrupted)
            return true;
        if ((++m_ticks & 0xffff) != 0)
            return false;
        if (interruptionRequested() || (m_cancel && m_cancel->load(std::memory_order_relaxed))) {
            m_out.interrupted = true;
            m_out.stopped = Words::tr("读取被中断");
        }
        return m_out.interrupted;
    }

    unsigned at(qint64 i) const { return unsigned(m_d[i]); }
    unsigned classOf(unsigned c) const { return c < 128 ? kClasses[c] : 0; }
    bool isSeparator(unsigned c) const
    {
        return c < 128 ? (kClasses[c] & Separator) != 0 : (c == 0xa0 || c == 0x3000);
    }
    bool isBreak(unsigned c) const { return c == '\n' || c == '\r'; }
    bool isBlank(unsigned c) const { return c == ' ' || c == '\t'; }

    qint64 lineEnd(qint64 from, qint64 limit = -1) const
    {
        if (limit < 0)
            limit = m_n;
        while (from < limit && !isBreak(at(from)))
            ++from;
        return from;
    }
    qint64 nextLine(qint64 end) const
    {
        return end < m_n && at(end) == '\r' && end + 1 < m_n && at(end + 1) == '\n' ? end + 2
                                                                                    : end + 1;
    }

    // ------------------------------------------------------------------------------------------
    // What was skipped, with its line and column. Spans come in order, so the position of each
    // is found by going on from the last one.

    void locate(qint64 position, qint64 &line, qint64 &column)
    {
        for (; m_located < position; ++m_located) {
            const unsigned c = at(m_located);
            if (c == '\n' || (c == '\r' && !(m_located + 1 < m_n && at(m_located + 1) == '\n'))) {
                ++m_line;
                m_lineStart = m_located + 1;
            }
        }
        line = m_line;
        column = position - m_lineStart + 1;
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
                blanksOnly = isSeparator(at(i));
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

    // The bytes go to a buffer that grows by doubling; the hot loop writes it directly.
    void put(int byte)
    {
        if (m_size == m_capacity)
            grow();
        m_bytes[m_size++] = char(byte);
    }
    void grow()
    {
        m_capacity = std::max<qsizetype>(4096, 2 * m_capacity);
        m_out.bytes.resize(m_capacity);
        m_bytes = m_out.bytes.data();
    }

    // ------------------------------------------------------------------------------------------
    // Tokens: one byte each, in any of their spellings.

    // How the token [a, b) reads: its forms, or 0 when it is no byte. With emit, its bytes go out.
    unsigned token(qint64 a, qint64 b, bool decimal, bool emitting)
    {
        // Quotes around a C string of escapes.
        if (b - a >= 2 && (at(a) == '"' || at(a) == '\''))
            ++a;
        if (b > a && (at(b - 1) == '"' || at(b - 1) == '\''))
            --b;
        const qint64 length = b - a;
        if (length <= 0)
            return 0;
        if (decimal) {
            int value = 0;
            for (qint64 i = a; i < b; ++i) {
                if (!(classOf(at(i)) & Digit) || length > 3)
                    return 0;
                value = value * 10 + int(at(i) - '0');
            }
            if (value > 255)
                return 0;
            if (emitting)
                put(value);
            return DecimalToken;
        }
        // One or two hex digits fill [from, to).
        qint64 value = 0;
        auto digits = [&](qint64 from, qint64 to, qint64 &v) {
            return to - from >= 1 && to - from <= 2 && hexDigits(from, to, v) == to - from;
        };
        const unsigned first = at(a), second = length > 1 ? at(a + 1) : 0;
        unsigned form = 0;
        if (first == '0' && (second == 'x' || second == 'X'))
            form = digits(a + 2, b, value) ? ZeroX : 0;
        else if (first == '&' && (second == 'h' || second == 'H'))
            form = digits(a + 2, b, value) ? AmpersandH : 0;
        else if (first == '$')
            form = digits(a + 1, b, value) ? Dollar : 0;
        else if (first == '\\')
            return escapes(a, b, emitting);
        else if ((at(b - 1) == 'h' || at(b - 1) == 'H') && length >= 2 && length <= 4) {
            // FFh, and 0FFh as assemblers want a leading digit
            const qint64 from = length == 4 && first == '0' ? a + 1 : a;
            form = digits(from, b - 1, value) ? HexSuffix : 0;
        } else if (length <= 2) {
            form = digits(a, b, value) ? (length == 1 ? Single : Pair) : 0;
        } else if (length % 2 == 0) {
            for (qint64 i = a; i < b; ++i)
                if (hexValue(at(i)) < 0)
                    return 0;
            if (emitting)
                for (qint64 i = a; i < b; i += 2)
                    put(hexValue(at(i)) << 4 | hexValue(at(i + 1)));
            return Run;
        }
        if (form && emitting)
            put(int(value));
        return form;
    }

    // A run of \xHH escapes, as C and Python strings write bytes.
    unsigned escapes(qint64 a, qint64 b, bool emitting)
    {
        if ((b - a) % 4 != 0)
            return 0;
        for (qint64 i = a; i < b; i += 4)
            if (at(i) != '\\' || (at(i + 1) != 'x' && at(i + 1) != 'X') ||
                hexValue(at(i + 2)) < 0 || hexValue(at(i + 3)) < 0)
                return 0;
        if (emitting)
            for (qint64 i = a; i < b; i += 4)
                put(hexValue(at(i + 2)) << 4 | hexValue(at(i + 3)));
        return BackslashX;
    }

    struct LineTally {
        unsigned forms = 0;    // how its bytes were spelled
        qint64 data = 0;       // tokens that are bytes
        qint64 prefix = 0;     // tokens that are not, before the first byte
        qint64 strayAfter = 0; // tokens that are not, after it
        qint64 firstToken = -1, lastTokenEnd = -1;
    };

    // The tokens of a dump, line by line. A line's leading tokens that are no bytes (a timestamp,
    // a log prefix) are passed over; a line whose tokens are mostly words is left out whole.
    void readTokens(bool decimal)
    {
        qint64 i = 0;
        LineTally &tally = m_tally;
        Mark start = mark();
        bool &inComment = m_inComment;
        auto endLine = [&] {
            // A short line shaped like the full ones (the last of a dump, say) is data too.
            const bool keep = tally.data >= 8 || (tally.data > 0 && tally.prefix == m_prefix &&
                                                  tally.strayAfter <= m_suffix);
            if (!keep && tally.firstToken >= 0 && (tally.prefix + tally.strayAfter > 0)) {
                rollBack(start);
                skip(tally.firstToken, tally.lastTokenEnd);
                ++m_out.wordLines;
            } else {
                m_forms |= tally.forms;
                m_prefixSeen = m_prefixSeen || (tally.data > 0 && tally.prefix > 0);
            }
            tally = {};
            start = mark();
        };
        while (i < m_n && !stopping()) {
            const unsigned c = at(i);
            if (isBreak(c)) {
                endLine();
                i = nextLine(i);
                continue;
            }
            if (inComment) { // up to */ or the end of the line
                qint64 j = i;
                while (j < m_n && !isBreak(at(j)) &&
                       !(at(j) == '*' && j + 1 < m_n && at(j + 1) == '/'))
                    ++j;
                inComment = !(j < m_n && at(j) == '*');
                const qint64 end = inComment ? j : j + 2;
                skip(i, end);
                i = end;
                continue;
            }
            if (isSeparator(c)) {
                ++i;
                continue;
            }
            qint64 j = i + 1;
            while (j < m_n) {
                const unsigned e = at(j);
                if (e < 128 ? (kClasses[e] & (Separator | Break)) != 0 : isSeparator(e))
                    break;
                ++j;
            }
            if (c == '/' && j > i + 1 && (at(i + 1) == '/' || at(i + 1) == '*')) {
                if (at(i + 1) == '/') {
                    j = lineEnd(i);
                } else {
                    inComment = true;
                    j = i + 2;
                }
                skip(i, j);
                i = j;
                continue;
            }
            if (tally.firstToken < 0)
                tally.firstToken = i;
            tally.lastTokenEnd = j;
            if (j - i == 2 && !decimal) { // a pair, as nearly every token is
                const int hi = hexValue(at(i)), lo = hexValue(at(i + 1));
                if (hi >= 0 && lo >= 0) {
                    put(hi << 4 | lo);
                    ++tally.data;
                    tally.forms |= Pair;
                    // More pairs, each after one blank: the window's layout, three at a time.
                    qint64 p = j;
                    while (p + 3 <= m_n && at(p) == ' ') {
                        const int h = hexValue(at(p + 1)), l = hexValue(at(p + 2));
                        const unsigned after = p + 3 < m_n ? at(p + 3) : ' ';
                        if ((h | l) < 0 || !(after == ' ' || isBreak(after)))
                            break;
                        put(h << 4 | l);
                        ++tally.data;
                        p += 3;
                    }
                    tally.lastTokenEnd = p;
                    i = p;
                    continue;
                }
            }
            // A leading column unlike the bytes (a millis() count, a line number) is a prefix.
            if (m_leadColumn && tally.data == 0 && j - i != 2) {
                ++tally.prefix;
                skip(i, j);
                i = j;
                continue;
            }
            const unsigned form = token(i, j, decimal, true);
            if (form) {
                ++tally.data;
                tally.forms |= form;
            } else {
                (tally.data ? tally.strayAfter : tally.prefix)++;
                skip(i, j);
            }
            i = j;
        }
        endLine();
    }

    // ------------------------------------------------------------------------------------------
    // Dumps in columns: an offset, the bytes, and perhaps the bytes again as text.

    // Reads hex digits at p; returns how many.
    qint64 hexDigits(qint64 p, qint64 end, qint64 &value) const
    {
        value = 0;
        qint64 q = p;
        while (q < end && hexValue(at(q)) >= 0 && q - p < 15) // 60 bits at most
            value = value << 4 | hexValue(at(q++));
        return q - p;
    }

    // The offset of a column dump's line, from where it ends: -1 when the line has none.
    qint64 offsetColumn(Layout layout, qint64 start, qint64 end, qint64 &offset) const
    {
        qint64 p = start;
        while (p < end && isBlank(at(p)))
            ++p;
        if (layout == Layout::Xxd) {
            const qint64 n = hexDigits(p, end, offset);
            return n >= 4 && p + n < end && at(p + n) == ':' ? p + n + 1 : -1;
        }
        if (layout == Layout::OdWords) {
            qint64 q = p;
            offset = 0;
            while (q < end && at(q) >= '0' && at(q) <= '7' && q - p < 20)
                offset = offset * 8 + (at(q++) - '0');
            return q - p >= 7 && (q == end || isBlank(at(q))) ? q : -1;
        }
        // hexdump -C and ESP-IDF: the first token of hex digits (after 0x, perhaps) that two blanks
        // follow, or that ends the line; before it may stand a log prefix.
        for (qint64 q = p; q < end;) {
            while (q < end && isBlank(at(q)))
                ++q;
            qint64 t = q;
            if (t + 1 < end && at(t) == '0' && (at(t + 1) == 'x' || at(t + 1) == 'X'))
                t += 2;
            const qint64 n = hexDigits(t, end, offset);
            const qint64 after = t + n;
            if (n >= 4 &&
                (after == end || (after + 1 < end && isBlank(at(after)) && isBlank(at(after + 1)))))
                return after;
            while (q < end && !isBlank(at(q)))
                ++q;
        }
        return -1;
    }

    void readColumns(Layout layout)
    {
        QByteArray &previous = m_previous;
        bool &repeat = m_repeat;
        qint64 &expected = m_expected;
        qsizetype &dumpStart = m_dumpStart;
        for (qint64 start = 0; start < m_n && !stopping();) {
            const qint64 end = lineEnd(start);
            qint64 trimmedEnd = end;
            while (trimmedEnd > start && isBlank(at(trimmedEnd - 1)))
                --trimmedEnd;
            qint64 first = start;
            while (first < trimmedEnd && isBlank(at(first)))
                ++first;
            const qint64 next = nextLine(end);
            if (first == trimmedEnd) {
                start = next;
                continue;
            }
            if (trimmedEnd - first == 1 && at(first) == '*') {
                repeat = true;
                start = next;
                continue;
            }
            qint64 offset = 0;
            qint64 p = offsetColumn(layout, start, trimmedEnd, offset);
            if (p >= 0 && layout == Layout::Hexdump) {
                // ESP-IDF writes its offsets with 0x, after the log's prefix.
                qint64 o = p;
                while (o > first && !isBlank(at(o - 1)))
                    --o;
                m_prefixSeen = m_prefixSeen || o > first;
                m_zeroXOffsets = m_zeroXOffsets || (o + 1 < p && at(o) == '0' &&
                                                    (at(o + 1) == 'x' || at(o + 1) == 'X'));
            }
            if (p < 0) { // words, or a prompt: left out
                skip(first, trimmedEnd);
                ++m_out.wordLines;
                start = next;
                continue;
            }
            if (repeat && expected >= 0 && !previous.isEmpty()) {
                const qint64 missing = offset - expected;
                // An offset that goes back leaves the '*' unfilled; one that goes too far on stops
                // the reading there.
                if (missing > ForgivingRead::kMaxFill - m_filledBytes) {
                    m_out.stopped =
                        Words::tr("第 %1 行的偏移要求用 * 补上的字节太多（整个文本最多 %2 字节），读到这里为止")
                            .arg(lineNumber(start))
                            .arg(ForgivingRead::kMaxFill);
                    break;
                }
                if (missing > 0) {
                    for (qint64 k = 0; k < missing; ++k)
                        put(previous[k % previous.size()]);
                    m_filled = true;
                    m_filledBytes += missing;
                }
            }
            repeat = false;
            const qsizetype before = m_size;
            p = lineBytes(layout, p, trimmedEnd);
            if (p < trimmedEnd && layout != Layout::Xxd && at(p) != '|')
                skip(p, trimmedEnd); // what follows the bytes and is no text column
            const qint64 count = m_size - before;
            if (count > 0) {
                previous = QByteArray(m_bytes + before, count);
                expected = offset + count;
            } else {
                // A closing offset alone ends its dump. od fills an odd last byte out to a word:
                // the closing offset tells the length.
                if (layout == Layout::OdWords && expected >= 0 && offset < expected)
                    m_size -= std::min<qint64>(expected - offset, m_size - dumpStart);
                expected = -1;
                previous.clear();
                dumpStart = m_size;
            }
            start = next;
        }
    }

    qint64 lineNumber(qint64 position)
    {
        qint64 line, column;
        locate(position, line, column);
        return line;
    }

    // The bytes of one line of a column dump, from p; returns where they end.
    qint64 lineBytes(Layout layout, qint64 p, qint64 end)
    {
        while (p < end) {
            qint64 q = p;
            while (q < end && isBlank(at(q)))
                ++q;
            // xxd's text column starts after two blanks; hexdump's after "  |".
            if (layout == Layout::Xxd && q - p >= 2 && p > 0)
                return p;
            if (q == end || at(q) == '|')
                return q;
            qint64 value;
            const qint64 n = hexDigits(q, end, value);
            const bool group = n >= 2 && n % 2 == 0 && (q + n == end || isBlank(at(q + n)));
            if (!group || (layout == Layout::OdWords && n != 4) ||
                (layout == Layout::Hexdump && n != 2))
                return q;
            if (layout == Layout::OdWords) { // a little-endian word
                put(hexValue(at(q + 2)) << 4 | hexValue(at(q + 3)));
                put(hexValue(at(q)) << 4 | hexValue(at(q + 1)));
            } else {
                for (qint64 i = q; i < q + n; i += 2)
                    put(hexValue(at(i)) << 4 | hexValue(at(i + 1)));
            }
            p = q + n;
            if (layout == Layout::Xxd && p + 1 < end && isBlank(at(p)) && isBlank(at(p + 1)))
                return p;
        }
        return p;
    }

    // ------------------------------------------------------------------------------------------
    // Python's b'...' literals: escapes, and printable characters as the bytes they stand for.

    void readPython()
    {
        qint64 from = 0;
        for (qint64 i = 0; i < m_n && !stopping(); ++i) {
            const unsigned c = at(i);
            if (!((c == 'b' || c == 'B') && i + 1 < m_n && (at(i + 1) == '\'' || at(i + 1) == '"')))
                continue;
            if (i > 0 && (std::isalnum(int(std::min(at(i - 1), 127u))) || at(i - 1) == '_'))
                continue;
            skipNonBlank(from, i);
            const unsigned quote = at(i + 1);
            qint64 p = i + 2;
            while (p < m_n && at(p) != quote && !isBreak(at(p))) {
                if (at(p) != '\\') {
                    if (at(p) < 256)
                        put(int(at(p)));
                    else
                        skip(p, p + 1);
                    ++p;
                    continue;
                }
                p = pythonEscape(p);
            }
            i = p;
            from = p + 1;
        }
        skipNonBlank(from, m_n);
    }

    qint64 pythonEscape(qint64 p)
    {
        if (p + 1 >= m_n)
            return p + 1;
        const unsigned e = at(p + 1);
        static const char plain[] = "\\'\"abfnrtv";
        static const char value[] = "\\'\"\a\b\f\n\r\t\v";
        for (int k = 0; plain[k]; ++k)
            if (e == unsigned(plain[k])) {
                put(value[k]);
                return p + 2;
            }
        if ((e == 'x' || e == 'X') && p + 3 < m_n && hexValue(at(p + 2)) >= 0 &&
            hexValue(at(p + 3)) >= 0) {
            put(hexValue(at(p + 2)) << 4 | hexValue(at(p + 3)));
            return p + 4;
        }
        if (e >= '0' && e <= '7') { // octal, up to three digits
            int v = 0;
            qint64 q = p + 1;
            while (q < m_n && q < p + 4 && at(q) >= '0' && at(q) <= '7')
                v = v * 8 + int(at(q++) - '0');
            put(v & 0xff);
            return q;
        }
        skip(p, p + 2);
        return p + 2;
    }

    // Text outside the data, less its blanks and line breaks.
    void skipNonBlank(qint64 from, qint64 to)
    {
        for (qint64 i = from; i < to;) {
            if (isSeparator(at(i)) || isBreak(at(i))) {
                ++i;
                continue;
            }
            qint64 j = i;
            while (j < to && !isBreak(at(j)))
                ++j;
            qint64 e = j;
            while (e > i && isSeparator(at(e - 1)))
                --e;
            skip(i, e);
            i = j;
        }
    }

    // ------------------------------------------------------------------------------------------
    // Base64, from each picture's signature on, line breaks and blanks passed over.

    qint64 findSignature(qint64 from, qint64 to = -1) const
    {
        static const char *const signatures[] = {"/9j/", "iVBORw0KGgo", "R0lGOD"};
        if (to < 0)
            to = m_n;
        for (qint64 i = from; i < to; ++i) {
            const unsigned c = at(i);
            if (c != '/' && c != 'i' && c != 'R')
                continue;
            for (const char *s : signatures) {
                qint64 k = 0;
                while (s[k] && i + k < m_n && at(i + k) == unsigned(s[k]))
                    ++k;
                if (!s[k])
                    return i;
            }
        }
        return m_n;
    }

    void readBase64()
    {
        qint64 from = m_inBase64 ? base64Run(0) : 0;
        while (!m_inBase64 && !m_out.interrupted) {
            const qint64 i = findSignature(from);
            if (i >= m_n)
                break;
            skipNonBlank(from, i);
            m_bits = 0;
            m_have = 0;
            m_inBase64 = true;
            from = base64Run(i);
        }
        if (!m_inBase64)
            skipNonBlank(from, m_n);
    }

    // A picture's base64 from p on, to the first character that is none; returns where it ends.
    // At the end of what is there, the run goes on with the next block.
    qint64 base64Run(qint64 p)
    {
        for (; p < m_n && !stopping(); ++p) {
            const unsigned c = at(p);
            if (isBlank(c) || isBreak(c))
                continue;
            const int v = c < 128 ? kBase64[c] : -1;
            if (v < 0)
                break;
            m_bits = m_bits << 6 | unsigned(v);
            m_have += 6;
            if (m_have >= 8) {
                m_have -= 8;
                put(int(m_bits >> m_have) & 0xff);
            }
        }
        if (p >= m_n)
            return p;
        m_inBase64 = false;
        while (p < m_n && at(p) == '=')
            ++p;
        return p;
    }

    // ------------------------------------------------------------------------------------------
    // Which layout the text is in, from its first lines.

    Layout detect()
    {
        const qint64 sampleEnd = std::min<qint64>(m_n, m_sample);
        qint64 lines = 0, xxd = 0, hexdump = 0, od = 0, letters = 0, decimalBig = 0, tokens = 0;
        qint64 fullLines = 0, leadLines = 0;
        // The bytes of Python literals against those of tokens: the layout is the one where the
        // bulk of the data lies, not the one a stray line uses.
        qint64 pythonBytes = 0, tokenBytes = 0;
        std::map<qint64, qint64> prefixes, suffixes; // non-byte tokens before and after the bytes
        for (qint64 start = 0; start < sampleEnd;) {
            // A line longer than the sample (a dump on one line) is judged by its start.
            const qint64 end = lineEnd(start, sampleEnd);
            const qint64 next = nextLine(end);
            qint64 offset;
            qint64 marks = 0, blanks = 0;
            for (qint64 i = start; i < end; ++i) {
                marks += at(i) == '*';
                blanks += isSeparator(at(i));
            }
            // A blank line, or a column dump's '*', tells nothing of the layout.
            if (blanks == end - start || (marks == 1 && blanks == end - start - 1)) {
                start = next;
                continue;
            }
            ++lines;
            xxd += offsetColumn(Layout::Xxd, start, end, offset) >= 0;
            od += odWords(start, end);
            hexdump += hexdumpPairs(start, end);
            qint64 data = 0, prefix = 0, after = 0, pairs = 0, firstLength = 0, escapes = 0;
            bool python = false;
            for (qint64 i = start; i < end;) {
                if (isSeparator(at(i))) {
                    ++i;
                    continue;
                }
                qint64 j = i;
                while (j < end && !isSeparator(at(j)))
                    ++j;
                for (qint64 k = i; k + 2 < j && !python; ++k)
                    python = (at(k) == 'b' || at(k) == 'B') &&
                             (at(k + 1) == '\'' || at(k + 1) == '"') && at(k + 2) == '\\';
                for (qint64 k = i; k + 1 < j; ++k)
                    escapes += at(k) == '\\' && (at(k + 1) == 'x' || at(k + 1) == 'X');
                const unsigned form = token(i, j, false, false);
                const unsigned asDecimal = token(i, j, true, false);
                ++tokens;
                if (form || asDecimal) {
                    if (!data)
                        firstLength = j - i;
                    ++data;
                    after = 0;
                    pairs += j - i == 2;
                    for (qint64 k = i; k < j; ++k)
                        letters += (classOf(at(k)) & (Hex | Digit)) == Hex &&
                                   (form & (Pair | Single | Run));
                    decimalBig += asDecimal && j - i == 3;
                } else if (!data) {
                    ++prefix;
                } else {
                    ++after;
                }
                i = j;
            }
            if (python) {
                pythonBytes += escapes;
            } else {
                tokenBytes += data;
            }
            if (data >= 8) {
                ++fullLines;
                // A first column of another width than the pairs that follow it.
                const bool lead = firstLength != 2 && pairs >= data - 1;
                leadLines += lead;
                ++prefixes[prefix + lead];
                ++suffixes[after];
            }
            start = next;
        }
        auto mostOften = [](const std::map<qint64, qint64> &counts) {
            return counts.empty() ? 0
                                  : std::max_element(counts.begin(), counts.end(),
                                                     [](auto &a, auto &b) {
                                                         return a.second < b.second;
                                                     })->first;
        };
        m_leadColumn = fullLines > 0 && leadLines * 2 > fullLines;
        m_prefix = mostOften(prefixes);
        m_suffix = mostOften(suffixes);
        const qint64 most = std::max<qint64>(1, (lines + 1) / 2);
        if (pythonBytes > 0 && pythonBytes >= tokenBytes)
            return Layout::PythonBytes;
        if (xxd >= most)
            return Layout::Xxd;
        if (od >= most)
            return Layout::OdWords;
        if (hexdump >= most)
            return Layout::Hexdump;
        if (findSignature(0, sampleEnd) < sampleEnd && tokens < 4 * lines + 8)
            return Layout::Base64;
        if (decimalBig > 0 && letters == 0)
            return Layout::Decimal;
        return Layout::Tokens;
    }

    bool odWords(qint64 start, qint64 end) const
    {
        qint64 offset;
        qint64 p = offsetColumn(Layout::OdWords, start, end, offset);
        int words = 0;
        while (p >= 0 && p < end) {
            if (!isBlank(at(p)))
                return false;
            ++p;
            qint64 value;
            if (hexDigits(p, end, value) != 4)
                return false;
            p += 4;
            ++words;
        }
        return words > 0;
    }

    bool hexdumpPairs(qint64 start, qint64 end) const
    {
        qint64 offset;
        qint64 p = offsetColumn(Layout::Hexdump, start, end, offset);
        while (p >= 0 && p < end && isBlank(at(p)))
            ++p;
        qint64 value;
        return p >= 0 && p + 2 <= end && hexDigits(p, end, value) == 2;
    }

    QString describe(Layout layout) const
    {
        QString words;
        switch (layout) {
        case Layout::Tokens: {
            // The first of these forms that the text used names the reading.
            static constexpr std::pair<unsigned, const char *> kFormWords[] = {
                {ZeroX, QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 0x 前缀）")},
                {BackslashX, QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（\\x 转义）")},
                {AmpersandH, QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 &H 前缀）")},
                {HexSuffix, QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 h 后缀）")},
                {Dollar, QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 $ 前缀）")},
                {Single, QT_TRANSLATE_NOOP("ForgivingReader",
                                           "按每个字节一个记号读取（单个数字也算一个字节）")},
                {Run, QT_TRANSLATE_NOOP("ForgivingReader", "十六进制数字连写，每两个一个字节")},
            };
            words = Words::tr("每两个十六进制数字一个字节");
            for (const auto &[form, text] : kFormWords) {
                if (m_forms & form) {
                    words = Words::tr(text);
                    break;
                }
            }
            break;
        }
        case Layout::Decimal:
            words = Words::tr("十进制数字列表，每个数一个字节");
            break;
        case Layout::Xxd:
            words = Words::tr("xxd 的输出，跳过了偏移列和文字列");
            break;
        case Layout::Hexdump:
            words = m_zeroXOffsets ? Words::tr("ESP-IDF 的十六进制转储，跳过了偏移列和文字列")
                                   : Words::tr("hexdump -C 的输出，跳过了偏移列和文字列");
            break;
        case Layout::OdWords:
            words = Words::tr("od -x 的输出，每两个字节交换回原来的顺序");
            break;
        case Layout::PythonBytes:
            words = Words::tr("Python 的 bytes 字面量（b'…'）");
            break;
        case Layout::Base64:
            words = Words::tr("Base64 编码");
            break;
        }
        if (m_prefixSeen)
            words += Words::tr("，跳过了每行开头的时间戳或日志前缀");
        if (m_filled)
            words += Words::tr("，按偏移补上了 * 行省略的重复字节");
        if (m_out.wordLines > 0)
            words += Words::tr("，跳过了 %1 行文字").arg(m_out.wordLines);
        return words;
    }

    const std::atomic<bool> *m_cancel;
    qint64 m_sample;
    std::vector<Unit> m_buffer; // the text of lines not yet whole, or of the sample not yet full
    const Unit *m_d = nullptr;  // the text being read
    qint64 m_n = 0;
    Layout m_layout = Layout::Tokens;
    bool m_detected = false;
    bool m_done = false;
    ForgivingRead m_out;
    char *m_bytes = nullptr;
    qsizetype m_size = 0, m_capacity = 0;
    quint32 m_ticks = 0;
    qint64 m_filledBytes = 0;
    qint64 m_prefix = 0; // tokens before the bytes on a typical line
    qint64 m_suffix = 0; // tokens after them (a checksum, say)
    bool m_leadColumn = false; // each line starts with a count or a number unlike the bytes
    unsigned m_forms = 0;
    bool m_filled = false;
    bool m_prefixSeen = false;   // bytes came after a log prefix
    bool m_zeroXOffsets = false; // a column dump's offsets begin with 0x

    // What goes on from one block to the next.
    LineTally m_tally;
    bool m_inComment = false;
    QByteArray m_previous;  // a column dump's last line's bytes, for a '*' line
    bool m_repeat = false;  // a '*' line came: the next offset tells how much it stood for
    qint64 m_expected = -1; // the offset the next line should have
    qsizetype m_dumpStart = 0; // where the bytes of the current dump begin
    bool m_inBase64 = false;
    unsigned m_bits = 0;
    int m_have = 0;

    qint64 m_located = 0, m_line = 1, m_lineStart = 0;
    qint64 m_lastSkipStart = -1, m_lastSkipEnd = -1, m_lastSkipLine = -1;
    bool m_spanOpen = false;
};

} // namespace

namespace {

constexpr qint64 kWholeSample = 64 * 1024;

ForgivingRead outOfMemory()
{
    ForgivingRead read;
    read.outOfMemory = true;
    read.stopped = Words::tr("内存不足，无法读取这么长的文本");
    return read;
}

// A reading whose bytes do not fit in memory says so instead of ending the program.
template <typename Unit>
ForgivingRead readSafely(const Unit *data, qint64 size, const std::atomic<bool> *cancel)
{
    try {
        Reader<Unit> reader(cancel, kWholeSample);
        reader.feed(data, size, true);
        return reader.finish();
    } catch (const std::bad_alloc &) {
        return outOfMemory();
    }
}

} // namespace

ForgivingRead readForgiving(QStringView text, const std::atomic<bool> *cancel)
{
    return readSafely(text.utf16(), text.size(), cancel);
}

ForgivingRead readForgiving(QByteArrayView utf8, const std::atomic<bool> *cancel)
{
    return readSafely(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size(), cancel);
}

struct ForgivingStream::Private {
    Private(qint64 sample, const std::atomic<bool> *cancel)
        : reader(cancel, sample)
    {
    }
    Reader<unsigned char> reader;
};

ForgivingStream::ForgivingStream(qint64 sample, const std::atomic<bool> *cancel)
    : d(std::make_unique<Private>(sample, cancel))
{
}

ForgivingStream::~ForgivingStream() = default;
ForgivingStream::ForgivingStream(ForgivingStream &&) noexcept = default;
ForgivingStream &ForgivingStream::operator=(ForgivingStream &&) noexcept = default;

QByteArray ForgivingStream::feed(QByteArrayView utf8, bool pause)
{
    try {
        d->reader.feed(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size(), false,
                       pause);
        return d->reader.take();
    } catch (const std::bad_alloc &) {
        d->reader.result() = outOfMemory();
        return {};
    }
}

QByteArray ForgivingStream::finish()
{
    try {
        d->reader.feed(nullptr, 0, true);
        return d->reader.take(true);
    } catch (const std::bad_alloc &) {
        d->reader.result() = outOfMemory();
        return {};
    }
}

const ForgivingRead &ForgivingStream::read() const
{
    return d->reader.result();
}

bool ForgivingStream::ended() const
{
    return d->reader.done();
}

} // namespace hexjpg
