#include "tuner/typing.h"

#include <algorithm>

namespace dorvik {

std::optional<TypingPace> typingPace(std::span<const uint64_t> gapsMs) {
    if (gapsMs.empty()) return std::nullopt;
    const uint64_t maxGap = *std::max_element(gapsMs.begin(), gapsMs.end());
    // Clamped before multiplying, so that any 64-bit gap the host passes is safe.
    const uint64_t burstGap = std::clamp<uint64_t>(3 * std::min<uint64_t>(maxGap, 250), 30, 250);
    return TypingPace{static_cast<int32_t>(burstGap),
                      static_cast<int32_t>(std::min<uint64_t>(2 * burstGap + 40, 400)), maxGap, maxGap > 60};
}

} // namespace dorvik
