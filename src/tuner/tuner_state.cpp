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

template <typename Out> void writeCode(Out& out, const TunerStep& step, std::string_view payloadVisible) {
    out.text("{\"key\":");
    out.string(step.key);
    out.text(",\"title\":");
    out.string(step.title);
    out.text(",\"hint\":");
    out.string(step.hint);
    out.text(",\"symbology\":");
    out.string(step.symbology);
    out.text(",\"payload\":");
    out.string(step.payload);
    out.text(",\"payloadVisible\":");
    out.string(payloadVisible);
    out.text(",\"expectedAim\":");
    out.string(step.expectedAim);
    out.text(",\"gs1\":");
    out.boolean(step.gs1);
    out.text(",\"optional\":");
    out.boolean(step.optional);
    out.text(",\"length\":");
    out.number(uint64_t{step.payload.size()});
    out.text("}");
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
    // The texts made for the state, made once for both walks.
    const std::string prompt = tunerPrompt(tuner), hint = tunerHint(tuner), summary = tuner.summary();
    const TunerStep* const step = tuner.currentStep();
    const std::string payloadVisible = step ? visualizeControls(step->payload) : std::string();
    return jsonText([&](auto& out) {
        out.text("{\"step\":");
        out.number(int64_t{tuner.stepIndex()});
        out.text(",\"total\":");
        out.number(uint64_t{tunerSteps().size()});
        out.text(",\"done\":");
        out.boolean(tuner.isDone());
        out.text(",\"prompt\":");
        out.string(prompt);
        out.text(",\"hint\":");
        out.string(hint);
        out.text(",\"code\":");
        if (step != nullptr)
            writeCode(out, *step, payloadVisible);
        else
            out.text("null");
        out.text(",\"findings\":[");
        for (size_t i = 0; i < tuner.findings().size(); ++i) {
            const Finding& f = tuner.findings()[i];
            out.text(i > 0 ? ",{\"level\":\"" : "{\"level\":\"");
            out.text(levelWord(f.level));
            out.text("\",\"title\":");
            out.string(f.title);
            out.text(",\"detail\":");
            out.string(f.detail);
            out.text(",\"advice\":");
            out.string(f.advice);
            out.text("}");
        }
        out.text("],\"summary\":");
        out.string(summary);
        out.text(",\"profile\":");
        writeProfileJson(out, tuner.profile());
        out.text("}");
    });
}

} // namespace dorvik
