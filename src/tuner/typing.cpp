#include <algorithm>
#include <string>

#include "tuner/diagnosis.h"
#include "tuner/findings.h"

namespace dorvik {

void analyseTyping(Tuner& tuner, const TunerFrame& frame) {
    if (frame.gapsMs.empty()) return;
    const uint64_t maxGap = *std::max_element(frame.gapsMs.begin(), frame.gapsMs.end());
    // Clamped before multiplying, so that any 64-bit gap the host passes is safe.
    const uint64_t burstGap = std::clamp<uint64_t>(3 * std::min<uint64_t>(maxGap, 250), 30, 250);
    tuner.profile.burstGapMs = static_cast<int32_t>(burstGap);
    tuner.profile.frameTimeoutMs = static_cast<int32_t>(std::min<uint64_t>(2 * burstGap + 40, 400));
    if (maxGap > 60) {
        tuner.addFinding(FindingLevel::Warn, std::string(findings::kSlowTitle),
                         "Максимальная пауза между символами — " + std::to_string(maxGap) +
                             " мс. Это близко к скорости человека, отличить скан от ручного набора сложнее.",
                         std::string(findings::kSlowAdvice));
    }
}

} // namespace dorvik
