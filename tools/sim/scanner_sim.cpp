#include "scanner_sim.h"

#include <memory>
#include <vector>

#include "dorvik_host.h"

namespace dvksim {

namespace {

// Longer than any burst gap the tuner can learn (250 ms), shorter than its duplicate window (400 ms).
constexpr uint64_t kDoubleSendPauseMs = 300;
// Past the longest frame time-out a decoder may have during or after set-up.
constexpr uint64_t kIdleTickMs = 1000;

void feedStrokes(dvk_decoder* decoder, const std::vector<KeyStroke>& strokes, const std::string& deviceId,
                 uint64_t gapMs, uint64_t& now) {
    for (const KeyStroke& k : strokes) {
        dvk_decoder_feed_key(decoder, k.scanCode, 0, 0, k.shift, k.ctrl, k.alt, k.capsLock, 0, now,
                             deviceId.c_str());
        now += gapMs;
    }
}

std::string gapsJsonFor(size_t characters, uint64_t gapMs) {
    std::string out = "[";
    for (size_t i = 1; i < characters; ++i) {
        if (i > 1) out += ',';
        out += std::to_string(gapMs);
    }
    return out + "]";
}

size_t utf8Characters(const std::string& text) {
    size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

} // namespace

PollResult scanOnce(dvk_decoder* decoder, const ScannerModel& model, const std::string& payload,
                    const std::string& symbology, const std::string& deviceId, uint64_t& now) {
    const int sends = model.doubleSend ? 2 : 1;
    if (model.cyrillicLayout) {
        // The host reads characters from its own text input, already translated by the layout, and builds
        // the frames itself; the decoder sees them as text.
        PollResult result;
        const std::string text = throughRussianLayout(transmittedText(model, payload, symbology));
        for (int i = 0; i < sends; ++i) {
            const uint64_t end = now + model.gapMs * (utf8Characters(text) - 1);
            result.frames.push_back({text, deviceId, end, gapsJsonFor(utf8Characters(text), model.gapMs)});
            dvk_decoder_feed_bytes(decoder, text.c_str(), static_cast<int32_t>(text.size()), deviceId.c_str(),
                                   end);
            now = end + kDoubleSendPauseMs;
        }
        dvk_decoder_tick(decoder, now += kIdleTickMs);
        result.scans = parsePoll(dvkhost::takeText(dvk_decoder_poll(decoder))).scans;
        return result;
    }
    const std::vector<KeyStroke> strokes = keyStrokesFor(model, payload, symbology);
    for (int i = 0; i < sends; ++i) {
        feedStrokes(decoder, strokes, deviceId, model.gapMs, now);
        now += kDoubleSendPauseMs;
    }
    dvk_decoder_tick(decoder, now += kIdleTickMs);
    return parsePoll(dvkhost::takeText(dvk_decoder_poll(decoder)));
}

TunerRun runTuner(const ScannerModel& model, const std::string& deviceId, bool skipAll) {
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    const std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> tuner(dvk_tuner_new("hid", nullptr),
                                                                      &dvk_tuner_free);
    dvk_decoder_set_profile(decoder.get(), dvkh_set_up_profile());
    TunerRun run;
    uint64_t now = 1'000'000;
    // A scan that the tuner does not take (a frame of another device, say) would loop for ever: give up on
    // the step after a few tries, as a cashier would.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string state = dvkhost::takeText(dvk_tuner_state(tuner.get()));
        if (state.find("\"done\":true") != std::string::npos) break;
        if (skipAll || attempt >= 10) {
            dvk_tuner_skip(tuner.get());
            continue;
        }
        const PollResult polled = scanOnce(decoder.get(), model, jsonStringField(state, "payload"),
                                           jsonStringField(state, "symbology"), deviceId, now);
        for (const PolledFrame& frame : polled.frames) {
            run.framesTaken +=
                dvk_tuner_feed(tuner.get(), frame.text.data(), static_cast<int32_t>(frame.text.size()),
                               frame.deviceId.c_str(), frame.tMs, frame.gapsJson.c_str());
        }
    }
    run.finalState = dvkhost::takeText(dvk_tuner_state(tuner.get()));
    run.profile = jsonCompoundField(run.finalState, "profile");
    return run;
}

} // namespace dvksim
