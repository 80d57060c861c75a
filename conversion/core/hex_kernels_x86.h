#pragma once

// Pieces that both vector files use: loading sixteen characters as bytes, finding the white space
// among them, moving the kept bytes together, and the loops of compaction and counting over
// blocks of any width. Include it after a target pragma that allows SSSE3; each file gets its own
// copy.

#include <immintrin.h>

#include <cstdint>

namespace hexjpg::kernels {
namespace {

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

// The compaction and counting loops over blocks of V::kWidth characters. V gives a block's load
// (false when a character lies outside ASCII: the block then takes the plain road), its white-space
// mask, a store of a block kept whole and the compaction of one kept in part.
template <typename V, typename Unit>
std::size_t compactBlocks(const Unit *src, std::size_t count, std::uint8_t *dst)
{
    std::uint8_t *const start = dst;
    std::size_t i = 0;
    for (; i + V::kWidth <= count; i += V::kWidth) {
        typename V::Block bytes;
        if (!V::load(src + i, bytes)) {
            dst += compactScalar(src + i, V::kWidth, dst);
            continue;
        }
        const auto keep = ~V::separators(bytes) & V::kAll;
        if (keep == V::kAll) {
            V::store(dst, bytes);
            dst += V::kWidth;
        } else if (keep != 0) {
            dst += V::compress(bytes, keep, dst);
        }
    }
    dst += compactScalar(src + i, count - i, dst);
    return std::size_t(dst - start);
}

template <typename V, typename Unit> std::size_t countBlocks(const Unit *src, std::size_t count)
{
    std::size_t n = 0, i = 0;
    for (; i + V::kWidth <= count; i += V::kWidth) {
        typename V::Block bytes;
        if (V::load(src + i, bytes))
            n += V::kWidth - unsigned(__builtin_popcount(V::separators(bytes)));
        else
            n += countScalar(src + i, V::kWidth);
    }
    return n + countScalar(src + i, count - i);
}

// One width's kernels, with decode for the pairs.
template <typename V> Kernels kernelsOf(DecodeFn decode)
{
    return {compactBlocks<V, char16_t>, compactBlocks<V, unsigned char>, countBlocks<V, char16_t>,
            countBlocks<V, unsigned char>, decode};
}

} // namespace
} // namespace hexjpg::kernels
