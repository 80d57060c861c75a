#pragma once

// The forgiving reader's tokens: a byte as one or two hex digits (Arduino's Serial.print(b, HEX)
// drops the leading zero), with or without 0x, \x, &H, $ or a trailing h; runs of pairs without
// blanks; decimal numbers in a decimal list. Line by line: a line's leading tokens that are no
// bytes (a timestamp, a log prefix) are passed over, and a line whose tokens are mostly words is
// left out whole. C comments are passed over, across lines and blocks.

#include "layout.h"
#include "ledger.h"
#include "text_window.h"

namespace hexjpg::forgiving {

// How the token [a, b) reads: its forms (layout.h), or 0 when it is no byte. With out, its bytes
// go there.
template <typename Unit>
unsigned readToken(const TextWindow<Unit> &text, qint64 a, qint64 b, bool decimal,
                   Ledger<Unit> *out);
template <typename Unit>
unsigned tokenForm(const TextWindow<Unit> &text, qint64 a, qint64 b, bool decimal)
{
    return readToken<Unit>(text, a, b, decimal, nullptr);
}

template <typename Unit> class TokenReader {
public:
    void read(const TextWindow<Unit> &text, Ledger<Unit> &ledger, const Judgement &judged,
              Traits &traits, bool decimal);

private:
    struct LineTally {
        unsigned forms = 0;    // how its bytes were spelled
        qint64 data = 0;       // tokens that are bytes
        qint64 prefix = 0;     // tokens that are not, before the first byte
        qint64 strayAfter = 0; // tokens that are not, after it
        qint64 firstToken = -1, lastTokenEnd = -1;
    };

    // What goes on from one block to the next: the line under way, and a comment left open.
    LineTally m_tally;
    bool m_inComment = false;
    bool m_midLine = false; // the last block read ended inside a line
};

} // namespace hexjpg::forgiving
