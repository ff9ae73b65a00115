// Sixteen bytes at a time. This is the one place that decides whether the target's vector instructions are
// used: SSE2 where the target has it, unless DVK_NO_INTRINSICS asks for the scalar twins, which are what
// WebAssembly and ARM run. Every operation's twins give the same result for every input, and the whole unit
// suite runs against each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(DVK_NO_INTRINSICS)
#define DVK_SSE2 1
#include <emmintrin.h>
#else
#define DVK_SSE2 0
#endif

namespace dorvik {

// Bit i stands for byte i.
using Mask16 = uint32_t;
inline constexpr Mask16 kAll16 = 0xFFFF;

#if DVK_SSE2

struct Bytes16 {
    __m128i v;
};

inline Bytes16 load16(const char* from) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(from))}; }
inline void store16(char* to, Bytes16 bytes) { _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes.v); }

// Lanes: 0xFF in every byte that passes, 0 elsewhere; combined with | and &, then read as a mask once.
inline Bytes16 operator|(Bytes16 a, Bytes16 b) { return {_mm_or_si128(a.v, b.v)}; }
inline Bytes16 operator&(Bytes16 a, Bytes16 b) { return {_mm_and_si128(a.v, b.v)}; }
inline Mask16 mask(Bytes16 lanes) { return static_cast<Mask16>(_mm_movemask_epi8(lanes.v)); }

// The bytes from `low` to `high`, unsigned.
inline Bytes16 inRange(Bytes16 bytes, uint8_t low, uint8_t high) {
    const __m128i shifted = _mm_sub_epi8(bytes.v, _mm_set1_epi8(static_cast<char>(low)));
    const __m128i span = _mm_set1_epi8(static_cast<char>(high - low));
    return {_mm_cmpeq_epi8(_mm_min_epu8(shifted, span), shifted)};
}
inline Bytes16 equal(Bytes16 bytes, uint8_t value) {
    return {_mm_cmpeq_epi8(bytes.v, _mm_set1_epi8(static_cast<char>(value)))};
}

// Byte i: (tens[i] - '0') * 10 + (ones[i] - '0'), meaningful where both bytes are digits.
inline Bytes16 digitPairs(Bytes16 tens, Bytes16 ones) {
    // Below 16 each after the mask, so the 16-bit shifts carry nothing across bytes.
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i t = _mm_and_si128(tens.v, low);
    return {
        _mm_add_epi8(_mm_add_epi8(_mm_slli_epi16(t, 3), _mm_slli_epi16(t, 1)), _mm_and_si128(ones.v, low))};
}

// The sum of the bytes, each times its weight.
inline uint32_t weightedSum(Bytes16 bytes, const std::array<uint8_t, 16>& weights) {
    const __m128i zero = _mm_setzero_si128();
    __m128i w;
    std::memcpy(&w, weights.data(), 16);
    const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi8(bytes.v, zero), _mm_unpacklo_epi8(w, zero));
    const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi8(bytes.v, zero), _mm_unpackhi_epi8(w, zero));
    __m128i sums = _mm_add_epi32(low, high);
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(1, 0, 3, 2)));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(sums));
}

// Bytes [0, n) from `from` (n at most 16, all readable), every other byte `fill`. Put together in
// registers: storing the pieces into a padded block and loading it whole makes the load wait until the
// stores have drained, since no store forwards to a wider load.
inline Bytes16 loadShort(const char* from, size_t n, char fill) {
    const uint64_t fills = uint64_t{0x0101010101010101} * static_cast<unsigned char>(fill);
    auto word = [](const char* at) {
        uint64_t w;
        std::memcpy(&w, at, 8);
        return w;
    };
    auto half = [](const char* at) {
        uint32_t w;
        std::memcpy(&w, at, 4);
        return uint64_t{w};
    };
    uint64_t low = fills, high = fills;
    if (n > 8) {
        low = word(from);
        // The last eight bytes, moved down over the ones the low word already holds.
        high = word(from + n - 8) >> (8 * (16 - n));
        if (n < 16) high |= fills << (8 * (n - 8));
    } else if (n == 8) {
        low = word(from);
    } else if (n >= 4) {
        low = half(from) | half(from + n - 4) << (8 * (n - 4)) | fills << (8 * n);
    } else {
        low = 0;
        for (size_t i = n; i-- > 0;)
            low = low << 8 | static_cast<unsigned char>(from[i]);
        low |= fills << (8 * n);
    }
    return {_mm_set_epi64x(static_cast<int64_t>(high), static_cast<int64_t>(low))};
}

#else

struct Bytes16 {
    std::array<uint8_t, 16> b;
};

inline Bytes16 load16(const char* from) {
    Bytes16 bytes;
    std::memcpy(bytes.b.data(), from, 16);
    return bytes;
}
inline void store16(char* to, Bytes16 bytes) { std::memcpy(to, bytes.b.data(), 16); }

template <typename Lane> Bytes16 lanes(Lane&& lane) {
    Bytes16 out;
    for (size_t i = 0; i < 16; ++i)
        out.b[i] = lane(i) ? 0xFF : 0;
    return out;
}
inline Bytes16 operator|(Bytes16 a, Bytes16 b) {
    return lanes([&](size_t i) { return (a.b[i] | b.b[i]) != 0; });
}
inline Bytes16 operator&(Bytes16 a, Bytes16 b) {
    return lanes([&](size_t i) { return (a.b[i] & b.b[i]) != 0; });
}
inline Mask16 mask(Bytes16 lanes) {
    Mask16 bits = 0;
    for (size_t i = 0; i < 16; ++i)
        bits |= Mask16{lanes.b[i] >> 7} << i;
    return bits;
}

inline Bytes16 inRange(Bytes16 bytes, uint8_t low, uint8_t high) {
    return lanes([&](size_t i) { return bytes.b[i] >= low && bytes.b[i] <= high; });
}
inline Bytes16 equal(Bytes16 bytes, uint8_t value) {
    return lanes([&](size_t i) { return bytes.b[i] == value; });
}

inline Bytes16 digitPairs(Bytes16 tens, Bytes16 ones) {
    Bytes16 numbers;
    for (size_t i = 0; i < 16; ++i)
        numbers.b[i] = static_cast<uint8_t>((tens.b[i] & 0x0F) * 10 + (ones.b[i] & 0x0F));
    return numbers;
}

inline uint32_t weightedSum(Bytes16 bytes, const std::array<uint8_t, 16>& weights) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 16; ++i)
        sum += uint32_t{bytes.b[i]} * weights[i];
    return sum;
}

inline Bytes16 loadShort(const char* from, size_t n, char fill) {
    Bytes16 bytes;
    bytes.b.fill(static_cast<uint8_t>(fill));
    std::memcpy(bytes.b.data(), from, n);
    return bytes;
}

#endif

} // namespace dorvik
