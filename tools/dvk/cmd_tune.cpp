// dvk tune: the set-up wizard on a terminal, for a real scanner: one typing into this terminal, on a serial
// port or on an input device.
//
// While a scanner is being set up its terminator is what the wizard is learning, so the host kit's link in
// set-up mode gives the decoder the set-up profile, which frames the input by time (a pause longer than the
// burst gap, or the time-out after the last input), and passes every AIM identifier of a HID-POS scanner on.
// Every frame it polls goes to the tuner as the poll reports it.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "answers.h"
#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "input_source.h"
#include "json_reader.h"
#include "platform.h"
#include "raw_terminal.h"
#include "remembered_profile.h"
#include "report.h"
#include "terminal_codes.h"
#include "texts.h"

namespace {

constexpr char kEscape = '\x1b';
constexpr char kEndOfInput = '\x04'; // Ctrl+D, which raw mode delivers as a byte

int numberField(const std::string& json, const std::string& key) {
    return parseInt(dvkhost::jsonScalarField(json, key)).value_or(0);
}

// In a terminal the keyboard and the scanner type under one device id. A lone key stroke (one character,
// Alt with a key) or a cursor or function key (an escape sequence) is a person at the keyboard: no code is
// that short.
bool isStrayKey(const std::string& text) {
    auto oneCharacter = [](std::string_view s) {
        return !s.empty() && std::count_if(s.begin(), s.end(), [](char c) {
                                 return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
                             }) == 1;
    };
    if (oneCharacter(text)) return true;
    if (text.size() < 2 || text[0] != kEscape) return false;
    const std::string_view rest = std::string_view(text).substr(1);
    if (oneCharacter(rest)) return true;
    if (rest[0] == 'O') return rest.size() == 2;
    if (rest[0] != '[' || rest.size() < 2) return false;
    // CSI: parameter bytes, intermediate bytes, one final byte, and nothing after it.
    size_t i = 1;
    while (i < rest.size() && rest[i] >= 0x30 && rest[i] <= 0x3F)
        ++i;
    while (i < rest.size() && rest[i] >= 0x20 && rest[i] <= 0x2F)
        ++i;
    return i + 1 == rest.size() && rest[i] >= 0x40 && rest[i] <= 0x7E;
}

// The wizard as the person sees it: every step with its code, every finding as it is raised, and the outcome
// read from the tuner's state after the last frame.
class SetUp {
  public:
    SetUp(const std::string& transport, const std::string& device)
        : tuner_(dvk_tuner_new(transport.c_str(), device.c_str()), &dvk_tuner_free),
          state_(dvkhost::takeText(dvk_tuner_state(tuner_.get()))) {}

    bool done() const { return dvkhost::jsonScalarField(state_, "done") == "true"; }
    std::string profile() const { return dvkhost::jsonCompoundField(state_, "profile"); }

    void show() {
        printLine("");
        say(dvkhost::text("tune.step", {std::to_string(numberField(state_, "step") + 1),
                                        dvkhost::jsonStringField(state_, "prompt")}));
        say(dvkhost::jsonStringField(state_, "hint") + "\n");
        const int columns = terminalColumns();
        drawn_ = drawing(columns);
        for (const std::string& line : drawn_.lines)
            printLine(line);
        if (drawn_.lines.empty())
            say(dvkhost::text("tune.notDrawn", {std::to_string(drawn_.columns), std::to_string(columns)}));
        printLine("");
        say(dvkhost::text(drawn_.lines.empty() ? "tune.scanSheet" : "tune.scanAbove"));
        platform::flushOut();
    }

    // After the window changed size: the step again if its code would now be drawn otherwise.
    void fitToWindow() {
        if (!done() && drawing(terminalColumns()).lines != drawn_.lines) show();
    }

    // One frame as the tuner's feed takes it; gaps as a JSON array of milliseconds.
    void feed(const std::string& text, const std::string& device, uint64_t tMs, const std::string& gaps) {
        say(dvkhost::text("tune.received", {visible(text)}));
        if (!dvk_tuner_feed(tuner_.get(), text.data(), static_cast<int32_t>(text.size()), device.c_str(), tMs,
                            gaps.c_str()))
            say(dvkhost::text("tune.notTaken"));
        refresh();
    }

    void skip() {
        dvk_tuner_skip(tuner_.get());
        say(dvkhost::text("tune.skipped"));
        refresh();
    }

    // Writes `profileText` to `output` (stdout for "-") only for a finished set-up: 0 then, 1 when it did
    // not finish or the file could not be written after all.
    int finish(const std::string& output, const std::string& profileText) const {
        if (!done() || dvkhost::jsonScalarField(profile(), "configured") != "true") {
            printLine("");
            say(dvkhost::text("tune.unfinished", {std::to_string(numberField(state_, "step") + 1)}));
            return 1;
        }
        printLine("");
        say("== " + dvkhost::jsonStringField(state_, "prompt"));
        say(dvkhost::jsonStringField(state_, "summary"));
        if (output == "-") {
            printLine(profileText);
        } else if (!writeFile(output, profileText + "\n")) {
            fail(dvkhost::text("tune.cannotWrite", {output}));
            return 1;
        } else {
            say(dvkhost::text(output == rememberedProfilePath() ? "tune.remembered" : "tune.written",
                              {output}));
        }
        return 0;
    }

