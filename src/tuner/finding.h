// One thing the tuner tells the cashier about the scanner.
#pragma once

#include <cstdint>
#include <string>

namespace dorvik {

enum class FindingLevel : int32_t { Ok = 0, Warn = 1, Fail = 2 };

struct Finding {
    FindingLevel level = FindingLevel::Ok;
    std::string title;
    std::string detail;
    std::string advice;

    bool operator==(const Finding&) const = default;
};

} // namespace dorvik
