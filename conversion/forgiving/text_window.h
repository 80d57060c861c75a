#pragma once

// The forgiving reader's view of the text: the characters of the block being read, the character
// classes the readers go by, and the framing of a text that arrives in blocks. A block is read up
// to the end of its last whole line; the rest waits in the window for the next block. A line
// that never ends is read up to its last blank once it is long; one without any blank stops the
// reading. Unit is char16_t (a QString's text) or unsigned char (UTF-8).

#include "forgiving_reader.h"
#include "hex_decode.h"

#include <QtGlobal>

#include <array>
#include <vector>

namespace hexjpg::forgiving {

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
inline constexpr std::array<unsigned char, 128> kClasses = makeClasses();

// hexDigitValue as a table: the hot loops look a digit up in one step.
constexpr std::array<signed char, 128> makeHexValues()
{
    std::array<signed char, 128> v{};
    for (char16_t c = 0; c < 128; ++c)
        v[c] = static_cast<signed char>(hexDigitValue(c));
    return v;
}
inline constexpr std::array<signed char, 128> kHexValues = makeHexValues();

constexpr int hexValue(unsigned c)
{
    return c < 128 ? kHexValues[c] : -1;
}
constexpr unsigned classOf(unsigned c)
{
    return c < 128 ? kClasses[c] : 0;
}
constexpr bool isSeparator(unsigned c)
{
    return c < 128 ? (kClasses[c] & Separator) != 0 : (c == 0xa0 || c == 0x3000);
}
constexpr bool isBreak(unsigned c)
{
    return c == '\n' || c == '\r';
}
constexpr bool isBlank(unsigned c)
{
    return c == ' ' || c == '\t';
}

template <typename Unit> class TextWindow {
public:
    // A line of a text that arrives in blocks is read before it ends once it is this long, and
    // one this long without a blank stops the reading.
    static constexpr qint64 kLongLine = 64 * 1024;
    static constexpr qint64 kMaxLine = qint64(16) << 20;

    // The text being read: n characters from d.
    unsigned at(qint64 i) const { return unsigned(m_d[i]); }
    qint64 size() const { return m_n; }

    qint64 lineEnd(qint64 from, qint64 limit = -1) const
    {
        if (limit < 0)
            limit = m_n;
        while (from < limit && !isBreak(at(from)))
            ++from;
        return from;
    }
    // Whether the line that begins at i is one a program wrote of its own (kSentMark, kNoteMark).
    bool ownLine(qint64 i) const
    {
        if constexpr (sizeof(Unit) == sizeof(char16_t))
            return at(i) == kSentMark || at(i) == kNoteMark;
        else // the marks in UTF-8: E2 86 92 and E2 80 BB
            return i + 2 < m_n && at(i) == 0xe2 &&
                   ((at(i + 1) == 0x86 && at(i + 2) == 0x92) ||
                    (at(i + 1) == 0x80 && at(i + 2) == 0xbb));
    }
    qint64 nextLine(qint64 end) const
    {
        return end < m_n && at(end) == '\r' && end + 1 < m_n && at(end + 1) == '\n' ? end + 2
                                                                                    : end + 1;
    }
    // Reads hex digits at p, at most 15 (60 bits); returns how many.
    qint64 hexDigits(qint64 p, qint64 end, qint64 &value) const
    {
        value = 0;
        qint64 q = p;
        while (q < end && hexValue(at(q)) >= 0 && q - p < 15)
            value = value << 4 | hexValue(at(q++));
        return q - p;
    }

    // The block joins what waited; returns how many characters are ready to be read: the whole
    // lines, all of it with ended (the text's end, or a pause), a long line up to its last blank,
    // or -1 when a line passes kMaxLine without a blank.
    qint64 frame(const Unit *data, qint64 size, bool ended)
    {
        m_data = data;
        m_dataSize = size;
        m_d = data;
        m_n = size;
        if (!m_waiting.empty()) {
            m_waiting.insert(m_waiting.end(), data, data + size);
            m_d = m_waiting.data();
            m_n = qint64(m_waiting.size());
        }
        qint64 cut = ended ? m_n : wholeLines();
        if (cut == 0 && m_n >= kLongLine) {
            cut = lastBlank();
            if (cut == 0 && m_n >= kMaxLine)
                return -1;
        }
        return cut;
    }
    // The reading goes over the first cut characters of the framed text.
    void open(qint64 cut) { m_n = cut; }
    // What was read is let go; the rest waits for the next block.
    void release(qint64 cut)
    {
        if (m_d == m_waiting.data())
            m_waiting.erase(m_waiting.begin(), m_waiting.begin() + cut);
        else
            m_waiting.assign(m_data + cut, m_data + m_dataSize);
        m_d = nullptr;
        m_n = 0;
    }
    void drop() { m_waiting.clear(); }

private:
    // How far the whole lines reach: past the last line break that is surely whole (a '\r' at the
    // very end may yet be followed by its '\n').
    qint64 wholeLines() const
    {
        for (qint64 i = m_n - 1; i >= 0; --i) {
            if (at(i) == '\n')
                return i + 1;
            if (at(i) == '\r' && i + 1 < m_n)
                return i + 1;
        }
        return 0;
    }
    // Past the last blank of a line that has not ended; 0 when it has none.
    qint64 lastBlank() const
    {
        for (qint64 i = m_n - 1; i >= 0; --i)
            if (isBlank(at(i)))
                return i + 1;
        return 0;
    }

    const Unit *m_d = nullptr;
    qint64 m_n = 0;
    const Unit *m_data = nullptr; // the block as given
    qint64 m_dataSize = 0;
    std::vector<Unit> m_waiting; // the text of lines not yet whole, or of the sample not yet full
};

} // namespace hexjpg::forgiving
