#pragma once

// Which layout a dump is in, judged from its first lines, and the words for how it was read.
// Both are pure functions: the judgement of the text window's sample, the words of the layout and
// of what the readers met on the way.

#include "text_window.h"

#include <QString>

namespace hexjpg::forgiving {

enum class Layout { Tokens, Decimal, Xxd, Hexdump, OdWords, PythonBytes, Base64 };

// The layout, and the shape of a typical line of tokens.
struct Judgement {
    Layout layout = Layout::Tokens;
    bool leadColumn = false; // each line starts with a count or a number unlike the bytes
    qint64 prefix = 0;       // tokens before the bytes on a typical line (a timestamp, say)
    qint64 suffix = 0;       // tokens after them (a checksum, say)
};

// Judged from the first sampleEnd characters of the window: the layout is the one where the bulk
// of the data lies, not the one a stray line uses.
template <typename Unit> Judgement judgeLayout(const TextWindow<Unit> &text, qint64 sampleEnd);

// How one token reads, as the readers tell the description.
inline constexpr unsigned Pair = 1;           // two hex digits
inline constexpr unsigned Single = 2;         // one hex digit
inline constexpr unsigned Run = 4;            // pairs without blanks
inline constexpr unsigned ZeroX = 8;          // 0xFF
inline constexpr unsigned BackslashX = 16;    // \xff
inline constexpr unsigned AmpersandH = 32;    // &HFF
inline constexpr unsigned HexSuffix = 64;     // FFh
inline constexpr unsigned Dollar = 128;       // $FF
inline constexpr unsigned DecimalToken = 256; // 255

// What the readers met that the words for the reading tell.
struct Traits {
    unsigned forms = 0;        // how the tokens' bytes were spelled
    bool prefixSeen = false;   // bytes came after a log prefix
    bool filled = false;       // '*' lines were filled from their offsets
    bool zeroXOffsets = false; // a column dump's offsets begin with 0x
};

QString describe(Layout layout, const Traits &traits, qint64 wordLines);

} // namespace hexjpg::forgiving
