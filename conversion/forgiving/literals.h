#pragma once

// The forgiving reader's literals: Python's b'...' (escapes, and printable characters as the bytes
// they stand for), and base64 from each picture's signature on (/9j/ for JPEG, iVBORw0KGgo for
// PNG, R0lGOD for GIF), line breaks and blanks passed over; a base64 run goes on across blocks.

#include "ledger.h"
#include "text_window.h"

namespace hexjpg::forgiving {

// The first picture signature in base64 at or after from, before to (-1: the window's end);
// the window's size when there is none.
template <typename Unit>
qint64 findSignature(const TextWindow<Unit> &text, qint64 from, qint64 to = -1);

template <typename Unit> class PythonReader {
public:
    void read(const TextWindow<Unit> &text, Ledger<Unit> &ledger);

private:
    qint64 escape(const TextWindow<Unit> &text, Ledger<Unit> &ledger, qint64 p);
};

template <typename Unit> class Base64Reader {
public:
    void read(const TextWindow<Unit> &text, Ledger<Unit> &ledger);

private:
    qint64 run(const TextWindow<Unit> &text, Ledger<Unit> &ledger, qint64 p);

    // What goes on from one block to the next: a run under way, and its bits not yet a byte.
    bool m_inRun = false;
    unsigned m_bits = 0;
    int m_have = 0;
};

} // namespace hexjpg::forgiving
