// The plain reference decoder: the rule followed one character at a time, for the tests to hold
// the fast decoder against.

#include "hex_decode.h"

namespace hexjpg {

qint64 workingLengthReference(QStringView text)
{
    qint64 n = 0;
    for (QChar c : text)
        if (!isSeparator(c.unicode()))
            ++n;
    return n;
}

QByteArray decodeHexReference(QStringView text, ProgressSink *progress)
{
    const qint64 pairs = decodedSize(workingLengthReference(text));
    QByteArray out(pairs, '\0');
    qint64 j = 0;    // pairs stored
    qint64 want = 1; // next position the sink asked for
    int first = -2;  // digit value of the pending first character, -2 when none is pending
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (isSeparator(c))
            continue;
        if (first == -2) {
            const qint64 position = 2 * j + 1;
            if (progress && (position >= want || j == pairs - 1))
                want = progress->reached(position);
            first = hexDigitValue(c);
        } else {
            out[j++] = char(pairValue(first, hexDigitValue(c)));
            first = -2;
        }
    }
    if (first != -2)
        out[j++] = char(pairValue(first, -1));
    return out;
}

} // namespace hexjpg
