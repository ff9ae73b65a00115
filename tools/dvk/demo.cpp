
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "answers.h"
#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "report.h"
#include "scanner_sim.h"
#include "sheet.h"
#include "simulate.h"
#include "texts.h"

namespace {

constexpr const char* kDevice = "scanner-1";

struct Typist {
    dvk_decoder* decoder;
    uint64_t now;
    uint64_t stepMs;

    void key(uint16_t scanCode, bool shift, bool ctrl, bool alt) {
        dvk_decoder_feed_key(decoder, scanCode, 0, 0, shift, ctrl, alt, 0, 0, now, kDevice);
        now += stepMs;
    }

    // Every character through the library's own key look-up: Shift for capitals, Ctrl+] for GS.
    void type(std::string_view text) {
        for (const char c : text) {
            if (const auto typing = dvkhost::keyFor(c))
                key(typing->scanCode, typing->shift, typing->ctrl, false);
        }
    }

    // Alt held, the decimal code on the numeric keypad, Alt released by the next plain key stroke.
    void altCode(std::string_view digits) {
        for (const char d : digits)
            key(dvkhost::kKeypadDigitScanCodes[d - '0'], false, false, true);
    }

    void enter() { key(0x1C, false, false, false); }
};

// What one poll returned, readably: every frame with its timing, then every scan.
void pollAndPrint(dvk_decoder* decoder, const std::string& title) {
    say("== " + title);
    const dvkhost::PollResult polled = dvkhost::parsePoll(dvkhost::takeText(dvk_decoder_poll(decoder)));
    if (polled.frames.empty()) say(dvkhost::text("demo.nothing"));
    for (const dvkhost::PolledFrame& frame : polled.frames) {
        say(dvkhost::text("demo.frame",
                          {visible(frame.text), frame.deviceId, std::to_string(frame.tMs), frame.gapsJson}),
            4);
    }
    for (const std::string& scan : polled.scans)
        printScan(scan, "  ");
    printLine("");
}

// Key strokes into a decoder, as a keyboard scanner types them, and what polling returns.
void typeThroughDecoder() {
    dvk_decoder* decoder = dvk_decoder_new();
    if (decoder == nullptr) return;
    dvk_decoder_bind(decoder, kDevice);
    Typist typist{decoder, 1000, 8};

    typist.type("4600000000008");
    typist.enter();
    pollAndPrint(decoder, dvkhost::text("demo.ean"));

    typist.type("010460709729111121AbC1234567\x1d"
                "91EE10\x1d"
                "92dGVzdGRhdGFjcnlwdG9ncmFwaGljc2lnbmF0dXJlMDE=");
    typist.enter();
    pollAndPrint(decoder, dvkhost::text("demo.marking"));

    typist.type("010460709729111121ABCDEFG");
    typist.altCode("029");
    typist.type("8005123456");
    typist.altCode("029");
    typist.type("93Ab1z");
    typist.enter();
    pollAndPrint(decoder, dvkhost::text("demo.altGs"));

    typist.type("2012345012349");
    typist.now += 200; // a pause longer than the burst gap starts a new frame
    typist.type("4600000000008");
    typist.enter();
    pollAndPrint(decoder, dvkhost::text("demo.pause"));

    typist.type("04607097291111");
    dvk_decoder_tick(decoder, typist.now + 100);
    pollAndPrint(decoder, dvkhost::text("demo.assembling"));
    dvk_decoder_tick(decoder, typist.now + 200);
    pollAndPrint(decoder, dvkhost::text("demo.timeout"));

    dvk_decoder_set_profile(decoder, "{\"gsMissing\": true}");
    typist.type("010460709729111121ABCDEFG800512345693Ab1z");
    typist.enter();
    pollAndPrint(decoder, dvkhost::text("demo.gsMissing"));

    dvk_decoder_free(decoder);
}

} // namespace

int runDemo(const Args& args) {
    if (!args.empty()) {
        if (args[0] == "--help" || args[0] == "-h") {
            say(dvkhost::text("demo.help"));
            return 0;
        }
        return fail(dvkhost::text("demo.args"));
    }
    say(dvkhost::text("demo.part1") + "\n");
    typeThroughDecoder();
    say(dvkhost::text("demo.part2") + "\n");
    for (const char* name : {"good", "no-gs", "russian-short"}) {
        const auto model = loadModel(name);
        if (!model) return 1;
        printSimulation(*model, describeModel(name), simulate(*model));
        printLine("");
    }
    const auto html = setupSheetHtml();
    if (!html || !writeFile("setup-sheet.html", *html))
        return fail(dvkhost::text("tune.cannotWrite", {"setup-sheet.html"}));
    say(dvkhost::text("demo.part3"));
    return 0;
}
