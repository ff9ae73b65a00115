#include "tuner/tuner_frame.h"

#include <limits>

namespace dorvik {

std::vector<uint64_t> parseGaps(std::string_view text) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    std::vector<uint64_t> gaps;
    for (size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        uint64_t value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            const auto digit = static_cast<uint64_t>(text[i] - '0');
            value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
        }
        gaps.push_back(value);
    }
    return gaps;
}

} // namespace dorvik
