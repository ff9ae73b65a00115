// Every key the look-up finds types its character back through the decoder.
#include <string>

#include "decoder/decoder.h"
#include "dorvik_c.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        char* answer = dvk_key_for_char(c);
        fuzzCheck(answer != nullptr, "key look-up result");
        const std::string json = answer;
        dvk_free(answer);
        if (json.rfind("{\"ok\":true,\"scancode\":", 0) != 0) continue;
        const auto scanCode = static_cast<uint16_t>(std::stoi(json.substr(22)));
        dorvik::Decoder decoder;
        dorvik::ScannerProfile profile;
        profile.terminator = std::string(1, '\0'); // never typed: the frame closes by time
        decoder.setProfile(profile);
        std::string typed;
        decoder.setOnFrame([&](std::string_view text, std::string_view, uint64_t, std::span<const uint64_t>) {
            typed = text;
        });
        decoder.feedKey(dorvik::KeyEvent{scanCode, 0, false, json.find("\"shift\":true") != std::string::npos,
                                         json.find("\"ctrl\":true") != std::string::npos, false, false, false,
                                         1, "k"});
        decoder.tick(10'000);
        fuzzCheck(typed == std::string(1, c), "the found key types the character");
    }
    return 0;
}
