#include "render/reed_solomon.h"

#include <array>

namespace dorvik {

namespace {

constexpr size_t kMaxCheckCodewords = 68;

// generators[n][k] is the coefficient of x^k in the product of (x - alpha^i) for i = 1..n.
using Generators = std::array<std::vector<uint8_t>, kMaxCheckCodewords + 1>;

const Generators& generators() {
    static const Generators table = [] {
        const GaloisField256& gf = galoisField();
        Generators g;
        g[0] = {1};
        for (size_t n = 1; n <= kMaxCheckCodewords; ++n) {
            std::vector<uint8_t> next(n + 1, 0);
            const uint8_t root = gf.antilog[n];
            for (size_t k = 0; k < n; ++k) {
                next[k + 1] ^= g[n - 1][k];
                next[k] ^= gf.multiply(g[n - 1][k], root);
            }
            g[n] = std::move(next);
        }
        return g;
    }();
    return table;
}

} // namespace

const GaloisField256& galoisField() {
    static const GaloisField256 field = [] {
        GaloisField256 f{};
        unsigned value = 1;
        for (unsigned i = 0; i < 255; ++i) {
            f.antilog[i] = f.antilog[i + 255] = static_cast<uint8_t>(value);
            f.log[value] = static_cast<uint8_t>(i);
            value <<= 1;
            if (value & 0x100) value ^= 0x12D;
        }
        f.antilog[510] = f.antilog[0];
        f.antilog[511] = f.antilog[1];
        return f;
    }();
    return field;
}

std::vector<uint8_t> reedSolomonCheck(std::span<const uint8_t> data, size_t count) {
    if (count == 0 || count > kMaxCheckCodewords) return {};
    const GaloisField256& gf = galoisField();
    const std::vector<uint8_t>& generator = generators()[count];
    // Long division of data · x^count by the generator; remainder[0] is the highest-order coefficient.
    std::vector<uint8_t> remainder(count, 0);
    for (const uint8_t codeword : data) {
        const uint8_t feedback = codeword ^ remainder[0];
        for (size_t j = 0; j + 1 < count; ++j)
            remainder[j] =
                static_cast<uint8_t>(remainder[j + 1] ^ gf.multiply(feedback, generator[count - 1 - j]));
        remainder[count - 1] = gf.multiply(feedback, generator[0]);
    }
    return remainder;
}

} // namespace dorvik
