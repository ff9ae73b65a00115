#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "bytes/short_load.h"

#if defined(__SSE2__)
// Every length, from a block of exactly that many bytes (so that the sanitizer sees any read beyond it).
TEST(ShortLoad, EveryLengthTakesItsBytesAndFillsTheRest) {
    for (const char fill : {'A', '0', '\xff'}) {
        for (size_t n = 0; n <= 16; ++n) {
            const auto block = std::make_unique<char[]>(n == 0 ? 1 : n);
            std::string want(16, fill);
            for (size_t i = 0; i < n; ++i)
                want[i] = block[i] = static_cast<char>(0x81 + 7 * i);
            std::array<char, 16> got;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(got.data()), dorvik::loadShort(block.get(), n, fill));
            EXPECT_EQ(std::string(got.data(), 16), want) << n;
        }
    }
}
#endif
