// Soak: a million scans (or as many as asked: dvk_soak [SCANS] [SEED]) from simulated scanners into one
// decoder, with the profile, the binding, resets and polls changing at random. Every scan that was let
// through must come out of a poll, once, with its payload; resident memory must stay flat.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "analysis/check_digit.h"
#include "scanner_sim.h"

namespace {

// Freed heap pages go back to the system first, so that what is read is what is still in use, not the
// high-water mark of the allocator.
long residentKb() {
    malloc_trim(0);
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Setup {
    const char* model;
    const char* profile; // what the tuner would have learned for it
    bool exact;          // the scan's data is the payload byte for byte
};
const Setup kSetups[] = {
    {"good", "{}", true},
    {"alt-gs", "{}", true},
    {"pipe-gs", "{\"gsSubstitute\":\"|\"}", true},
    {"slow", "{\"terminator\":\"\\t\",\"burstGapMs\":100}", true},
    {"prefix-aim", "{\"prefix\":\"<\",\"suffix\":\">\",\"terminator\":\"\\r\\n\"}", true},
    {"no-gs", "{\"gsMissing\":true}", false},
    {"caps-lock", "{}", false},
    {"short-buffer", "{}", false},
};

class Payloads {
  public:
    explicit Payloads(uint32_t seed) : random_(seed) {}

    // A payload and its dvk_barcode_svg kind: EAN-13, a marking code with GS, or a Code 128 text.
    std::pair<std::string, std::string> next() {
        switch (pick(3)) {
        case 0: {
            const std::string code = "46" + digits(10);
            return {code + dorvik::gtinCheckDigit(code), "ean13"};
        }
        case 1: return {"010" + digits(13) + "21" + alnum(13) + "\x1d" + "93" + alnum(4), "datamatrix"};
        default: return {alnum(6 + pick(30)), "code128"};
        }
    }
    uint32_t pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_); }

  private:
    std::string digits(size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i)
            out += static_cast<char>('0' + pick(10));
        return out;
    }
    std::string alnum(size_t n) {
        static constexpr char kChars[] =
            "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz!%&'()*+,-./:;=?_";
        std::string out;
        for (size_t i = 0; i < n; ++i)
            out += kChars[pick(sizeof kChars - 1)];
        return out;
    }
    std::mt19937 random_;
};

} // namespace

