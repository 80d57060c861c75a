#pragma once

// Where the caret goes in the panel's text: by character (a surrogate pair and the marks after a
// character are one step), by word, and the seams of wrapped lines. Pure functions over the text
// and its line index; QtCore only.

#include "document.h"

#include <QStringView>

namespace panel {

// Whether position falls between the two halves of a surrogate pair: no place for the caret.
bool splitsPair(QStringView text, qint64 position);

qint64 nextCharacter(QStringView text, qint64 position);
qint64 previousCharacter(QStringView text, qint64 position);
// To the start of the next word, past the blanks after it.
qint64 nextWord(QStringView text, qint64 position);
// To the start of this word or the one before, past the blanks before position.
qint64 previousWord(QStringView text, qint64 position);

// The word a double click at position takes, within its line: a click just past a word's end
// takes that word. Empty where the text is.
struct Span {
    qint64 start = 0;
    qint64 end = 0;
};
Span wordAt(QStringView text, qint64 position);

// The visual line a position shows on: at the seam of a wrapped line, the end of the upper line
// when the caret got there from it (End, a click past its end), else the start of the lower one.
qint64 displayLine(const Document &document, qint64 position, bool atLineEnd);

// The furthest the caret goes on a line: before a blank at which the line wraps, else its end.
qint64 caretEnd(const Document &document, qint64 line);

// Whether a caret at position on line sits at the seam with the next line, at the end of line.
bool atSeam(const Document &document, qint64 line, qint64 position);

} // namespace panel
