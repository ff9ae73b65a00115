// A decoder driven by any sequence of calls; every poll is well formed and every scan came from the bound
// device.
#include <string>

#include "dorvik_c.h"
#include "fuzz_input.h"

namespace {

const char* const kDevices[] = {"", "kbd", "scanner", "COM3"};
const char* const kProfiles[] = {
    "{}", "{\"terminator\":\"\\r\\n\",\"minLength\":0}", "{\"gsMissing\":true,\"burstGapMs\":-5}",
    "{\"prefix\":\"]\",\"suffix\":\"\\t\",\"gsSubstitute\":\"|\",\"frameTimeoutMs\":0}",
    "{\"terminator\":\"\\t\",\"burstGapMs\":2147483647,\"frameTimeoutMs\":-1}"};

void checkPoll(char* json, const std::string& bound) {
    fuzzCheck(json != nullptr, "poll result");
    const std::string text = json;
    dvk_free(json);
    fuzzCheck(text.rfind("{\"scans\":[", 0) == 0 && text.size() >= 2 &&
                  text.compare(text.size() - 2, 2, "]}") == 0,
              "poll JSON shape");
    const size_t frames = text.rfind("],\"frames\":[");
    for (size_t at = text.find("\"fromBoundDevice\":"); at != std::string::npos && at < frames;
         at = text.find("\"fromBoundDevice\":", at + 1)) {
        fuzzCheck(text.compare(at, 22, "\"fromBoundDevice\":true") == 0,
                  "every scan is from the bound device");
    }
    if (bound.empty()) return;
    const std::string device = "\"deviceId\":\"" + bound + "\",\"tMs\":";
    for (size_t at = text.find("\"deviceId\":"); at != std::string::npos && at < frames;
         at = text.find("\"deviceId\":", at + 1))
        fuzzCheck(text.compare(at, device.size(), device) == 0, "scan device is the bound one");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    dvk_decoder* d = dvk_decoder_new();
    std::string bound;
    uint64_t now = in.u64() % 4 == 0 ? UINT64_MAX - 1000 : 1000;
    while (!in.empty()) {
        const uint8_t op = in.byte();
        switch (op % 8) {
        case 0: {
            const uint8_t code = in.byte();
            const uint8_t mods = in.byte();
            now += in.byte() % 2 ? in.byte() : static_cast<uint64_t>(-static_cast<int64_t>(in.byte() % 16));
            dvk_decoder_feed_key(d, code, 0, mods & 1, mods & 2, mods & 4, mods & 8, mods & 16, mods & 32,
                                 now, kDevices[(mods >> 6) & 3]);
            break;
        }
        case 1: {
            const std::string chunk = in.slice(64);
            dvk_decoder_feed_bytes(d, chunk.data(), static_cast<int32_t>(chunk.size()), kDevices[op >> 6],
                                   now);
            break;
        }
        case 2: dvk_decoder_tick(d, now += in.byte() * 4); break;
        case 3: checkPoll(dvk_decoder_poll(d), bound); break;
        case 4: dvk_decoder_reset(d); break;
        case 5:
            // A binding judges the frames closed after it: drain what was judged under the old one first.
            checkPoll(dvk_decoder_poll(d), bound);
            bound = kDevices[op >> 6];
            dvk_decoder_bind(d, bound.c_str());
            break;
        case 6: dvk_decoder_set_profile(d, kProfiles[(op >> 3) % 5]); break;
        default: now = in.u64(); break;
        }
    }
    checkPoll(dvk_decoder_poll(d), bound);
    dvk_decoder_free(d);
    return 0;
}
