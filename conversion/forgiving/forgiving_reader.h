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
#include <memory>
#include <vector>

namespace hexjpg {

// Lines that a program writes of its own among what it received (what it sent to the board, a port
// lost and back) begin with one of these marks; the reading leaves such lines out whole.
inline constexpr char16_t kSentMark = u'\u2192'; // →
inline constexpr char16_t kNoteMark = u'\u203b'; // ※

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

// The same reading of a text that arrives in blocks, as from a serial line: each block's whole
// lines are read as they come, and the bytes they hold handed on. The layout is judged from the
// first sample characters (the whole-text reading judges it from its first 64 KiB), or from what
// has come by a pause or the end. Text as UTF-8 bytes, as readForgiving(QByteArrayView).
class ForgivingStream {
public:
    static constexpr qint64 kSample = 4096;

    explicit ForgivingStream(qint64 sample = kSample, const std::atomic<bool> *cancel = nullptr);
    ~ForgivingStream();
    ForgivingStream(ForgivingStream &&) noexcept;
    ForgivingStream &operator=(ForgivingStream &&) noexcept;

    // The bytes of the lines that block completes. With pause (the line fell silent), the line
    // under way is read as ended too, and the layout, if it is not known yet, is judged from what
    // has come: a short first picture need not wait for more.
    QByteArray feed(QByteArrayView utf8, bool pause = false);
    // The bytes of the rest, a last line without its line break too. Nothing more is read.
    QByteArray finish();
    // How the text was read and what was skipped, so far; its bytes stay empty.
    const ForgivingRead &read() const;
    // The reading stopped for good: interrupted, or a limit passed (read().stopped says which).
    bool ended() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace hexjpg
