#pragma once

// The fast decoder's building blocks, shared by its dispatch (hex_decode.cpp) and the kernels of
// each instruction set (hex_kernels_ssse3.cpp, hex_kernels_avx2.cpp). The plain versions are
// here: the vector kernels use them for the odd ends, the dispatch where the processor has no
// vector unit. Internal to the conversion core.

#include "hex_decode.h"

#include <cstddef>
#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define HEXJPG_X86_SIMD 1
#endif

namespace hexjpg::kernels {

constexpr std::uint8_t kNotDigit = 'G';

template <typename Unit>
using CompactFn = std::size_t (*)(const Unit *, std::size_t, std::uint8_t *);
template <typename Unit> using CountFn = std::size_t (*)(const Unit *, std::size_t);
using DecodeFn = void (*)(const std::uint8_t *, std::size_t, std::uint8_t *);

// One instruction set's kernels: compaction of the text into ASCII bytes (white space dropped,
// characters outside ASCII that are not white space turned into a non-digit), counting of the
// working length, and decoding of compacted pairs.
struct Kernels {
    CompactFn<char16_t> compact16;
    CompactFn<unsigned char> compact8;
    CountFn<char16_t> count16;
    CountFn<unsigned char> count8;
    DecodeFn decode;

    auto compact(const char16_t *) const { return compact16; }
    auto compact(const unsigned char *) const { return compact8; }
    auto count(const char16_t *) const { return count16; }
    auto count(const unsigned char *) const { return count8; }
};

Kernels scalar();
#ifdef HEXJPG_X86_SIMD
Kernels ssse3(); // the processor must have SSSE3 and POPCNT
Kernels avx2();  // the processor must have AVX2 and POPCNT
void decodePairsSsse3(const std::uint8_t *src, std::size_t pairs, std::uint8_t *dst);
#endif

// Each file that includes this gets its own copy of the plain kernels: a copy compiled for a
// vector instruction set must never stand in for the plain one.
namespace {

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

inline void decodePairsScalar(const std::uint8_t *src, std::size_t pairs, std::uint8_t *dst)
{
    for (std::size_t i = 0; i < pairs; ++i)
        dst[i] = pairValue(asciiDigit(src[2 * i]), asciiDigit(src[2 * i + 1]));
}

} // namespace

} // namespace hexjpg::kernels
