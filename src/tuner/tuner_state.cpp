#include "tuner/tuner_state.h"

#include "profile/profile_json.h"
#include "tuner/findings.h"
#include "json/json_writer.h"

namespace dorvik {

namespace {

std::string_view levelWord(FindingLevel level) {
    switch (level) {
    case FindingLevel::Warn: return "warn";
    case FindingLevel::Fail: return "fail";
    default: return "ok";
    }
}

void appendCode(std::string& out, const TunerStep& step) {
    out += "{\"key\":";
    appendJsonString(out, step.key);
    out += ",\"title\":";
    appendJsonString(out, step.title);
    out += ",\"hint\":";
    appendJsonString(out, step.hint);
    out += ",\"symbology\":";
    appendJsonString(out, step.symbology);
    out += ",\"payload\":";
    appendJsonString(out, step.payload);
    out += ",\"payloadVisible\":";
    appendJsonString(out, visualizeControls(step.payload));
    out += ",\"expectedAim\":";
    appendJsonString(out, step.expectedAim);
    out += ",\"gs1\":";
    appendBool(out, step.gs1);
    out += ",\"optional\":";
    appendBool(out, step.optional);
    out += ",\"length\":";
    appendUint(out, step.payload.size());
    out += '}';
}

} // namespace

std::string tunerPrompt(const Tuner& tuner) {
    if (tuner.isDone()) return std::string(findings::donePrompt());
    const TunerStep* step = tuner.currentStep();
    return step ? std::string(step->title) : std::string();
}

std::string tunerHint(const Tuner& tuner) {
    const TunerStep* step = tuner.currentStep();
    if (step == nullptr) return {};
    std::string hint(step->hint);
    if (tuner.stepIndex() == 0 && tuner.profile().deviceId.empty()) hint += findings::bindingHint();
    return hint;
}

std::string tunerStateJson(const Tuner& tuner) {
    std::string out;
    out.reserve(2048 + 512 * tuner.findings().size());
    out += "{\"step\":";
    appendInt(out, tuner.stepIndex());
    out += ",\"total\":";
    appendUint(out, tunerSteps().size());
    out += ",\"done\":";
    appendBool(out, tuner.isDone());
    out += ",\"prompt\":";
    appendJsonString(out, tunerPrompt(tuner));
    out += ",\"hint\":";
    appendJsonString(out, tunerHint(tuner));
    out += ",\"code\":";
    if (const TunerStep* step = tuner.currentStep()) {
        appendCode(out, *step);
    } else {
        out += "null";
    }
    out += ",\"findings\":[";
    for (size_t i = 0; i < tuner.findings().size(); ++i) {
        const Finding& f = tuner.findings()[i];
        if (i > 0) out += ',';
        out += "{\"level\":\"";
        out += levelWord(f.level);
        out += "\",\"title\":";
        appendJsonString(out, f.title);
        out += ",\"detail\":";
        appendJsonString(out, f.detail);
        out += ",\"advice\":";
        appendJsonString(out, f.advice);
        out += '}';
    }
    out += "],\"summary\":";
    appendJsonString(out, tuner.summary());
    out += ",\"profile\":";
    out += profileToJson(tuner.profile());
    out += '}';
    return out;
}

} // namespace dorvik
