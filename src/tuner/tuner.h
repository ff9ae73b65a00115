// The set-up wizard: five reference codes, what arrived for each, the findings and the learned profile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "profile/scanner_profile.h"
#include "tuner/tuner_steps.h"

namespace dorvik {

enum class FindingLevel : int32_t { Ok = 0, Warn = 1, Fail = 2 };

struct Finding {
    FindingLevel level = FindingLevel::Ok;
    std::string title;
    std::string detail;
    std::string advice;
};

// One frame as the host reports it from a decoder's poll.
struct TunerFrame {
    std::string_view text;
    std::string_view deviceId;
    uint64_t tMs = 0;
    std::vector<uint64_t> gapsMs;
};

class Tuner {
  public:
    // Any transport but "serial" and "sim" means a keyboard scanner; an empty device id waits for binding.
    Tuner(std::string_view transport, std::string_view deviceId);

    int32_t stepIndex = 0;
    ScannerProfile profile;
    std::vector<Finding> findings; // in the order raised, never shortened
    std::string lastFrameText;
    uint64_t lastFrameTime = 0;
    bool duplicateReported = false;
    int32_t passedCount = 0;

    bool isDone() const;
    const TunerStep* currentStep() const;
    void addFinding(FindingLevel level, std::string title, std::string detail, std::string advice);

    // True when the frame was taken as the scan of the current step.
    bool feedFrame(const TunerFrame& frame);
    void skipStep();
    void advanceStep();
    std::string summary() const;
};

// Decimal runs anywhere in the text, each saturating at 2^64 - 1; every other byte separates.
std::vector<uint64_t> parseGaps(std::string_view text);

} // namespace dorvik
