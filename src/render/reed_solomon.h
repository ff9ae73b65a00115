// Reed–Solomon error correction over GF(256) with the prime polynomial 0x12D, as DataMatrix uses it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace dorvik {

struct GaloisField256 {
    uint8_t log[256];
    uint8_t antilog[256];

    uint8_t multiply(uint8_t a, uint8_t b) const {
        if (a == 0 || b == 0) return 0;
        return antilog[(log[a] + log[b]) % 255];
    }
};

// Built once, thread-safely, on first use.
const GaloisField256& galoisField();

// The `count` check codewords of `data` for the generator with roots alpha^1 .. alpha^count, highest-order
// coefficient first.
std::vector<uint8_t> reedSolomonCheck(std::span<const uint8_t> data, size_t count);

} // namespace dorvik
