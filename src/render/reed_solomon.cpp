#include "render/reed_solomon.h"

namespace dorvik {

const GaloisField256& galoisField() {
    static const GaloisField256 field = [] {
        GaloisField256 f{};
        unsigned value = 1;
        for (unsigned i = 0; i < 255; ++i) {
            f.antilog[i] = static_cast<uint8_t>(value);
            f.log[value] = static_cast<uint8_t>(i);
            value <<= 1;
            if (value & 0x100) value ^= 0x12D;
        }
        f.antilog[255] = f.antilog[0];
        return f;
    }();
    return field;
}

std::vector<uint8_t> reedSolomonCheck(std::span<const uint8_t> data, size_t count) {
    const GaloisField256& gf = galoisField();
    // generator[k] is the coefficient of x^k; monic of degree `count`.
    std::vector<uint8_t> generator(count + 1, 0);
    generator[0] = 1;
    for (size_t i = 1; i <= count; ++i) {
        const uint8_t root = gf.antilog[i % 255];
        for (size_t k = i; k > 0; --k)
            generator[k] = static_cast<uint8_t>(generator[k - 1] ^ gf.multiply(generator[k], root));
        generator[0] = gf.multiply(generator[0], root);
    }
    // Long division of data · x^count by the generator; remainder[0] is the highest-order coefficient.
    std::vector<uint8_t> remainder(count, 0);
    for (const uint8_t codeword : data) {
        const uint8_t feedback = codeword ^ (count > 0 ? remainder[0] : 0);
        for (size_t j = 0; j + 1 < count; ++j)
            remainder[j] =
                static_cast<uint8_t>(remainder[j + 1] ^ gf.multiply(feedback, generator[count - 1 - j]));
        if (count > 0) remainder[count - 1] = gf.multiply(feedback, generator[0]);
    }
    return remainder;
}

} // namespace dorvik
