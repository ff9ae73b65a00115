#include "tuner/tuner.h"

#include <limits>

#include "tuner/diagnosis.h"
#include "tuner/findings.h"
#include "tuner/step_compare.h"

namespace dorvik {

namespace {

constexpr uint64_t kDuplicateWindowMs = 400;

} // namespace

Tuner::Tuner(std::string_view transport, std::string_view deviceId) {
    const Transport parsed = transportFromName(transport);
    profile.transport = parsed == Transport::None ? Transport::Hid : parsed;
    profile.deviceId = deviceId;
}

bool Tuner::isDone() const { return stepIndex >= static_cast<int32_t>(tunerSteps().size()); }

const TunerStep* Tuner::currentStep() const {
    if (stepIndex < 0 || isDone()) return nullptr;
    return &tunerSteps()[static_cast<size_t>(stepIndex)];
}

void Tuner::addFinding(FindingLevel level, std::string title, std::string detail, std::string advice) {
    findings.push_back(Finding{level, std::move(title), std::move(detail), std::move(advice)});
}

bool Tuner::feedFrame(const TunerFrame& frame) {
    if (isDone()) return false;
    if (!duplicateReported && !lastFrameText.empty() && frame.text == lastFrameText &&
        frame.tMs > lastFrameTime && frame.tMs - lastFrameTime < kDuplicateWindowMs) {
        duplicateReported = true;
        addFinding(FindingLevel::Warn, std::string(findings::kDuplicateTitle),
                   std::string(findings::kDuplicateDetail), std::string(findings::kDuplicateAdvice));
    }
    lastFrameText = frame.text;
    lastFrameTime = frame.tMs;

    const TunerStep* step = currentStep();
    if (step == nullptr) return false;
    if (profile.deviceId.empty()) {
        if (frame.deviceId.empty() || !looksLikeReference(step->payload, frame.text)) return false;
        profile.deviceId = frame.deviceId;
        addFinding(FindingLevel::Ok, std::string(findings::kFoundTitle), std::string(findings::kFoundDetail),
                   "");
    } else if (frame.deviceId != profile.deviceId) {
        return false;
    }
    const StepResult result = compareWithReference(step->payload, frame.text, step->expectedAim);
    diagnoseStep(*this, *step, result, frame);
    advanceStep();
    return true;
}

void Tuner::skipStep() {
    const TunerStep* step = currentStep();
    if (step == nullptr) return;
    addFinding(FindingLevel::Warn, "Шаг пропущен: " + std::string(step->title),
               std::string(findings::kSkippedDetail), "");
    advanceStep();
}

void Tuner::advanceStep() {
    if (isDone()) return;
    ++stepIndex;
    if (isDone()) profile.configured = true;
}

std::string Tuner::summary() const {
    int fails = 0;
    int warnings = 0;
    for (const Finding& finding : findings) {
        fails += finding.level == FindingLevel::Fail;
        warnings += finding.level == FindingLevel::Warn;
    }
    const std::string core =
        std::to_string(passedCount) + " из " + std::to_string(tunerSteps().size()) + " кодов";
    if (fails > 0) {
        return "Прочитано верно " + core + ". " + std::to_string(fails) +
               " проблем(ы) требуют перенастройки самого сканера.";
    }
    if (warnings > 0)
        return "Прочитано верно " + core + ", есть " + std::to_string(warnings) +
               " замечани(й) — стоит посмотреть.";
    return "Все проверки пройдены: " + core + ", замечаний нет.";
}

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
