// What arrived for a step against its reference code: framing, AIM identifier, GS handling, damage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

struct StepResult {
    int32_t matched = 0;
    std::string prefix;
    std::string suffix; // only when matched
    std::string terminator;
    std::string aim;
    bool aimMismatch = false;
    bool truncated = false;
    int32_t missingCount = 0;
    bool gsMissing = false;
    std::string gsSubstitute;
    bool punctuationDamaged = false;
    bool nonAscii = false;
    int32_t firstDiff = -1;
    std::string expectedChar;
    std::string receivedChar;
};

// CR LF, LF, CR or Tab at the end of the text, else empty.
std::string_view detectTerminator(std::string_view text);
std::string eraseAll(std::string_view text, char c);
// While no scanner is bound: does this frame carry the reference at all?
bool looksLikeReference(std::string_view payload, std::string_view frameText);
StepResult compareWithReference(std::string_view payload, std::string_view frameText,
                                std::string_view expectedAim);

} // namespace dorvik
