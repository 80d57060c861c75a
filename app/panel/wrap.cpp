#include "wrap.h"

#include <algorithm>
#include <iterator>

namespace panel {

namespace {

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

} // namespace panel
