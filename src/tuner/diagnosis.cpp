#include "tuner/diagnosis.h"

#include <algorithm>

#include "bytes/ascii.h"
#include "tuner/findings.h"
#include "tuner/typing.h"

namespace dorvik {

namespace {

void learnFraming(StepOutcome& out, const StepResult& result, const TunerFrame& frame) {
    ScannerProfile& p = out.profile;
    p.terminator = result.terminator;
    p.prefix = result.prefix;
    p.suffix = result.suffix;
    p.aimId = !result.aim.empty();
    if (const auto pace = typingPace(frame.gapsMs)) {
        p.burstGapMs = pace->burstGapMs;
        p.frameTimeoutMs = pace->frameTimeoutMs;
        if (pace->slow) out.findings.push_back(findings::slowTyping(pace->maxGapMs));
    }
    out.findings.push_back(result.terminator.empty() ? findings::noTerminator()
                                                     : findings::terminator(result.terminator));
    out.findings.push_back(result.prefix.empty() && result.suffix.empty()
                               ? findings::cleanFrame()
                               : findings::extraAroundCode(result.prefix, result.suffix));
    if (!result.aim.empty()) out.findings.push_back(findings::aimReported(result.aim));
}

void compareFraming(StepOutcome& out, const TunerStep& step, const StepResult& result) {
    const ScannerProfile& p = out.profile;
    if (!result.terminator.empty() && result.terminator != p.terminator)
        out.findings.push_back(findings::terminatorDiffers(step.title, result.terminator, p.terminator));
    if (result.prefix != p.prefix) out.findings.push_back(findings::prefixDiffers(p.prefix, result.prefix));
}

void diagnoseSeparator(StepOutcome& out, const TunerStep& step, const StepResult& result) {
    ScannerProfile& p = out.profile;
    if (result.gsMissing) {
        // Raised once: the later GS steps would only repeat it.
        if (!p.gsMissing) out.findings.push_back(findings::gsMissing(step.title));
        p.gsMissing = true;
    } else if (!result.gsSubstitute.empty()) {
        p.gsSubstitute = result.gsSubstitute;
        out.findings.push_back(findings::gsSubstitute(result.gsSubstitute));
    } else if (result.matched) {
        out.findings.push_back(findings::gsOk());
    }
}

Finding verdict(const TunerStep& step, const StepResult& result) {
    const uint64_t length = step.payload.size();
    if (result.matched) {
        if (!result.gsMissing) return findings::readCorrectly(step.title, length);
        const auto gsCount = static_cast<uint64_t>(std::count(step.payload.begin(), step.payload.end(), kGs));
        return findings::readWithoutSeparator(step.title, length - gsCount);
    }
    if (result.truncated)
        return findings::truncated(step.title, static_cast<uint64_t>(std::max(result.missingCount, 0)),
                                   length);
    if (result.nonAscii) return findings::cyrillic(step.title);
    if (result.punctuationDamaged) return findings::punctuationDamaged(step.title, result);
    return findings::misread(step.title, result);
}

} // namespace

StepOutcome diagnoseStep(const TunerStep& step, const StepResult& result, const TunerFrame& frame,
                         const ScannerProfile& learnedSoFar, bool firstStep) {
    StepOutcome out{{}, learnedSoFar, false};
    if (firstStep) {
        learnFraming(out, result, frame);
    } else {
        compareFraming(out, step, result);
    }
    if (result.aimMismatch)
        out.findings.push_back(findings::aimMismatch(step.title, step.expectedAim, result.aim));
    if (step.payload.find(kGs) != std::string::npos) diagnoseSeparator(out, step, result);
    out.findings.push_back(verdict(step, result));
    out.passed = result.matched && !result.gsMissing;
    return out;
}

} // namespace dorvik
