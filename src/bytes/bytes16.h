// Sixteen bytes at a time. This is the one place that decides whether the target's vector instructions are
// used: SSE2 where the target has it (WebAssembly with SIMD included, through emscripten's SSE2 header),
// unless DVK_NO_INTRINSICS asks for the scalar twins, which are what ARM and WebAssembly without SIMD run.
// Every operation's twins give the same result for every input, and the whole unit suite runs against each.
#pragma once

#include <array>
#include <bit>
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

// Two little-endian words, eight bytes each; a lane is the top bit of its byte. Every operation is exact per
// byte: nothing carries or borrows from one byte into the next.
static_assert(std::endian::native == std::endian::little, "byte i of a block is byte i % 8 of word i / 8");

struct Bytes16 {
    uint64_t w[2];
};

namespace swar {
inline constexpr uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080, kLow7 = 0x7F7F7F7F7F7F7F7F;
// The top bit of every byte that is zero.
constexpr uint64_t zeroBytes(uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); }
// Byte by byte, modulo 256.
constexpr uint64_t minus(uint64_t a, uint64_t b) { return ((a | kHigh) - (b & kLow7)) ^ ((a ^ ~b) & kHigh); }
// The top bit of every byte of `a` that is at most the byte of `b`, unsigned: no borrow out of b - a.
constexpr uint64_t atMost(uint64_t a, uint64_t b) { return ~((~b & a) | (~(b ^ a) & minus(b, a))) & kHigh; }
} // namespace swar

inline Bytes16 load16(const char* from) {
    Bytes16 bytes;
    std::memcpy(bytes.w, from, 16);
    return bytes;
}
inline void store16(char* to, Bytes16 bytes) { std::memcpy(to, bytes.w, 16); }

inline Bytes16 operator|(Bytes16 a, Bytes16 b) { return {{a.w[0] | b.w[0], a.w[1] | b.w[1]}}; }
inline Bytes16 operator&(Bytes16 a, Bytes16 b) { return {{a.w[0] & b.w[0], a.w[1] & b.w[1]}}; }
inline Mask16 mask(Bytes16 lanes) {
    // The top bits gathered into the top byte, byte 0's lowest.
    auto gather = [](uint64_t w) {
        return static_cast<Mask16>(((w & swar::kHigh) * 0x0002040810204081) >> 56);
    };
    return gather(lanes.w[0]) | gather(lanes.w[1]) << 8;
}

inline Bytes16 inRange(Bytes16 bytes, uint8_t low, uint8_t high) {
    const uint64_t lows = swar::kOnes * low, span = swar::kOnes * static_cast<uint8_t>(high - low);
    auto in = [&](uint64_t w) { return swar::atMost(swar::minus(w, lows), span); };
    return {{in(bytes.w[0]), in(bytes.w[1])}};
}
inline Bytes16 equal(Bytes16 bytes, uint8_t value) {
    const uint64_t values = swar::kOnes * value;
    return {{swar::zeroBytes(bytes.w[0] ^ values), swar::zeroBytes(bytes.w[1] ^ values)}};
}

inline Bytes16 digitPairs(Bytes16 tens, Bytes16 ones) {
    // Below 16 each after the mask, so no byte's sum reaches the next byte.
    const uint64_t low = swar::kOnes * 0x0F;
    auto pairs = [&](uint64_t t, uint64_t o) { return ((t & low) << 3) + ((t & low) << 1) + (o & low); };
    return {{pairs(tens.w[0], ones.w[0]), pairs(tens.w[1], ones.w[1])}};
}

inline uint32_t weightedSum(Bytes16 bytes, const std::array<uint8_t, 16>& weights) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 16; ++i)
        sum += static_cast<uint32_t>(bytes.w[i / 8] >> (8 * (i % 8)) & 0xFF) * weights[i];
    return sum;
}

inline Bytes16 loadShort(const char* from, size_t n, char fill) {
    char block[16];
    std::memset(block, fill, 16);
    std::memcpy(block, from, n);
    return load16(block);
}

#endif

} // namespace dorvik
