// Reed–Solomon error correction over GF(256) with the prime polynomial 0x12D, as DataMatrix uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dorvik {

struct GaloisField256 {
    uint8_t log[256];
    uint8_t antilog[512]; // doubled, so that a product needs no reduction modulo 255

    uint8_t multiply(uint8_t a, uint8_t b) const {
        if (a == 0 || b == 0) return 0;
        return antilog[log[a] + log[b]];
    }
};

// Built once, thread-safely, on first use.
const GaloisField256& galoisField();

inline constexpr size_t kMaxCheckCodewords = 68; // the most any DataMatrix square size needs

// Writes the check.size() check codewords of `data` for the generator with roots alpha^1 .. alpha^n,
// highest-order coefficient first. Nothing is written for 0 or more than kMaxCheckCodewords.
void reedSolomonCheck(std::span<const uint8_t> data, std::span<uint8_t> check);

} // namespace dorvik