int main(int argc, char** argv) {
    const uint64_t scans = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
    Payloads payloads(argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 17);
    dvk_decoder* decoder = dvk_decoder_new();
    const long rssStart = residentKb();
    long rssWarm = 0;
    std::vector<long> checkpoints; // every 100000 scans

    const Setup* setup = &kSetups[0];
    const dvksim::ScannerModel* model = dvksim::findModel(setup->model);
    std::string bound;
    uint64_t now = 1'000, typed = 0, letThrough = 0, polledScans = 0, wrongData = 0, resets = 0, polls = 0;
    uint64_t profiles = 0, bindings = 0, dropped = 0;
    // The longest stretch without a poll comes first, so that the queues have grown to their largest before
    // memory is measured.
    size_t largestQueue = 0, largestFrames = 0, untilPoll = 5000;
    std::vector<std::string> expected; // payloads let through since the last poll, in order
    std::vector<bool> exact;

    auto poll = [&] {
        char* text = dvk_decoder_poll(decoder);
        const dvksim::PollResult result = dvksim::parsePoll(text == nullptr ? "" : text);
        dvk_free(text);
        ++polls;
        largestQueue = std::max(largestQueue, result.scans.size());
        largestFrames = std::max(largestFrames, result.frames.size());
        polledScans += result.scans.size();
        for (size_t i = 0; i < result.scans.size(); ++i) {
            if (i >= expected.size() || !exact[i]) continue;
            wrongData += dvksim::jsonStringField(result.scans[i], "data") != expected[i];
        }
        if (result.scans.size() != expected.size()) wrongData += 1;
        expected.clear();
        exact.clear();
    };

    for (uint64_t n = 0; n < scans; ++n) {
        if (n == 20'000) rssWarm = residentKb();
        if (n % 100'000 == 0 && n > 0) checkpoints.push_back(residentKb());
        const bool firstStretch = n < 5000;
        if (!firstStretch &&
            payloads.pick(1000) == 0) { // the cashier runs the tuner again, or another scanner is plugged in
            poll();
            setup = &kSetups[payloads.pick(sizeof kSetups / sizeof kSetups[0])];
            model = dvksim::findModel(setup->model);
            dvk_decoder_set_profile(decoder, setup->profile);
            ++profiles;
        }
        if (!firstStretch && payloads.pick(1500) == 0) {
            static const char* const kBindings[] = {"", "usb", "kbd"};
            bound = kBindings[payloads.pick(3)];
            dvk_decoder_bind(decoder, bound.c_str());
            ++bindings;
        }
        const auto [payload, kind] = payloads.next();
        const std::vector<dvksim::KeyStroke> strokes = dvksim::keyStrokesFor(*model, payload, kind);
        // Now and then the till resets in the middle of a scan: that scan is gone, the queues with it.
        const bool cut = !firstStretch && payloads.pick(5000) == 0;
        const size_t keys = cut ? strokes.size() / 2 : strokes.size();
        for (size_t i = 0; i < keys; ++i) {
            const dvksim::KeyStroke& k = strokes[i];
            dvk_decoder_feed_key(decoder, k.scanCode, 0, 0, k.shift, k.ctrl, k.alt, k.capsLock, 0, now,
                                 "usb");
            now += model->gapMs;
        }
        ++typed;
        if (cut) {
            poll();
            dvk_decoder_reset(decoder);
            ++resets;
            continue;
        }
        dvk_decoder_tick(decoder, now += 200);
        if (payloads.pick(20) == 0) { // a key typed on the keyboard: a frame, never a scan (too short)
            dvk_decoder_feed_key(decoder, 0x02, 0, 0, 0, 0, 0, 0, 0, now, "kbd");
            dvk_decoder_feed_key(decoder, 0x1C, 0, 0, 0, 0, 0, 0, 0, now += 5, "kbd");
            now += 200;
        }
        if (bound == "kbd") {
            ++dropped;
        } else {
            ++letThrough;
            expected.push_back(payload);
            exact.push_back(setup->exact);
        }
        if (--untilPoll == 0) {
            poll();
            // Mostly every few scans; now and then the host is busy for thousands.
            untilPoll = payloads.pick(200) == 0 ? 1 + payloads.pick(5000) : 1 + payloads.pick(8);
        }
    }
    poll();
    const long rssEnd = residentKb();
    dvk_decoder_free(decoder);

    std::printf("scans typed %" PRIu64 ", let through %" PRIu64 ", dropped by binding %" PRIu64
                ", cut by reset %" PRIu64 "\n",
                typed, letThrough, dropped, resets);
    std::printf("scans polled %" PRIu64 ", wrong or missing %" PRIu64 "\n", polledScans, wrongData);
    std::printf("polls %" PRIu64 ", profile changes %" PRIu64 ", bindings %" PRIu64 "\n", polls, profiles,
                bindings);
    std::printf("largest queue: %zu scans, %zu frames\n", largestQueue, largestFrames);
    std::printf("resident memory: %ld kB at start, %ld kB after 20000 scans, %ld kB at the end\n", rssStart,
                rssWarm, rssEnd);
    std::printf("every 100000 scans (kB):");
    for (const long kb : checkpoints)
        std::printf(" %ld", kb);
    std::printf("\n");
    const bool flat = rssWarm == 0 || rssEnd <= rssWarm + rssWarm / 20 + 512;
    if (polledScans != letThrough || wrongData != 0 || !flat) {
        std::printf("FAILED\n");
        return 1;
    }
    return 0;
}
