#include "hex_decode.h"

#include <algorithm>
#include <array>
#include <limits>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define HEXJPG_X86_SIMD 1
#include <immintrin.h>
#endif

namespace hexjpg {

// ---------------------------------------------------------------------------------------------
// Reference

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

// ---------------------------------------------------------------------------------------------
// Fast
//
// The text is taken in chunks. Each chunk is compacted into a small buffer of ASCII bytes (white
// space dropped, every character outside ASCII that is not white space turned into a non-digit),
// and the buffer's pairs are then decoded a vector at a time, into the caller's memory or into a
// window that goes to a byte sink whenever it fills. Both stages use AVX2 (32 characters at a
// time) or SSSE3 (16) where the processor has them; a block holding a character outside ASCII
// takes the scalar road.

namespace {

constexpr std::size_t kChunk = 4096; // characters compacted per round
constexpr std::uint8_t kNotDigit = 'G';

inline bool isAsciiSeparator(unsigned c)
{
    return c == ' ' || (c - 9u) < 5u;
}

// Code units: char16_t for UTF-16, unsigned char for Latin-1.
template <typename Unit>
std::size_t compactScalar(const Unit *src, std::size_t count, std::uint8_t *dst)
{
    std::uint8_t *const start = dst;
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = src[i];
        if (c < 0x80) {
            if (!isAsciiSeparator(c))
                *dst++ = std::uint8_t(c);
        } else if (!isSeparator(c)) {
            *dst++ = kNotDigit;
        }
    }
    return std::size_t(dst - start);
}

template <typename Unit> std::size_t countScalar(const Unit *src, std::size_t count)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i)
        n += !(src[i] < 0x80 ? isAsciiSeparator(src[i]) : isSeparator(src[i]));
    return n;
}

inline int asciiDigit(std::uint8_t c)
{
    return hexDigitValue(char16_t(c));
}

void decodePairsScalar(const std::uint8_t *src, std::size_t pairs, std::uint8_t *dst)
{
    for (std::size_t i = 0; i < pairs; ++i)
        dst[i] = pairValue(asciiDigit(src[2 * i]), asciiDigit(src[2 * i + 1]));
}

template <typename Unit>
using CompactFn = std::size_t (*)(const Unit *, std::size_t, std::uint8_t *);
template <typename Unit> using CountFn = std::size_t (*)(const Unit *, std::size_t);
using DecodeFn = void (*)(const std::uint8_t *, std::size_t, std::uint8_t *);

struct Kernels {
    CompactFn<char16_t> compact16 = compactScalar<char16_t>;
    CompactFn<unsigned char> compact8 = compactScalar<unsigned char>;
    CountFn<char16_t> count16 = countScalar<char16_t>;
    CountFn<unsigned char> count8 = countScalar<unsigned char>;
    DecodeFn decode = decodePairsScalar;

    auto compact(const char16_t *) const { return compact16; }
    auto compact(const unsigned char *) const { return compact8; }
    auto count(const char16_t *) const { return count16; }
    auto count(const unsigned char *) const { return count8; }
};

#ifdef HEXJPG_X86_SIMD

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("ssse3,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("ssse3,popcnt")
#endif

// Shuffle that moves the bytes whose bit is set in an 8-bit mask to the front.
struct CompressTable {
    alignas(16) std::uint8_t index[256][8];
};

constexpr CompressTable makeCompressTable()
{
    CompressTable t{};
    for (int mask = 0; mask < 256; ++mask) {
        int k = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (mask & (1 << bit))
                t.index[mask][k++] = std::uint8_t(bit);
        while (k < 8)
            t.index[mask][k++] = 0x80;
    }
    return t;
}

constexpr CompressTable kCompress = makeCompressTable();

// Sixteen characters as bytes; false when one of them lies outside ASCII.
inline bool loadAscii16(const unsigned char *src, __m128i &bytes)
{
    bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    return _mm_movemask_epi8(bytes) == 0;
}

inline bool loadAscii16(const char16_t *src, __m128i &bytes)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 8));
    const __m128i high = _mm_and_si128(_mm_or_si128(a, b), _mm_set1_epi16(short(0xff80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xffff)
        return false;
    bytes = _mm_packus_epi16(a, b);
    return true;
}

// Bit i set where byte i is white space (blank, or TAB to CR).
inline unsigned separatorMask(__m128i bytes)
{
    const __m128i blank = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
    const __m128i fromTab = _mm_sub_epi8(bytes, _mm_set1_epi8(9));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(fromTab, _mm_set1_epi8(4)), fromTab);
    return unsigned(_mm_movemask_epi8(_mm_or_si128(blank, control)));
}

