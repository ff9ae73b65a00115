// dvk listen: the till loop on a real device. A serial port, an input-event device or the terminal feeds a
// decoder; it ticks while idle and polls, and every scan is printed as it arrives, as a readable line or as
// its scan-event JSON. It runs until the input ends or Ctrl+C; what is still in flight is printed first.
// Without --profile it reads the scanner that dvk tune remembered, and says so.
#include <cstdio>
#include <memory>

#include "answers.h"
#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "input_source.h"
#include "json_reader.h"
#include "platform.h"
#include "remembered_profile.h"
#include "report.h"
#include "texts.h"

namespace {

// Every scan of a poll; readable output also names the frames that became none.
void printPoll(const std::string& poll, bool json, const std::string& bound) {
    const dvkhost::PollResult result = dvkhost::parsePoll(poll);
    if (json) {
        for (const std::string& scan : result.scans)
            printLine(scan);
        return;
    }
    size_t next = 0; // scans come out in the order of their frames
    for (const dvkhost::PolledFrame& frame : result.frames) {
        if (next < result.scans.size() && dvkhost::jsonStringField(result.scans[next], "raw") == frame.text &&
            dvkhost::jsonStringField(result.scans[next], "deviceId") == frame.deviceId) {
            printScan(result.scans[next++]);
        } else {
            const bool otherDevice = !bound.empty() && frame.deviceId != bound;
            printLine(dvkhost::text(otherDevice ? "listen.notBound" : "listen.tooShort",
                                    {visible(frame.text), frame.deviceId}));
        }
    }
    for (; next < result.scans.size(); ++next)
        printScan(result.scans[next]);
}

} // namespace

int runListen(const Args& args) {
    DeviceOptions devices;
    std::string bind;
    bool keyboard = false, json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string error;
        const int taken = devices.take(args, i, error);
        if (taken < 0) return fail(error);
        if (taken > 0) continue;
        if (arg == "--help" || arg == "-h") {
            say(dvkhost::text("listen.help", {rememberedProfilePath()}) + platform::helpNote());
            return 0;
        }
        if (arg == "--keyboards" && keyboardsByPath()) {
            say(dvkhost::text("listen.keyboards"));
            for (const std::string& path : keyboardPaths())
                printLine("  " + path);
            return 0;
        }
        if (arg == "--hid-scanners" && keyboardsByPath()) {
            say(dvkhost::text("listen.hidScanners"));
            for (const HidPosScanner& scanner : hidPosScanners())
                printLine("  " + scanner.path + (scanner.name.empty() ? "" : "  «" + scanner.name + "»"));
            return 0;
        }
        if (arg == "--keyboard") {
            keyboard = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--bind") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return failNoValue(arg);
            bind = args[++i];
        } else {
            return failArgument(arg, "listen");
        }
    }
    if (!devices.chosen() && !keyboard) return fail(dvkhost::text("listen.needsDevice"));
    if (devices.chosen() && keyboard) return fail(dvkhost::text("listen.keyboardAndDevice"));

    std::string profile, error, profilePath;
    std::unique_ptr<InputSource> source;
    const std::string remembered = rememberedProfilePath();
    if (!devices.open(profile, source, error, remembered, &profilePath)) return fail(error);
    if (keyboard) source = openTerminal("terminal", false);
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    if (!profile.empty()) dvk_decoder_set_profile(decoder.get(), profile.c_str());
    dvk_decoder_bind(decoder.get(), bind.c_str());
    // After the terminal's own (raw mode): Ctrl+C or Ctrl+\ ends the loop, which prints the rest.
    installStopHandlers();
    // One line, the first on stderr: what is read, with which profile.
    const std::string used = !profilePath.empty() ? dvkhost::text("listen.profile", {profilePath})
                             : remembered.empty() ? dvkhost::text("listen.defaults")
                                                  : dvkhost::text("listen.noRemembered", {remembered});
    platform::writeError("dvk: " +
                         dvkhost::text(bind.empty() ? "listen.listening" : "listen.listeningBound",
                                       {source->description(), bind, used}) +
                         "\n");
    InputPump pump(*source, decoder.get());
    for (;;) {
        const InputPump::Round round = pump.next();
        if (round.ended) return 0;
        printPoll(round.poll, json, bind);
        if (!platform::flushOut()) return 1; // the reader went away
    }
}
