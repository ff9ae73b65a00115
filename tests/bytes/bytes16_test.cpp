// Each operation on sixteen bytes against its plain definition. The suite also runs with
// DVK_NO_INTRINSICS, so the vector operations and their scalar twins meet the same yardstick.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string>

#include "bytes/bytes16.h"

using namespace dorvik;

namespace {

std::string stored(Bytes16 bytes) {
    std::array<char, 16> out;
    store16(out.data(), bytes);
    return {out.data(), 16};
}

} // namespace

TEST(Bytes16, OperationsMatchTheirDefinitions) {
    std::mt19937 rng(5);
    const uint8_t some[] = {'"', '\\', 0, 0xFF, '7'};
    for (int round = 0; round < 3000; ++round) {
        std::array<char, 16> a, b;
        for (size_t i = 0; i < 16; ++i) {
            // Digits often, and the bytes at the edges of every range.
            a[i] = static_cast<char>(rng() % 3 == 0 ? '0' + rng() % 10 : rng() % 256);
            b[i] = static_cast<char>(rng() % 3 == 0 ? '0' + rng() % 10 : rng() % 256);
        }
        const auto low = static_cast<uint8_t>(rng() % 256);
        const auto high = static_cast<uint8_t>(low + rng() % (256 - low));
        const Bytes16 x = load16(a.data()), y = load16(b.data());
        std::array<uint8_t, 16> weights;
        uint32_t weighted = 0;
        Mask16 range = 0, any = 0;
        std::string pairs(16, '\0');
        for (size_t i = 0; i < 16; ++i) {
            const auto byte = static_cast<uint8_t>(a[i]);
            range |= Mask16{byte >= low && byte <= high} << i;
            for (const uint8_t value : some)
                any |= Mask16{byte == value} << i;
            weights[i] = static_cast<uint8_t>(rng() % 256);
            weighted += uint32_t{byte} * weights[i];
            pairs[i] = static_cast<char>((byte & 0x0F) * 10 + (static_cast<uint8_t>(b[i]) & 0x0F));
        }
        ASSERT_EQ(stored(x), std::string(a.data(), 16));
        ASSERT_EQ(mask(inRange(x, low, high)), range) << int{low} << ".." << int{high};
        Bytes16 hits = equal(x, some[0]);
        for (const uint8_t value : some)
            hits = hits | equal(x, value);
        ASSERT_EQ(mask(hits), any);
        ASSERT_EQ(mask(inRange(x, low, high) & equal(x, some[4])), range & mask(equal(x, '7')));
        ASSERT_EQ(stored(digitPairs(x, y)), pairs);
        ASSERT_EQ(weightedSum(x, weights), weighted);
    }
}

// Every length, from a block of exactly that many bytes (so that the sanitizer sees any read beyond it).
TEST(Bytes16, ShortLoadTakesItsBytesAndFillsTheRest) {
    for (const char fill : {'A', '0', '\xff'}) {
        for (size_t n = 0; n <= 16; ++n) {
            const auto block = std::make_unique<char[]>(n == 0 ? 1 : n);
            std::string want(16, fill);
            for (size_t i = 0; i < n; ++i)
                want[i] = static_cast<char>(0x81 + 7 * i);
            // One copy, not a store per byte: GCC 12 for ARM sees the unrolled stores run past the block.
            std::copy_n(want.begin(), n, block.get());
            EXPECT_EQ(stored(loadShort(block.get(), n, fill)), want) << n;
        }
    }
}
