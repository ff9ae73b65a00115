// dvk listen: the till loop on a real device. A serial port, an input-event device or the terminal feeds a
// decoder; it ticks while idle and polls, and every scan is printed as it arrives, as a readable line or as
// its scan-event JSON. It runs until the input ends or Ctrl+C; what is still in flight is printed first.
#include <signal.h>

#include <cstdio>
#include <memory>

#include "answers.h"
#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "input_source.h"
#include "json_reader.h"
#include "report.h"

namespace {

constexpr const char* kHelp =
    "usage: dvk listen --serial PATH [--baud N] [--profile FILE] [--bind ID] [--json]\n"
    "       dvk listen --evdev /dev/input/eventN [--profile FILE] [--bind ID] [--json]\n"
    "       dvk listen --keyboard [--profile FILE] [--bind ID] [--json]\n"
    "Reads a scanner as a till does and prints every scan as it arrives: kind, the code with its control\n"
    "characters shown, GTIN and serial of marking codes, warnings; --json prints each scan event's JSON, one\n"
    "per line. --serial opens the port with the profile's baud, dataBits, parity, stopBits and rtsCts (--baud\n"
    "overrides); --evdev reads Linux input events (or a FIFO or file of them), captured exclusively when the\n"
    "profile's exclusiveCapture is true; --keyboard reads this terminal. Runs until the input ends or Ctrl+C.";

std::string field(const std::string& scan, const std::string& key) {
    return visible(dvkhost::jsonStringField(scan, key));
}

// One scan, one line: kind, code, the fields a cashier checks, what the decoder had to repair or doubts.
void printScanLine(const std::string& scan) {
    std::string line = dvkhost::jsonStringField(scan, "kindTitle") + "  " + field(scan, "data");
    if (!dvkhost::jsonStringField(scan, "gtin").empty())
        line += "  GTIN " + field(scan, "gtin") + ", serial " + field(scan, "serial");
    if (!dvkhost::jsonStringField(scan, "itemCode").empty())
        line +=
            "  item " + field(scan, "itemCode") + ", " + dvkhost::jsonScalarField(scan, "weightKg") + " kg";
    if (dvkhost::jsonScalarField(scan, "gsRepaired") == "true") line += "  (GS restored)";
    for (const std::string& warning : dvkhost::jsonStringArrayField(scan, "warnings"))
        line += "  ! " + warning;
    std::printf("%s\n", line.c_str());
}

// Every scan of a poll; readable output also names the frames that became none.
void printPoll(const std::string& poll, bool json, const std::string& bound) {
    const dvkhost::PollResult result = dvkhost::parsePoll(poll);
    if (json) {
        for (const std::string& scan : result.scans)
            std::printf("%s\n", scan.c_str());
        return;
    }
    size_t next = 0; // scans come out in the order of their frames
    for (const dvkhost::PolledFrame& frame : result.frames) {
        if (next < result.scans.size() && dvkhost::jsonStringField(result.scans[next], "raw") == frame.text &&
            dvkhost::jsonStringField(result.scans[next], "deviceId") == frame.deviceId) {
            printScanLine(result.scans[next++]);
        } else {
            std::printf("(frame «%s» from %s is no scan: %s)\n", visible(frame.text).c_str(),
                        frame.deviceId.c_str(),
                        !bound.empty() && frame.deviceId != bound ? "not the bound device"
                                                                  : "shorter than minLength");
        }
    }
    for (; next < result.scans.size(); ++next)
        printScanLine(result.scans[next]);
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
            std::puts(kHelp);
            return 0;
        }
        if (arg == "--keyboard") {
            keyboard = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--bind") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return fail(arg + " needs a value");
            bind = args[++i];
        } else {
            return fail((isOption(arg) ? "unknown option " : "unexpected argument ") + arg +
                        " (see dvk listen --help)");
        }
    }
    if (!devices.chosen() && !keyboard)
        return fail("listen needs one of --serial PATH, --evdev PATH or --keyboard (see dvk listen --help)");
    if (devices.chosen() && keyboard) return fail("--keyboard and a device: listen reads one");

    std::string profile, error;
    std::unique_ptr<InputSource> source;
    if (!devices.open(profile, source, error)) return fail(error);
    if (keyboard) source = openTerminal("terminal", false);
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    if (!profile.empty()) dvk_decoder_set_profile(decoder.get(), profile.c_str());
    dvk_decoder_bind(decoder.get(), bind.c_str());
    installStopHandlers(); // after the terminal's own (raw mode): Ctrl+C ends the loop, which prints the rest
    signal(SIGPIPE, SIG_IGN);
    std::fprintf(stderr, "dvk: listening on %s%s%s\n", source->description().c_str(),
                 bind.empty() ? "" : ", bound to ", bind.c_str());
    InputPump pump(*source, decoder.get());
    for (;;) {
        const InputPump::Round round = pump.next();
        if (round.ended) return 0;
        printPoll(round.poll, json, bind);
        if (std::fflush(stdout) != 0) return 1; // the reader went away
    }
}
