// A tuner created with any transport and device, fed any frames and gap texts, skipped and read at will.
#include <string>

#include "dorvik_c.h"
#include "fuzz_input.h"

namespace {

const char* const kTransports[] = {"hid", "serial", "sim", "HID", "", "none"};
const char* const kDevices[] = {"", "usb", "kbd"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t setup = in.byte();
    dvk_tuner* t = dvk_tuner_new(kTransports[setup % 6], kDevices[(setup >> 3) % 3]);
    int steps = 0;
    while (!in.empty()) {
        const uint8_t op = in.byte();
        switch (op % 4) {
        case 0:
        case 1: {
            const std::string text = in.slice(120);
            const std::string gaps = in.slice(24);
            steps += dvk_tuner_feed(t, text.data(), static_cast<int32_t>(text.size()),
                                    kDevices[(op >> 2) % 3], in.u64(), gaps.c_str());
            break;
        }
        case 2: dvk_tuner_skip(t); break;
        default: {
            char* state = dvk_tuner_state(t);
            fuzzCheck(state != nullptr, "state");
            const std::string s = state;
            dvk_free(state);
            fuzzCheck(s.rfind("{\"step\":", 0) == 0 && s.size() > 2 && s.compare(s.size() - 2, 2, "}}") == 0,
                      "state shape");
        }
        }
    }
    fuzzCheck(steps <= 5, "at most five frames are taken");
    dvk_tuner_free(t);
    return 0;
}
