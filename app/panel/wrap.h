#pragma once

// The wrap rule of the text panel: how its text breaks into visual lines of 48 cells, as the
// multi-line text box of the original platform wraps a dump in the window's font. QtCore only.

#include <QString>
#include <QStringView>

#include <vector>

namespace panel {

// Cells of a visual line: 48 half-width characters, or 24 full-width ones.
inline constexpr int kLineCells = 48;

// A line's wrap depends on no more than this many characters from its start: 48 cells of up to
// two code units each, the character at the limit and a line break after it.
inline constexpr qint64 kWrapWindow = 2 * kLineCells + 2;

// Cells a character takes: 2 for East Asian wide and full-width characters, else 1.
int cellWidth(char32_t c) noexcept;

// The wrap rule. A visual line holds at most kLineCells cells. It breaks after the last blank
// (U+0020) that fits, or at the cell limit when none does; a blank that falls right at the limit
// stays on the line, and so does a line break right after that blank. A line break ends its
// line. Returns where the line after the one starting at start begins, or -1 when that line runs
// to the end of the text.
qint64 nextLineStart(QStringView text, qint64 start) noexcept;

// Every visual line's start, wrapping the whole text from scratch.
std::vector<qint64> wrapAll(QStringView text);

// CR LF and lone CR become LF.
QString normalizeLineBreaks(QStringView text);

} // namespace panel
