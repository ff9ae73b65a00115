#include "tuner/tuner.h"

#include "tuner/diagnosis.h"
#include "tuner/findings.h"
#include "tuner/step_compare.h"

namespace dorvik {

namespace {

constexpr uint64_t kDuplicateWindowMs = 400;

} // namespace

Tuner::Tuner(std::string_view transport, std::string_view deviceId) {
    const Transport parsed = transportFromName(transport);
    profile_.transport = parsed == Transport::None ? Transport::Hid : parsed;
    profile_.deviceId = deviceId;
}

bool Tuner::isDone() const { return stepIndex_ >= static_cast<int32_t>(tunerSteps().size()); }

const TunerStep* Tuner::currentStep() const {
    return isDone() ? nullptr : &tunerSteps()[static_cast<size_t>(stepIndex_)];
}

bool Tuner::feedFrame(const TunerFrame& frame) {
    if (isDone()) return false;
    if (!duplicateReported_ && !lastFrameText_.empty() && frame.text == lastFrameText_ &&
        frame.tMs > lastFrameTime_ && frame.tMs - lastFrameTime_ < kDuplicateWindowMs) {
        duplicateReported_ = true;
        findings_.push_back(findings::duplicateFrame());
    }
    lastFrameText_ = frame.text;
    lastFrameTime_ = frame.tMs;

    const TunerStep& step = *currentStep();
    if (profile_.deviceId.empty()) {
        if (frame.deviceId.empty() || !looksLikeReference(step.payload, frame.text)) return false;
        profile_.deviceId = frame.deviceId;
        findings_.push_back(findings::scannerFound());
    } else if (frame.deviceId != profile_.deviceId) {
        return false;
    }
    const StepResult result = compareWithReference(step.payload, frame.text, step.expectedAim);
    StepOutcome outcome = diagnoseStep(step, result, frame, profile_, stepIndex_ == 0);
    profile_ = std::move(outcome.profile);
    findings_.insert(findings_.end(), std::make_move_iterator(outcome.findings.begin()),
                     std::make_move_iterator(outcome.findings.end()));
    passedCount_ += outcome.passed ? 1 : 0;
    advanceStep();
    return true;
}

void Tuner::skipStep() {
    const TunerStep* step = currentStep();
    if (step == nullptr) return;
    findings_.push_back(findings::stepSkipped(step->title));
    advanceStep();
}

void Tuner::advanceStep() {
    ++stepIndex_;
    if (isDone()) profile_.configured = true;
}

std::string Tuner::summary() const {
    uint64_t fails = 0;
    uint64_t warnings = 0;
    for (const Finding& finding : findings_) {
        fails += finding.level == FindingLevel::Fail;
        warnings += finding.level == FindingLevel::Warn;
    }
    return findings::summary(static_cast<uint64_t>(passedCount_), tunerSteps().size(), fails, warnings);
}

} // namespace dorvik