// Stores the bytes of a 16-byte block whose bit is set in keep at dst, in order, with two
// 8-byte stores (dst needs 16 bytes of room); returns how many were kept.
inline unsigned compress16(__m128i bytes, unsigned keep, std::uint8_t *dst)
{
    const unsigned lo = keep & 0xff, hi = keep >> 8;
    const __m128i shuffle = _mm_unpacklo_epi64(
        _mm_loadl_epi64(reinterpret_cast<const __m128i *>(kCompress.index[lo])),
        _mm_add_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(kCompress.index[hi])),
                     _mm_set1_epi8(8)));
    const __m128i packed = _mm_shuffle_epi8(bytes, shuffle);
    const unsigned loCount = unsigned(__builtin_popcount(lo));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), packed);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + loCount),
                     _mm_unpackhi_epi64(packed, packed));
    return loCount + unsigned(__builtin_popcount(hi));
}

template <typename Unit>
std::size_t compactSsse3(const Unit *src, std::size_t count, std::uint8_t *dst)
{
    std::uint8_t *const start = dst;
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i bytes;
        if (!loadAscii16(src + i, bytes)) {
            dst += compactScalar(src + i, 16, dst);
            continue;
        }
        const unsigned keep = ~separatorMask(bytes) & 0xffff;
        if (keep == 0xffff) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), bytes);
            dst += 16;
        } else if (keep != 0) {
            dst += compress16(bytes, keep, dst);
        }
    }
    dst += compactScalar(src + i, count - i, dst);
    return std::size_t(dst - start);
}

template <typename Unit> std::size_t countSsse3(const Unit *src, std::size_t count)
{
    std::size_t n = 0, i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i bytes;
        if (loadAscii16(src + i, bytes))
            n += 16 - unsigned(__builtin_popcount(separatorMask(bytes)));
        else
            n += countScalar(src + i, 16);
    }
    return n + countScalar(src + i, count - i);
}

// Sixteen bytes of pairs to eight values, each in the low byte of a 16-bit lane.
inline __m128i decode8Pairs(__m128i chars)
{
    const __m128i digit = _mm_sub_epi8(chars, _mm_set1_epi8('0'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
    const __m128i letter =
        _mm_sub_epi8(_mm_or_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
    const __m128i value =
        _mm_or_si128(_mm_and_si128(isDigit, digit),
                     _mm_and_si128(isLetter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
    const __m128i valid = _mm_or_si128(isDigit, isLetter);

    // Even bytes hold the first character of each pair, odd bytes the second.
    const __m128i hi = _mm_and_si128(value, _mm_set1_epi16(0x00ff));
    const __m128i lo = _mm_srli_epi16(value, 8);
    const __m128i hiValid = _mm_srai_epi16(_mm_slli_epi16(valid, 8), 8);
    const __m128i loValid = _mm_srai_epi16(valid, 8);
    const __m128i both = _mm_or_si128(_mm_slli_epi16(hi, 4), lo);
    const __m128i pair = _mm_or_si128(_mm_and_si128(loValid, both), _mm_andnot_si128(loValid, hi));
    return _mm_and_si128(pair, hiValid);
}

void decodePairsSsse3(const std::uint8_t *src, std::size_t pairs, std::uint8_t *dst)
{
    std::size_t i = 0;
    for (; i + 16 <= pairs; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 2 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 2 * i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i),
                         _mm_packus_epi16(decode8Pairs(a), decode8Pairs(b)));
    }
    decodePairsScalar(src + 2 * i, pairs - i, dst + i);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// The same with AVX2, thirty-two characters at a time. Within each 128-bit lane the work is the
// SSSE3 one (the compaction calls it lane by lane); the packs need their 64-bit quarters put back
// in order. The loops stay apart from the SSSE3 ones: code compiled for AVX2 must not run on a
// processor that only has SSSE3.

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif

inline bool loadAscii32(const unsigned char *src, __m256i &bytes)
{
    bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src));
    return _mm256_movemask_epi8(bytes) == 0;
}

inline bool loadAscii32(const char16_t *src, __m256i &bytes)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + 16));
    if (!_mm256_testz_si256(_mm256_or_si256(a, b), _mm256_set1_epi16(short(0xff80))))
        return false;
    bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xd8);
    return true;
}

inline std::uint32_t separatorMask32(__m256i bytes)
{
    const __m256i blank = _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' '));
    const __m256i fromTab = _mm256_sub_epi8(bytes, _mm256_set1_epi8(9));
    const __m256i control =
        _mm256_cmpeq_epi8(_mm256_min_epu8(fromTab, _mm256_set1_epi8(4)), fromTab);
    return std::uint32_t(_mm256_movemask_epi8(_mm256_or_si256(blank, control)));
}

