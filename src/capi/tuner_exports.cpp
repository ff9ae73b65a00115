#include "capi/boundary.h"
#include "capi/handles.h"
#include "dorvik_c.h"
#include "tuner/tuner_state.h"

using namespace dorvik;

extern "C" {

DVK_API dvk_tuner* DVK_CALL dvk_tuner_new(const char* transport, const char* deviceId) {
    return guard<dvk_tuner*>(nullptr, [&] { return new dvk_tuner(textArg(transport), textArg(deviceId)); });
}

DVK_API void DVK_CALL dvk_tuner_free(dvk_tuner* t) { delete t; }

DVK_API char* DVK_CALL dvk_tuner_state(dvk_tuner* t) {
    if (t == nullptr) return nullptr;
    return guard<char*>(nullptr, [&] { return toCText(tunerStateJson(t->tuner)); });
}

DVK_API void DVK_CALL dvk_tuner_skip(dvk_tuner* t) {
    if (t == nullptr) return;
    guardVoid([&] {
        Tuner next = t->tuner;
        next.skipStep();
        t->tuner = std::move(next);
    });
}

DVK_API int32_t DVK_CALL dvk_tuner_feed(dvk_tuner* t, const char* text, int32_t len, const char* deviceId,
                                        uint64_t tMs, const char* gapsMs) {
    if (t == nullptr) return 0;
    return guard<int32_t>(0, [&] {
        const TunerFrame frame{textArg(text, len), textArg(deviceId), tMs, parseGaps(textArg(gapsMs))};
        // Worked on a copy and committed whole: a failed allocation leaves the tuner as it was.
        Tuner next = t->tuner;
        const bool taken = next.feedFrame(frame);
        t->tuner = std::move(next);
        return taken ? 1 : 0;
    });
}

} // extern "C"
