// The fast decoder's AVX2 kernels: thirty-two characters at a time.
//
// Each 16-byte half works as in the SSSE3 kernels (the compaction calls theirs half by half); the
// packs need their 64-bit quarters put back in order. The loops are instantiated here, apart from
// the SSSE3 ones: code compiled for AVX2 must not run on a processor that only has SSSE3.

#include "hex_kernels.h"

#ifdef HEXJPG_X86_SIMD

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif

#include "hex_kernels_x86.h"

namespace hexjpg::kernels {

namespace {

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

struct Avx {
    using Block = __m256i;
    static constexpr std::size_t kWidth = 32;
    static constexpr std::uint32_t kAll = 0xffffffffu;
    template <typename Unit> static bool load(const Unit *src, Block &bytes)
    {
        return loadAscii32(src, bytes);
    }
    static std::uint32_t separators(Block bytes) { return separatorMask32(bytes); }
    static void store(std::uint8_t *dst, Block bytes)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), bytes);
    }
    // The halves one after the other, through the SSSE3 compaction.
    static unsigned compress(Block bytes, std::uint32_t keep, std::uint8_t *dst)
    {
        const unsigned low = compress16(_mm256_castsi256_si128(bytes), keep & 0xffff, dst);
        return low + compress16(_mm256_extracti128_si256(bytes, 1), keep >> 16, dst + low);
    }
};

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

} // namespace

Kernels avx2()
{
    return kernelsOf<Avx>(decodePairsAvx2);
}

} // namespace hexjpg::kernels

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
