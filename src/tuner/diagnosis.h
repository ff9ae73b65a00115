// What one accepted frame teaches the tuner, decided without touching it: the tuner only appends.
#pragma once

#include <vector>

#include "profile/scanner_profile.h"
#include "tuner/finding.h"
#include "tuner/step_compare.h"
#include "tuner/tuner_frame.h"
#include "tuner/tuner_steps.h"

namespace dorvik {

struct StepOutcome {
    std::vector<Finding> findings; // to be appended in this order
    ScannerProfile profile;        // the learned profile after this step
    bool passed = false;           // the reference arrived whole, separators included
};

// The first step learns the framing and the typing pace; later steps are held against it.
StepOutcome diagnoseStep(const TunerStep& step, const StepResult& result, const TunerFrame& frame,
                         const ScannerProfile& learnedSoFar, bool firstStep);

} // namespace dorvik
