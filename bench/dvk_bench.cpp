// Costs on the till's hot paths, through the C boundary where a host would pay them.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "analysis/gs_repair.h"
#include "copy_escape_floor.h"
#include "decoder/key_for_char.h"
#include "dorvik_c.h"
#include "reference_payloads.h"

namespace {

const std::string kGtin = "0104607097291111";
// An 82-character marking code: GTIN, a 13-character serial, key id and a 44-character crypto tail.
const std::string kMarking = kGtin + "21" + "5Ab!x7Qz-9K2m" +
                             "\x1d"
                             "91" +
                             "EE10" +
                             "\x1d"
                             "92" +
                             "Lm0pQ8rStUvWxYz1A2b3C4d5E6f7G8h9I0j+K/lMnOpQr";
const std::string kShort = kGtin + "21" + "ABCDEFG" +
                           "\x1d"
                           "8005" +
                           "123456" + "93" + "Ab1z";

struct Stroke {
    uint16_t scanCode;
    bool shift, ctrl;
};

std::vector<Stroke> strokesFor(const std::string& text) {
    std::vector<Stroke> strokes;
    for (const char c : text) {
        const dorvik::KeyForChar k = dorvik::keyForChar(static_cast<unsigned char>(c));
        strokes.push_back({k.scancode, k.shift, k.ctrl});
    }
    return strokes;
}

std::string withoutGs(std::string s) {
    std::erase(s, '\x1d');
    return s;
}

void BM_FeedKeyExtendsFrame(benchmark::State& state) {
    dvk_decoder* d = dvk_decoder_new();
    dvk_decoder_set_profile(d, "{\"burstGapMs\": 2000000000, \"terminator\": \"\\u0001\"}");
    uint64_t t = 1;
    int inFrame = 0;
    for (auto _ : state) {
        dvk_decoder_feed_key(d, 0x02, 0, 0, 0, 0, 0, 0, 0, ++t, "scanner");
        // Keep the frame bounded so the measurement stays a steady-state append.
        if (++inFrame == 4096) {
            state.PauseTiming();
            dvk_decoder_reset(d);
            inFrame = 0;
            state.ResumeTiming();
        }
    }
    dvk_decoder_free(d);
}
BENCHMARK(BM_FeedKeyExtendsFrame);

void BM_TypeMarkingCodeAndPoll(benchmark::State& state) {
    dvk_decoder* d = dvk_decoder_new();
    const std::vector<Stroke> strokes = strokesFor(kMarking);
    uint64_t t = 1;
    for (auto _ : state) {
        for (const Stroke& s : strokes)
            dvk_decoder_feed_key(d, s.scanCode, 0, 0, s.shift, s.ctrl, 0, 0, 0, t += 3, "scanner");
        dvk_decoder_feed_key(d, 0x1C, 0, 0, 0, 0, 0, 0, 0, t += 3, "scanner");
        char* polled = dvk_decoder_poll(d);
        benchmark::DoNotOptimize(polled);
        dvk_free(polled);
    }
    dvk_decoder_free(d);
}
BENCHMARK(BM_TypeMarkingCodeAndPoll);

void decodeFrame(benchmark::State& state, const char* profile, const std::string& text) {
    for (auto _ : state) {
        char* json = dvk_decode_frame(profile, text.data(), static_cast<int32_t>(text.size()), nullptr);
        benchmark::DoNotOptimize(json);
        dvk_free(json);
    }
}

const char* kGsMissing = "{\"gsMissing\": true}";

BENCHMARK_CAPTURE(decodeFrame, marking_82, nullptr, kMarking);
BENCHMARK_CAPTURE(decodeFrame, short_marking_with_gs, nullptr, kShort);
BENCHMARK_CAPTURE(decodeFrame, ean13, nullptr, std::string("4600000000008"));
BENCHMARK_CAPTURE(decodeFrame, marking_82_without_gs, kGsMissing, withoutGs(kMarking));
BENCHMARK_CAPTURE(decodeFrame, short_marking_without_gs, kGsMissing, withoutGs(kShort));

// Texts that can never be cut to their end: the search must stay polynomial.
std::string adversarial(const std::string& unit, size_t length) {
    std::string text = kGtin;
    while (text.size() < length - 1)
        text += unit;
    text.resize(length - 1);
    return text + " ";
}

void BM_RepairAdversarial(benchmark::State& state, std::string unit) {
    const std::string text = adversarial(unit, static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out;
        dorvik::GsRepairResult result = dorvik::repairGs(text, out);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK_CAPTURE(BM_RepairAdversarial, r91, std::string("91"))->Arg(100)->Arg(167)->Arg(512);
BENCHMARK_CAPTURE(BM_RepairAdversarial, r21, std::string("21"))->Arg(100)->Arg(512);
BENCHMARK_CAPTURE(BM_RepairAdversarial, r10, std::string("10"))->Arg(100)->Arg(512);
BENCHMARK_CAPTURE(BM_RepairAdversarial, mix, std::string("9121108005"))->Arg(100)->Arg(512);
BENCHMARK_CAPTURE(BM_RepairAdversarial, r240, std::string("9124031001"))->Arg(512);

void svg(benchmark::State& state, const char* kind, const std::string& payload, bool gs1) {
    for (auto _ : state) {
        char* text = dvk_barcode_svg(kind, payload.data(), static_cast<int32_t>(payload.size()), gs1, 4, 4);
        benchmark::DoNotOptimize(text);
        dvk_free(text);
    }
}
BENCHMARK_CAPTURE(svg, step0_ean13, "ean13", bench::payload(0), false);
BENCHMARK_CAPTURE(svg, step1_code128, "code128", bench::payload(1), true);
BENCHMARK_CAPTURE(svg, step2_datamatrix, "datamatrix", bench::payload(2), true);
BENCHMARK_CAPTURE(svg, step3_datamatrix, "datamatrix", bench::payload(3), true);
BENCHMARK_CAPTURE(svg, step4_datamatrix, "datamatrix", bench::payload(4), true);
BENCHMARK_CAPTURE(svg, codewords_174, "datamatrix", bench::kLargestDataMatrix, false);

void decodeStep(benchmark::State& state, size_t step, bool dropGs) {
    const std::string text = dropGs ? withoutGs(bench::payload(step)) : bench::payload(step);
    decodeFrame(state, dropGs ? kGsMissing : nullptr, text);
}
BENCHMARK_CAPTURE(decodeStep, step1_with_gs, 1, false);
BENCHMARK_CAPTURE(decodeStep, step2_with_gs, 2, false);
BENCHMARK_CAPTURE(decodeStep, step3_with_gs, 3, false);
BENCHMARK_CAPTURE(decodeStep, step4_with_gs, 4, false);
BENCHMARK_CAPTURE(decodeStep, step1_without_gs, 1, true);
BENCHMARK_CAPTURE(decodeStep, step2_without_gs, 2, true);
BENCHMARK_CAPTURE(decodeStep, step3_without_gs, 3, true);
BENCHMARK_CAPTURE(decodeStep, step4_without_gs, 4, true);

// The floor for dvk_decode_frame, the one definition every benchmark uses.
void floorCopyAndEscape(benchmark::State& state, size_t step) {
    const std::string& text = bench::payload(step);
    for (auto _ : state) {
        std::string json = bench::copyAndEscapeFloor(text);
        benchmark::DoNotOptimize(json.data());
    }
}
BENCHMARK_CAPTURE(floorCopyAndEscape, step1, 1);
BENCHMARK_CAPTURE(floorCopyAndEscape, step2, 2);
BENCHMARK_CAPTURE(floorCopyAndEscape, step3, 3);
BENCHMARK_CAPTURE(floorCopyAndEscape, step4, 4);

// The remaining exports, each on its own.
void BM_DecoderNewFree(benchmark::State& state) {
    for (auto _ : state)
        dvk_decoder_free(dvk_decoder_new());
}
BENCHMARK(BM_DecoderNewFree);

void BM_DecoderSetProfileAndRead(benchmark::State& state) {
    dvk_decoder* d = dvk_decoder_new();
    for (auto _ : state) {
        dvk_decoder_set_profile(
            d, "{\"terminator\":\"\\r\\n\",\"prefix\":\"]\",\"gsMissing\":true,\"burstGapMs\":80}");
        char* profile = dvk_decoder_profile(d);
        benchmark::DoNotOptimize(profile);
        dvk_free(profile);
    }
    dvk_decoder_free(d);
}
BENCHMARK(BM_DecoderSetProfileAndRead);

void BM_FeedBytesTickPollReset(benchmark::State& state) {
    dvk_decoder* d = dvk_decoder_new();
    dvk_decoder_bind(d, "COM3");
    uint64_t t = 1;
    for (auto _ : state) {
        dvk_decoder_feed_bytes(d, kMarking.data(), static_cast<int32_t>(kMarking.size()), "COM3", ++t);
        dvk_decoder_tick(d, t += 1000);
        char* polled = dvk_decoder_poll(d);
        benchmark::DoNotOptimize(polled);
        dvk_free(polled);
        dvk_decoder_reset(d);
    }
    dvk_decoder_free(d);
}
BENCHMARK(BM_FeedBytesTickPollReset);

void BM_KeyForChar(benchmark::State& state) {
    char c = 0;
    for (auto _ : state) {
        char* answer = dvk_key_for_char(c++);
        benchmark::DoNotOptimize(answer);
        dvk_free(answer);
    }
}
BENCHMARK(BM_KeyForChar);

void BM_Version(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(dvk_version());
}
BENCHMARK(BM_Version);

void BM_TunerWholeSetUp(benchmark::State& state) {
    for (auto _ : state) {
        dvk_tuner* t = dvk_tuner_new("hid", nullptr);
        for (size_t step = 0; step < 5; ++step) {
            const std::string frame = bench::payload(step) + "\r";
            dvk_tuner_feed(t, frame.data(), static_cast<int32_t>(frame.size()), "usb", 1000 * (step + 1),
                           "[3,4,5]");
        }
        char* state_ = dvk_tuner_state(t);
        benchmark::DoNotOptimize(state_);
        dvk_free(state_);
        dvk_tuner_free(t);
    }
}
BENCHMARK(BM_TunerWholeSetUp);

void BM_TunerStateAndSkip(benchmark::State& state) {
    for (auto _ : state) {
        dvk_tuner* t = dvk_tuner_new("serial", "COM3");
        dvk_tuner_skip(t);
        char* text = dvk_tuner_state(t);
        benchmark::DoNotOptimize(text);
        dvk_free(text);
        dvk_tuner_free(t);
    }
}
BENCHMARK(BM_TunerStateAndSkip);

} // namespace

BENCHMARK_MAIN();
