// The fast decoder: picks the best kernels the processor has, and runs the text through them
// chunk by chunk, into the caller's memory or a byte sink, following the progress it is asked to.

#include "hex_decode.h"
#include "hex_kernels.h"

#include <algorithm>
#include <array>
#include <limits>

namespace hexjpg {

// The text is taken in chunks. Each chunk is compacted into a small buffer of ASCII bytes (white
// space dropped, every character outside ASCII that is not white space turned into a non-digit),
// and the buffer's pairs are then decoded a vector at a time, into the caller's memory or into a
// window that goes to a byte sink whenever it fills. Both stages use AVX2 (32 characters at a
// time) or SSSE3 (16) where the processor has them; a block holding a character outside ASCII
// takes the scalar road.

namespace {

using kernels::DecodeFn;
using kernels::Kernels;

constexpr std::size_t kChunk = 4096; // characters compacted per round

Kernels kernelsFor(DecoderKernel kernel)
{
#ifdef HEXJPG_X86_SIMD
    switch (kernel) {
    case DecoderKernel::Avx2:
        return kernels::avx2();
    case DecoderKernel::Ssse3:
        return kernels::ssse3();
    case DecoderKernel::Scalar:
        break;
    }
#else
    Q_UNUSED(kernel);
#endif
    return kernels::scalar();
}

bool supported(DecoderKernel kernel)
{
#ifdef HEXJPG_X86_SIMD
    __builtin_cpu_init();
    switch (kernel) {
    case DecoderKernel::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    case DecoderKernel::Ssse3:
        return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    case DecoderKernel::Scalar:
        break;
    }
    return true;
#else
    return kernel == DecoderKernel::Scalar;
#endif
}

Kernels bestKernels()
{
    for (DecoderKernel kernel : {DecoderKernel::Avx2, DecoderKernel::Ssse3})
        if (supported(kernel))
            return kernelsFor(kernel);
    return kernels::scalar();
}

// The kernels in use: the best the processor has, unless a test or the benchmark picked others.
Kernels &current()
{
    static Kernels k = bestKernels();
    return k;
}

} // namespace

std::vector<DecoderKernel> availableDecoderKernels()
{
    std::vector<DecoderKernel> result;
    for (DecoderKernel kernel : {DecoderKernel::Scalar, DecoderKernel::Ssse3, DecoderKernel::Avx2})
        if (supported(kernel))
            result.push_back(kernel);
    return result;
}

void useDecoderKernel(DecoderKernel kernel)
{
    if (supported(kernel))
        current() = kernelsFor(kernel);
}

namespace {

// Stores decoded pairs in a window of memory and tells the sink of the positions it asked for.
// A full window goes to the byte sink, when there is one, and is then filled again.
class PairWriter {
public:
    // lastPair: index of the last pair, kNever when unknown (only without progress).
    PairWriter(std::span<std::uint8_t> window, ByteSink *flushTo, std::size_t lastPair,
               ProgressSink *progress, DecodeFn decode)
        : m_window(window)
        , m_flushTo(flushTo)
        , m_last(lastPair)
        , m_progress(progress)
        , m_decode(decode)
        , m_nextReport(progress && lastPair != kNever ? 0 : kNever)
    {
    }

    static constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

    void write(const std::uint8_t *src, std::size_t pairs)
    {
        while (pairs > 0) {
            if (m_used == m_window.size() && !flush())
                return;
            if (m_stored == m_nextReport)
                report();
            const std::size_t run =
                std::min({pairs, m_window.size() - m_used, m_nextReport - m_stored});
            m_decode(src, run, m_window.data() + m_used);
            src += 2 * run;
            m_used += run;
            m_stored += run;
            pairs -= run;
        }
    }

    void writeLast(std::uint8_t c)
    {
        const std::uint8_t pair[2] = {c, ' '};
        write(pair, 1);
    }

    // Hands the rest of the window to the byte sink; false when the sink refused a block.
    bool finish() { return !m_flushTo || flush(); }

    std::size_t stored() const { return m_stored; }
    bool stopped() const { return m_stopped; }

private:
    bool flush()
    {
        if (!m_flushTo || m_stopped)
            return false;
        if (m_used > 0 && !m_flushTo->write({m_window.data(), m_used})) {
            m_stopped = true;
            return false;
        }
        m_used = 0;
        return true;
    }

    void report()
    {
        const qint64 want = m_progress->reached(qint64(2 * m_stored + 1));
        if (m_stored == m_last) {
            m_nextReport = kNever;
            return;
        }
        // The first pair starting at or after position want.
        const std::size_t index = want > 0 ? std::size_t(want / 2) : 0;
        m_nextReport = std::clamp(index, m_stored + 1, m_last);
    }

    std::span<std::uint8_t> m_window;
    ByteSink *m_flushTo;
    std::size_t m_last;
    ProgressSink *m_progress;
    DecodeFn m_decode;
    std::size_t m_nextReport;
    std::size_t m_used = 0;   // bytes of the window in use
    std::size_t m_stored = 0; // pairs decoded in all
    bool m_stopped = false;
};

template <typename Unit> qint64 countWorking(const Unit *src, std::size_t length)
{
    return qint64(current().count(src)(src, length));
}

// Runs text through the compactor chunk by chunk and hands the pairs to the writer. A character
// left without its partner waits in carry for the next call.
class Compactor {
public:
    explicit Compactor(PairWriter &writer)
        : m_writer(writer)
    {
    }

