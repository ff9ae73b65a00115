// How fast the scanner types, from the inter-character gaps of the first reference frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace dorvik {

struct TypingPace {
    int32_t burstGapMs = 0;
    int32_t frameTimeoutMs = 0;
    uint64_t maxGapMs = 0;
    bool slow = false; // close enough to a person's typing to be worth a warning
};

// Nothing without gaps: the profile keeps its pause thresholds.
std::optional<TypingPace> typingPace(std::span<const uint64_t> gapsMs);

} // namespace dorvik