template <typename Unit>
std::size_t compactAvx2(const Unit *src, std::size_t count, std::uint8_t *dst)
{
    std::uint8_t *const start = dst;
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i bytes;
        if (!loadAscii32(src + i, bytes)) {
            dst += compactScalar(src + i, 32, dst);
            continue;
        }
        const std::uint32_t keep = ~separatorMask32(bytes);
        if (keep == 0xffffffffu) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), bytes);
            dst += 32;
        } else if (keep != 0) {
            dst += compress16(_mm256_castsi256_si128(bytes), keep & 0xffff, dst);
            dst += compress16(_mm256_extracti128_si256(bytes, 1), keep >> 16, dst);
        }
    }
    dst += compactScalar(src + i, count - i, dst);
    return std::size_t(dst - start);
}

template <typename Unit> std::size_t countAvx2(const Unit *src, std::size_t count)
{
    std::size_t n = 0, i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i bytes;
        if (loadAscii32(src + i, bytes))
            n += 32 - unsigned(__builtin_popcount(separatorMask32(bytes)));
        else
            n += countScalar(src + i, 32);
    }
    return n + countScalar(src + i, count - i);
}

inline __m256i decode16Pairs(__m256i chars)
{
    const __m256i digit = _mm256_sub_epi8(chars, _mm256_set1_epi8('0'));
    const __m256i isDigit = _mm256_cmpeq_epi8(_mm256_min_epu8(digit, _mm256_set1_epi8(9)), digit);
    const __m256i letter =
        _mm256_sub_epi8(_mm256_or_si256(chars, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
    const __m256i isLetter =
        _mm256_cmpeq_epi8(_mm256_min_epu8(letter, _mm256_set1_epi8(5)), letter);
    const __m256i value =
        _mm256_or_si256(_mm256_and_si256(isDigit, digit),
                        _mm256_and_si256(isLetter, _mm256_add_epi8(letter, _mm256_set1_epi8(10))));
    const __m256i valid = _mm256_or_si256(isDigit, isLetter);

    const __m256i hi = _mm256_and_si256(value, _mm256_set1_epi16(0x00ff));
    const __m256i lo = _mm256_srli_epi16(value, 8);
    const __m256i hiValid = _mm256_srai_epi16(_mm256_slli_epi16(valid, 8), 8);
    const __m256i loValid = _mm256_srai_epi16(valid, 8);
    const __m256i both = _mm256_or_si256(_mm256_slli_epi16(hi, 4), lo);
    const __m256i pair =
        _mm256_or_si256(_mm256_and_si256(loValid, both), _mm256_andnot_si256(loValid, hi));
    return _mm256_and_si256(pair, hiValid);
}

void decodePairsAvx2(const std::uint8_t *src, std::size_t pairs, std::uint8_t *dst)
{
    std::size_t i = 0;
    for (; i + 32 <= pairs; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + 2 * i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + 2 * i + 32));
        const __m256i packed = _mm256_packus_epi16(decode16Pairs(a), decode16Pairs(b));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + i),
                            _mm256_permute4x64_epi64(packed, 0xd8));
    }
    decodePairsSsse3(src + 2 * i, pairs - i, dst + i);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

Kernels kernelsFor(DecoderKernel kernel)
{
    switch (kernel) {
    case DecoderKernel::Avx2:
        return {compactAvx2<char16_t>, compactAvx2<unsigned char>, countAvx2<char16_t>,
                countAvx2<unsigned char>, decodePairsAvx2};
    case DecoderKernel::Ssse3:
        return {compactSsse3<char16_t>, compactSsse3<unsigned char>, countSsse3<char16_t>,
                countSsse3<unsigned char>, decodePairsSsse3};
    case DecoderKernel::Scalar:
        break;
    }
    return {};
}

bool supported(DecoderKernel kernel)
{
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
}

#else

Kernels kernelsFor(DecoderKernel)
{
    return {};
}

bool supported(DecoderKernel kernel)
{
    return kernel == DecoderKernel::Scalar;
}

#endif

Kernels bestKernels()
{
    for (DecoderKernel kernel : {DecoderKernel::Avx2, DecoderKernel::Ssse3})
        if (supported(kernel))
            return kernelsFor(kernel);
    return {};
}

Kernels &activeKernels()
{
    static Kernels k = bestKernels();
    return k;
}

const Kernels &kernels()
{
    return activeKernels();
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
        activeKernels() = kernelsFor(kernel);
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
    return qint64(kernels().count(src)(src, length));
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
        const auto compact = kernels().compact(src);
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
                      kernels().decode);
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
                      workingLength >= 0 ? progress : nullptr, kernels().decode);
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
        : writer(window, &out, PairWriter::kNever, nullptr, kernels().decode)
        , compactor(writer)
    {
    }
    std::array<std::uint8_t, kWindow> window;
    PairWriter writer;
    Compactor compactor;
    bool refused = false;
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

} // namespace hexjpg
