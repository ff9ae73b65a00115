// The set-up wizard: five reference codes, what arrived for each, the findings and the learned profile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "profile/scanner_profile.h"
#include "tuner/finding.h"
#include "tuner/tuner_frame.h"
#include "tuner/tuner_steps.h"

namespace dorvik {

class Tuner {
  public:
    // Any transport but "serial" and "sim" means a keyboard scanner; an empty device id waits for binding.
    Tuner(std::string_view transport, std::string_view deviceId);

    int32_t stepIndex() const { return stepIndex_; }
    bool isDone() const;
    const TunerStep* currentStep() const; // null once done
    const ScannerProfile& profile() const { return profile_; }
    const std::vector<Finding>& findings() const { return findings_; } // in the order raised
    int32_t passedCount() const { return passedCount_; }
    std::string summary() const;

    // True when the frame was taken as the scan of the current step.
    bool feedFrame(const TunerFrame& frame);
    void skipStep();

  private:
    void advanceStep();

    int32_t stepIndex_ = 0;
    ScannerProfile profile_;
    std::vector<Finding> findings_; // only ever appended to
    std::string lastFrameText_;
    uint64_t lastFrameTime_ = 0;
    bool duplicateReported_ = false;
    int32_t passedCount_ = 0;
};

} // namespace dorvik
