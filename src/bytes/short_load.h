// Up to sixteen bytes as one vector, put together in registers. The usual way, storing the pieces into a
// padded block and loading it whole, makes the load wait until the stores have drained, since no store
// can forward to a wider load: that wait cost more than the work on the vector.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dorvik {

// Bytes [0, n) from `from` (n at most 16, all readable), every other byte `fill`.
inline __m128i loadShort(const char* from, size_t n, char fill) {
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
    return _mm_set_epi64x(static_cast<int64_t>(high), static_cast<int64_t>(low));
}

} // namespace dorvik
#endif
