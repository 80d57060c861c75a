#pragma once

// The forgiving reading of a pasted dump, beside the strict one of hex_decode.h: it takes the
// layouts that cameras, serial monitors, hex editors and programmers really print, and says what
// it skipped and how it read the text. QtCore only; linear in the text.
//
// It reads a byte as a token of one or two hex digits (Arduino's Serial.print(b, HEX) drops the
// leading zero), with or without 0x, \x, &H, $ or a trailing h; runs of pairs without blanks;
// Python's b'...' literals; the offset and ASCII columns of xxd, hexdump -C, ESP-IDF's hexdump
// and od -x (whose words it swaps back, and whose * lines it fills in); decimal lists; base64.
// Timestamps and log prefixes before the bytes, comments, and lines of words are skipped.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <atomic>
#include <vector>

namespace hexjpg {

// Characters the reading passed over: line and column count from 1, in characters.
struct SkippedSpan {
    qint64 line = 0;
    qint64 column = 0;
    qint64 length = 0;
};

struct ForgivingRead {
    QByteArray bytes;
    QString layout;                   // how the text was read, in words
    std::vector<SkippedSpan> skipped; // the first kMaxSpans of them
    qint64 skippedSpans = 0;          // all of them
    qint64 skippedCharacters = 0;
    qint64 wordLines = 0; // lines of words (status messages) left out whole
    QString stopped;      // why the reading stopped before the end of the text, in words
    bool interrupted = false;
    bool outOfMemory = false; // nothing was read: the bytes did not fit in memory

    static constexpr std::size_t kMaxSpans = 1000;
    // All the '*' lines of a text together stand for at most this many bytes: a hostile offset
    // must not make bytes from nothing.
    static constexpr qint64 kMaxFill = qint64(64) << 20;
};

// Stops early when cancel becomes true, or when interruption is requested (interruption.h).
ForgivingRead readForgiving(QStringView text, const std::atomic<bool> *cancel = nullptr);
// Text as UTF-8 bytes; a character outside ASCII counts one column per byte.
ForgivingRead readForgiving(QByteArrayView utf8, const std::atomic<bool> *cancel = nullptr);

} // namespace hexjpg
