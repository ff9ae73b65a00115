// One frame as the host reports it from a decoder's poll.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace dorvik {

struct TunerFrame {
    std::string_view text;
    std::string_view deviceId;
    uint64_t tMs = 0;
    std::vector<uint64_t> gapsMs;
};

// Decimal runs anywhere in the text, each saturating at 2^64 - 1; every other byte separates.
std::vector<uint64_t> parseGaps(std::string_view text);

} // namespace dorvik
