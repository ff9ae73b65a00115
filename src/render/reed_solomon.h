// Reed–Solomon error correction over GF(256) with the prime polynomial 0x12D, as DataMatrix uses it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

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

// The `count` check codewords of `data` for the generator with roots alpha^1 .. alpha^count, highest-order
// coefficient first. `count` is at most 68, the most any DataMatrix square size needs.
std::vector<uint8_t> reedSolomonCheck(std::span<const uint8_t> data, size_t count);

} // namespace dorvik