  private:
    TerminalDrawing drawing(int columns) const {
        const std::string code = dvkhost::jsonCompoundField(state_, "code");
        return drawForTerminal(dvkhost::jsonStringField(code, "symbology"),
                               dvkhost::jsonStringField(code, "payload"),
                               dvkhost::jsonScalarField(code, "gs1") == "true", columns);
    }

    void refresh() {
        platform::flushOut(); // what was received shows before the tuner's verdict, also through a pipe
        const std::string next = dvkhost::takeText(dvk_tuner_state(tuner_.get()));
        if (next.empty() || next == state_) return;
        const std::vector<dvkhost::FindingView> findings = dvkhost::parseFindings(next);
        for (; findingsShown_ < findings.size(); ++findingsShown_)
            printFinding(findings[findingsShown_]);
        const bool nextStep = numberField(next, "step") != numberField(state_, "step");
        state_ = next;
        if (nextStep && !done()) show();
        platform::flushOut();
    }

    std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> tuner_;
    std::string state_;
    size_t findingsShown_ = 0;
    TerminalDrawing drawn_;
};

// Reads the source until the set-up is done or the input ends. Esc skips a step and Ctrl+D ends the set-up,
// each after the frame typed before it is in. Where the keyboard types under the scanner's device id
// (`keyboardToo`), its stray keys are told apart from scans.
void tuneFrom(SetUp& setUp, InputSource& source, int keyFd, bool keyboardToo) {
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    setUp.show();
    InputPump pump(source, decoder.get(), true, keyFd);
    auto take = [&](const std::string& poll) {
        for (const dvkhost::PolledFrame& frame : dvkhost::parsePoll(poll).frames) {
            if (setUp.done()) return;
            if (keyboardToo && isStrayKey(frame.text)) {
                say(dvkhost::text("tune.ignored", {visible(frame.text)}));
                platform::flushOut();
            } else {
                setUp.feed(frame.text, frame.deviceId, frame.tMs, frame.gapsJson);
            }
        }
    };
    for (InputPump::Round round; !setUp.done() && !round.ended && round.key != kEndOfInput;) {
        if (RawTerminal::takeResumed()) {
            say(dvkhost::text("tune.resumed"));
            setUp.show();
        }
        if (RawTerminal::takeResized()) setUp.fitToWindow();
        round = pump.next();
        take(round.poll);
        if (round.key == kEscape || round.key == kEndOfInput) take(pump.closeFrame());
        if (round.key == kEscape && !setUp.done()) setUp.skip();
    }
}

} // namespace

int runTune(const Args& args) {
    std::string device = "terminal";
    std::string transport = "hid";
    std::string output;
    bool deviceOrTransportGiven = false;
    DeviceOptions devices;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string error;
        const int taken = devices.take(args, i, error);
        if (taken < 0) return fail(error);
        if (taken > 0) continue;
        if (arg == "--help" || arg == "-h") {
            say(dvkhost::text("tune.help", {rememberedProfilePath()}) + platform::helpNote());
            return 0;
        }
        if (arg == "--device" || arg == "--transport" || arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size()) return failNoValue(arg);
            deviceOrTransportGiven |= arg == "--device" || arg == "--transport";
            (arg == "--device" ? device : arg == "--transport" ? transport : output) = args[++i];
        } else {
            return failArgument(arg, "tune");
        }
    }
    if (transport != "hid" && transport != "serial" && transport != "sim")
        return fail(dvkhost::text("tune.transport"));
    if (device.empty()) return fail(dvkhost::text("tune.deviceEmpty"));
    // A device option names the transport and the id itself; a second answer would be dropped unseen.
    if (devices.chosen() && deviceOrTransportGiven) return fail(dvkhost::text("tune.deviceAndOptions"));
    // Found out now, not after five scans.
    auto writable = [](const std::string& path) {
        const std::string problem = path == "-" ? "" : writeProblem(path);
        if (!problem.empty()) fail(dvkhost::text("tune.cannotWriteWhy", {path, problem}));
        return problem.empty();
    };
    if (!output.empty() && !writable(output)) return 2;
    std::string profileText, error;
    std::unique_ptr<InputSource> source;
    if (!devices.open(profileText, source, error)) return fail(error);
    if (source) {
        transport = source->transport();
        device = source->deviceId();
    } else if (!platform::inputIsTerminal())
        return fail(dvkhost::text("tune.needsTerminal"));
    // The folders of the remembered profile are made only for a set-up that is going to run.
    if (output.empty()) {
        output = rememberedProfilePath();
        if (output.empty()) return fail(dvkhost::text("tune.noHome"));
        if (const std::string problem = makeFoldersFor(output); !problem.empty())
            return fail(dvkhost::text("tune.cannotWriteWhy", {output, problem}));
        if (!writable(output)) return 2;
    }

    SetUp setUp(transport, device);
    if (source) {
        {
            const RawTerminal raw; // for Esc and Ctrl+D while the device is read
            say(dvkhost::text("tune.reading", {source->description()}));
            tuneFrom(setUp, *source, platform::inputIsTerminal() ? 0 : -1, false); // 0: standard input
        }
        return setUp.finish(output, source->recordIn(setUp.profile()));
    }
    tuneFrom(setUp, *openTerminal(device, true), -1, true); // the terminal is raw for this line only
    return setUp.finish(output, setUp.profile());
}
