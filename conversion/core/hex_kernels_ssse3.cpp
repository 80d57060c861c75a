// The fast decoder's SSSE3 kernels: sixteen characters at a time.

#include "hex_kernels.h"

#ifdef HEXJPG_X86_SIMD

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("ssse3,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("ssse3,popcnt")
#endif

#include "hex_kernels_x86.h"

namespace hexjpg::kernels {

namespace {

struct Sse {
    using Block = __m128i;
    static constexpr std::size_t kWidth = 16;
    static constexpr unsigned kAll = 0xffff;
    template <typename Unit> static bool load(const Unit *src, Block &bytes)
    {
        return loadAscii16(src, bytes);
    }
    static unsigned separators(Block bytes) { return separatorMask(bytes); }
    static void store(std::uint8_t *dst, Block bytes)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), bytes);
    }
    static unsigned compress(Block bytes, unsigned keep, std::uint8_t *dst)
    {
        return compress16(bytes, keep, dst);
    }
};

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

} // namespace

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

Kernels ssse3()
{
    return kernelsOf<Sse>(decodePairsSsse3);
}

} // namespace hexjpg::kernels

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
