#include "render/reed_solomon.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

namespace dorvik {

namespace {

// generator(n)[k] is the coefficient of x^k in the product of (x - alpha^i) for i = 1..n.
std::vector<uint8_t> generator(size_t n) {
    const GaloisField256& gf = galoisField();
    std::vector<uint8_t> g = {1};
    for (size_t degree = 1; degree <= n; ++degree) {
        std::vector<uint8_t> next(degree + 1, 0);
        const uint8_t root = gf.antilog[degree];
        for (size_t k = 0; k < degree; ++k) {
            next[k + 1] ^= g[k];
            next[k] ^= gf.multiply(g[k], root);
        }
        g = std::move(next);
    }
    return g;
}

// For `count` check codewords, row f holds the generator's coefficients times the feedback f, in the order
// the remainder takes them: the division then costs one table row and a shifted XOR per data codeword, with
// no multiply and no test for zero. Each row set is built once, on first use of its count.
const uint8_t* feedbackRows(size_t count) {
    static std::array<std::once_flag, kMaxCheckCodewords + 1> built;
    static std::array<std::vector<uint8_t>, kMaxCheckCodewords + 1> rows;
    std::call_once(built[count], [count] {
        const GaloisField256& gf = galoisField();
        const std::vector<uint8_t> g = generator(count);
        std::vector<uint8_t> table(256 * count);
        for (size_t f = 0; f < 256; ++f) {
            for (size_t j = 0; j < count; ++j)
                table[f * count + j] = gf.multiply(static_cast<uint8_t>(f), g[count - 1 - j]);
        }
        rows[count] = std::move(table);
    });
    return rows[count].data();
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

void reedSolomonCheck(std::span<const uint8_t> data, std::span<uint8_t> check) {
    const size_t count = check.size();
    if (count == 0 || count > kMaxCheckCodewords) return;
    const uint8_t* rows = feedbackRows(count);
    // Long division of data · x^count by the generator; check[0] is the highest-order coefficient.
    uint8_t* remainder = check.data();
    std::fill_n(remainder, count, 0);
    for (const uint8_t codeword : data) {
        const uint8_t* row = rows + static_cast<size_t>(codeword ^ remainder[0]) * count;
        for (size_t j = 0; j + 1 < count; ++j)
            remainder[j] = static_cast<uint8_t>(remainder[j + 1] ^ row[j]);
        remainder[count - 1] = row[count - 1];
    }
}

} // namespace dorvik