    template <typename Unit> void run(const Unit *src, std::size_t length)
    {
        const auto compact = current().compact(src);
        for (std::size_t i = 0; i < length; i += kChunk) {
            const std::size_t added =
                compact(src + i, std::min(kChunk, length - i), m_buffer + m_have);
            m_characters += qint64(added);
            m_have += added;
            m_writer.write(m_buffer, m_have / 2);
            if (m_have % 2)
                m_buffer[0] = m_buffer[m_have - 1];
            m_have %= 2;
        }
    }

    void finish()
    {
        if (m_have)
            m_writer.writeLast(m_buffer[0]);
        m_have = 0;
    }

    qint64 characters() const { return m_characters; }

private:
    PairWriter &m_writer;
    // Room for one carried character, a chunk, and the compactor's 8-byte stores past its end.
    alignas(16) std::uint8_t m_buffer[kChunk + 32];
    std::size_t m_have = 0;
    qint64 m_characters = 0;
};

template <typename Unit> qint64 decodeUnits(const Unit *src, std::size_t length, PairWriter &writer)
{
    Compactor compactor(writer);
    compactor.run(src, length);
    compactor.finish();
    return compactor.characters();
}

template <typename Unit>
qint64 decodeInto(const Unit *src, std::size_t length, std::span<std::uint8_t> out,
                  ProgressSink *progress)
{
    PairWriter writer(out, nullptr, out.empty() ? PairWriter::kNever : out.size() - 1, progress,
                      current().decode);
    decodeUnits(src, length, writer);
    return qint64(writer.stored());
}

constexpr std::size_t kWindow = 64 * 1024; // decoded bytes handed to a byte sink at a time

template <typename Unit>
StreamResult decodeTo(const Unit *src, std::size_t length, ByteSink &out, ProgressSink *progress,
                      qint64 workingLength)
{
    std::array<std::uint8_t, kWindow> window;
    const std::size_t pairs = std::size_t(decodedSize(workingLength));
    PairWriter writer(window, &out, workingLength > 0 ? pairs - 1 : PairWriter::kNever,
                      workingLength >= 0 ? progress : nullptr, current().decode);
    StreamResult result;
    result.workingLength = decodeUnits(src, length, writer);
    result.complete = writer.finish();
    result.bytes = qint64(writer.stored());
    return result;
}

const unsigned char *units(QLatin1StringView text)
{
    return reinterpret_cast<const unsigned char *>(text.data());
}

} // namespace

qint64 workingLength(QStringView text) noexcept
{
    return countWorking(text.utf16(), std::size_t(text.size()));
}

qint64 workingLength(QLatin1StringView text) noexcept
{
    return countWorking(units(text), std::size_t(text.size()));
}

qint64 decodeHex(QStringView text, std::span<std::uint8_t> out, ProgressSink *progress)
{
    return decodeInto(text.utf16(), std::size_t(text.size()), out, progress);
}

qint64 decodeHex(QLatin1StringView text, std::span<std::uint8_t> out, ProgressSink *progress)
{
    return decodeInto(units(text), std::size_t(text.size()), out, progress);
}

StreamResult decodeHex(QStringView text, ByteSink &out, ProgressSink *progress,
                       qint64 workingLength)
{
    return decodeTo(text.utf16(), std::size_t(text.size()), out, progress, workingLength);
}

StreamResult decodeHex(QLatin1StringView text, ByteSink &out, ProgressSink *progress,
                       qint64 workingLength)
{
    return decodeTo(units(text), std::size_t(text.size()), out, progress, workingLength);
}

struct HexStreamDecoder::State {
    explicit State(ByteSink &out)
        : writer(window, &out, PairWriter::kNever, nullptr, current().decode)
        , compactor(writer)
    {
    }
    std::array<std::uint8_t, kWindow> window;
    PairWriter writer;
    Compactor compactor;
};

HexStreamDecoder::HexStreamDecoder(ByteSink &out)
    : m_state(std::make_unique<State>(out))
{
}

HexStreamDecoder::~HexStreamDecoder() = default;

bool HexStreamDecoder::feed(QStringView piece)
{
    m_state->compactor.run(piece.utf16(), std::size_t(piece.size()));
    return !m_state->writer.stopped();
}

bool HexStreamDecoder::feed(QLatin1StringView piece)
{
    m_state->compactor.run(units(piece), std::size_t(piece.size()));
    return !m_state->writer.stopped();
}

bool HexStreamDecoder::finish()
{
    m_state->compactor.finish();
    return m_state->writer.finish();
}

qint64 HexStreamDecoder::workingLength() const
{
    return m_state->compactor.characters();
}

qint64 HexStreamDecoder::bytes() const
{
    return qint64(m_state->writer.stored());
}

QByteArray decodeHex(QStringView text, ProgressSink *progress)
{
    QByteArray out(decodedSize(workingLength(text)), Qt::Uninitialized);
    const qint64 stored = decodeHex(
        text, {reinterpret_cast<std::uint8_t *>(out.data()), std::size_t(out.size())}, progress);
    out.truncate(stored);
    return out;
}

namespace kernels {

Kernels scalar()
{
    return {compactScalar<char16_t>, compactScalar<unsigned char>, countScalar<char16_t>,
            countScalar<unsigned char>, decodePairsScalar};
}

} // namespace kernels

} // namespace hexjpg
