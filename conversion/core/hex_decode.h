#pragma once

// Decoding of a pasted hex dump into bytes.
//
// The working text is the pasted text less every white-space character (the blank, tab, CR, LF,
// the full-width blank, the no-break space, ... : whatever QChar::isSpace calls white space).
// It is cut into pairs by position: characters 1-2, 3-4, ...; an odd last character stands alone.
// Each pair is read from its first character as hexadecimal digits until a character that is not
// one: "FF" 255, "7G" 7, "G7" 0, "GG" 0, a lone "F" 15.
//
// Two decoders stand side by side: a plain reference that follows the rule one character at a
// time, and the fast one used by the program. They never copy the working text.

#include <QByteArray>
#include <QChar>
#include <QLatin1StringView>
#include <QStringView>
#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace hexjpg {

inline bool isSeparator(char16_t c) noexcept
{
    return QChar::isSpace(c);
}

// Value of one hexadecimal digit, or -1 for any other character.
constexpr int hexDigitValue(char16_t c) noexcept
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The byte of a pair whose digits have the values hi and lo (-1: not a digit).
constexpr std::uint8_t pairValue(int hi, int lo) noexcept
{
    if (hi < 0)
        return 0;
    if (lo < 0)
        return std::uint8_t(hi);
    return std::uint8_t(hi * 16 + lo);
}

constexpr qint64 decodedSize(qint64 workingLength) noexcept
{
    return (workingLength + 1) / 2;
}

// Follows the decoding pair by pair. Positions count characters of the working text from 1, so
// pairs start at 1, 3, 5, ...
class ProgressSink {
public:
    virtual ~ProgressSink() = default;

    // Told the working text's length before the first pair.
    virtual void started(qint64 workingLength) { Q_UNUSED(workingLength); }

    // Called with the position of a pair before it is decoded. Returns the next position the sink
    // wants to hear of: the decoder calls again at the first pair that starts there or later. The
    // first and the last pair are always reported. A sink that wants every pair returns
    // position + 2.
    virtual qint64 reached(qint64 position) = 0;
};

// Reference implementation: plain, one character at a time.
qint64 workingLengthReference(QStringView text);
QByteArray decodeHexReference(QStringView text, ProgressSink *progress = nullptr);

// Fast implementation. out must hold decodedSize(workingLength(text)) bytes; returns the number
// of bytes stored, never more than out.size().
qint64 workingLength(QStringView text) noexcept;
qint64 decodeHex(QStringView text, std::span<std::uint8_t> out, ProgressSink *progress = nullptr);

// The same over Latin-1 text, where each byte is one character: for a dump read from a file that
// is all ASCII, with no conversion to UTF-16 first.
qint64 workingLength(QLatin1StringView text) noexcept;
qint64 decodeHex(QLatin1StringView text, std::span<std::uint8_t> out,
                 ProgressSink *progress = nullptr);

// Streaming: the decoded bytes go to out block by block, in order, with no buffer for the whole
// result. A progress sink is followed only where workingLength (that of the text, as
// workingLength() gives it) is given, since the last pair must be known.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes the next block; false stops the decoding.
    virtual bool write(std::span<const std::uint8_t> block) = 0;
};

struct StreamResult {
    qint64 workingLength = 0;
    qint64 bytes = 0;      // decoded, the refused block included
    bool complete = false; // every block was taken
};

StreamResult decodeHex(QStringView text, ByteSink &out, ProgressSink *progress = nullptr,
                       qint64 workingLength = -1);
StreamResult decodeHex(QLatin1StringView text, ByteSink &out, ProgressSink *progress = nullptr,
                       qint64 workingLength = -1);

// Decodes a dump that arrives in pieces, as it is read: the pairs run on across the pieces' seams,
// so the result is that of the whole text at once. Memory stays the same whatever the length.
class HexStreamDecoder {
public:
    explicit HexStreamDecoder(ByteSink &out);
    ~HexStreamDecoder();
    HexStreamDecoder(const HexStreamDecoder &) = delete;
    HexStreamDecoder &operator=(const HexStreamDecoder &) = delete;

    // false once the sink has refused a block: nothing more is decoded.
    bool feed(QStringView piece);
    bool feed(QLatin1StringView piece);
    // Decodes a last lone character and hands on what is held back.
    bool finish();

    qint64 workingLength() const;
    qint64 bytes() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The fast decoder's vector kernels. The best one the processor has is used; tests and the
// benchmark pick each in turn. Not thread-safe: pick before decoding.
enum class DecoderKernel { Scalar, Ssse3, Avx2 };
std::vector<DecoderKernel> availableDecoderKernels();
void useDecoderKernel(DecoderKernel kernel);

// Convenience over the fast decoder.
QByteArray decodeHex(QStringView text, ProgressSink *progress = nullptr);

} // namespace hexjpg
