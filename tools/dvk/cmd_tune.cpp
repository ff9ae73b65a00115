// dvk tune: the set-up wizard on a terminal, for a real keyboard scanner plugged into this machine.
//
// The terminal is put into raw mode and every byte the scanner types is read with its arrival time. While a
// scanner is being set up its terminator is what the wizard is learning, so frames end as a decoder with a
// set-up profile ends them: by a pause longer than the burst gap, or by the time-out after the last byte.
// Bytes reach the tuner exactly as the terminal delivered them (a Russian layout arrives as UTF-8).
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "answers.h"
#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "input_source.h"
#include "json_reader.h"
#include "raw_terminal.h"
#include "report.h"
#include "terminal_codes.h"

namespace {

constexpr uint64_t kBurstGapMs = 250;
constexpr uint64_t kTimeoutMs = 500;
constexpr char kEscape = '\x1b';
constexpr char kEndOfInput = '\x04'; // Ctrl+D, which raw mode delivers as a byte

uint64_t nowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

int numberField(const std::string& json, const std::string& key) {
    const std::string text = dvkhost::jsonScalarField(json, key);
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
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
        std::printf("\n== Step %d of 5: %s\n%s\n\n", numberField(state_, "step") + 1,
                    dvkhost::jsonStringField(state_, "prompt").c_str(),
                    dvkhost::jsonStringField(state_, "hint").c_str());
        const int columns = terminalColumns();
        drawn_ = drawing(columns);
        for (const std::string& line : drawn_.lines)
            std::printf("%s\n", line.c_str());
        if (drawn_.lines.empty())
            std::printf("Not drawn: needs %d columns, the terminal has %d; print it with dvk sheet.\n",
                        drawn_.columns, columns);
        std::printf("\nScan the code %s (Esc skips the step, Ctrl+D ends, Ctrl+C quits).\n",
                    drawn_.lines.empty() ? "from the sheet" : "above");
        std::fflush(stdout);
    }

    // After the window changed size: the step again if its code would now be drawn otherwise.
    void fitToWindow() {
        if (!done() && drawing(terminalColumns()).lines != drawn_.lines) show();
    }

    // One frame as the tuner's feed takes it; gaps as a JSON array of milliseconds.
    void feed(const std::string& text, const std::string& device, uint64_t tMs, const std::string& gaps) {
        std::printf("received: %s\n", visible(text).c_str());
        if (!dvk_tuner_feed(tuner_.get(), text.data(), static_cast<int32_t>(text.size()), device.c_str(), tMs,
                            gaps.c_str()))
            std::printf("(not taken for this step)\n");
        refresh();
    }

    void skip() {
        dvk_tuner_skip(tuner_.get());
        std::printf("(step skipped)\n");
        refresh();
    }

    // Writes `profileText` to `output` (stdout when empty) only for a finished set-up: 0 then, 1 when it did
    // not finish or the file could not be written after all.
    int finish(const std::string& output, const std::string& profileText) const {
        if (!done() || dvkhost::jsonScalarField(profile(), "configured") != "true") {
            std::printf("\n== Set-up not finished: stopped at step %d of 5, no profile written\n",
                        numberField(state_, "step") + 1);
            return 1;
        }
        std::printf("\n== %s\n%s\n", dvkhost::jsonStringField(state_, "prompt").c_str(),
                    dvkhost::jsonStringField(state_, "summary").c_str());
        if (output.empty()) {
            std::printf("%s\n", profileText.c_str());
        } else if (!writeFile(output, profileText + "\n")) {
            std::fprintf(stderr, "dvk: cannot write %s\n", output.c_str());
            return 1;
        } else {
            std::printf("profile written to %s\n", output.c_str());
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
        std::fflush(stdout); // what was received shows before the tuner's verdict, also through a pipe
        const std::string next = dvkhost::takeText(dvk_tuner_state(tuner_.get()));
        if (next.empty() || next == state_) return;
        const std::vector<dvkhost::FindingView> findings = dvkhost::parseFindings(next);
        for (; findingsShown_ < findings.size(); ++findingsShown_)
            printFinding(findings[findingsShown_]);
        const bool nextStep = numberField(next, "step") != numberField(state_, "step");
        state_ = next;
        if (nextStep && !done()) show();
        std::fflush(stdout);
    }

    std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> tuner_;
    std::string state_;
    size_t findingsShown_ = 0;
    TerminalDrawing drawn_;
};

struct Frame {
    std::string text;
    std::vector<uint64_t> gaps;
    uint64_t last = 0;
};

// Reads the terminal until the set-up is done or the input ends (Ctrl+D, or the terminal went away).
void tuneOnTerminal(SetUp& setUp, const std::string& device) {
    const RawTerminal raw;
    setUp.show();
    Frame frame;
    auto deliver = [&] {
        if (frame.text.empty()) return;
        if (isStrayKey(frame.text)) {
            std::printf("ignored: %s is a key of the keyboard, not a scan\n", visible(frame.text).c_str());
            std::fflush(stdout);
        } else {
            std::string gaps = "[";
            for (size_t i = 0; i < frame.gaps.size(); ++i) {
                if (i) gaps += ',';
                gaps += std::to_string(frame.gaps[i]);
            }
            setUp.feed(frame.text, device, frame.last, gaps + "]");
        }
        frame = Frame{};
    };
    while (!setUp.done()) {
        if (RawTerminal::takeResumed()) {
            std::printf("(resumed)\n");
            setUp.show();
        }
        if (RawTerminal::takeResized()) setUp.fitToWindow();
        const int wait =
            frame.text.empty()
                ? -1
                : static_cast<int>(frame.last + kTimeoutMs + 1 - std::min(nowMs(), frame.last + kTimeoutMs));
        struct pollfd in = {STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&in, 1, wait);
        const uint64_t t = nowMs();
        if (ready <= 0) {
            if (!frame.text.empty() && t > frame.last + kTimeoutMs) deliver();
            continue;
        }
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue; // a stop or resume, not the end of input
        if (n <= 0) break;
        // A key pressed on its own, with nothing pending: the scanner's bytes come in bursts.
        if (n == 1 && (buffer[0] == kEscape || buffer[0] == kEndOfInput) &&
            (frame.text.empty() || t - frame.last > kBurstGapMs)) {
            deliver();
            if (buffer[0] == kEndOfInput) break;
            setUp.skip();
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (!frame.text.empty() && t - frame.last > kBurstGapMs) deliver();
            if (!frame.text.empty()) frame.gaps.push_back(t - frame.last);
            frame.text += buffer[i];
            frame.last = t;
        }
    }
    deliver(); // the last frame counts, however the input ended
}

// A serial port or an input device: a decoder with the set-up profile frames its input by time, as above. The
// terminal, when there is one, is only watched for Esc and Ctrl+D.
void tuneOnDevice(SetUp& setUp, InputSource& source) {
    const RawTerminal raw;
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    const std::string framing = "{\"burstGapMs\": " + std::to_string(kBurstGapMs) +
                                ", \"frameTimeoutMs\": " + std::to_string(kTimeoutMs) +
                                ", \"terminator\": \"\\u0000\"}";
    dvk_decoder_set_profile(decoder.get(), framing.c_str());
    std::printf("Reading %s.\n", source.description().c_str());
    setUp.show();
    InputPump pump(source, decoder.get(), isatty(STDIN_FILENO) ? STDIN_FILENO : -1);
    for (InputPump::Round round; !setUp.done() && !round.ended && round.key != kEndOfInput;) {
        if (RawTerminal::takeResumed()) {
            std::printf("(resumed)\n");
            setUp.show();
        }
        if (RawTerminal::takeResized()) setUp.fitToWindow();
        round = pump.next();
        for (const dvkhost::PolledFrame& frame : dvkhost::parsePoll(round.poll).frames)
            if (!setUp.done()) setUp.feed(frame.text, frame.deviceId, frame.tMs, frame.gapsJson);
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
            std::puts(
                "usage: dvk tune [--device ID] [--transport hid|serial|sim] [-o profile.json]\n"
                "Sets up a keyboard scanner plugged into this machine: scan each reference code shown on the\n"
                "screen. Esc skips a step, Ctrl+D ends the set-up unfinished, Ctrl+C quits. Codes too wide\n"
                "for the terminal are on the sheet that dvk sheet prints. The learned profile goes to the -o\n"
                "file (or stdout) once all five steps are done; otherwise nothing is written and the exit\n"
                "status is 1.\n"
                "   or: dvk tune --serial PATH [--baud N] [--profile FILE] [-o profile.json]\n"
                "   or: dvk tune --evdev /dev/input/eventN [--profile FILE] [-o profile.json]\n"
                "Sets up a serial scanner, or a keyboard scanner read from its input device (or a FIFO or file\n"
                "of input events), opened as dvk listen opens them (--profile gives the port settings and\n"
                "exclusiveCapture). The profile records the transport, the device and the settings used.");
            return 0;
        }
        if (arg == "--device" || arg == "--transport" || arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size()) return fail(arg + " needs a value");
            deviceOrTransportGiven |= arg == "--device" || arg == "--transport";
            (arg == "--device" ? device : arg == "--transport" ? transport : output) = args[++i];
        } else {
            return fail((isOption(arg) ? "unknown option " : "unexpected argument ") + arg +
                        " (see dvk tune --help)");
        }
    }
    if (transport != "hid" && transport != "serial" && transport != "sim")
        return fail("--transport is hid, serial or sim");
    if (device.empty()) return fail("--device needs a non-empty id");
    // A device option names the transport and the id itself; a second answer would be dropped unseen.
    if (devices.chosen() && deviceOrTransportGiven)
        return fail("--device and --transport are for the terminal; --serial and --evdev set their own");
    // Found out now, not after five scans.
    if (!output.empty()) {
        const std::string problem = writeProblem(output);
        if (!problem.empty()) return fail("cannot write " + output + ": " + problem);
    }
    std::string profileText, error;
    std::unique_ptr<InputSource> source;
    if (!devices.open(profileText, source, error)) return fail(error);
    if (source) {
        transport = source->transport();
        device = source->deviceId();
    } else if (!isatty(STDIN_FILENO))
        return fail("tune needs a terminal on standard input, where the scanner types (see dvk tune --help)");

    SetUp setUp(transport, device);
    if (source) {
        tuneOnDevice(setUp, *source);
        return setUp.finish(output, source->recordIn(setUp.profile()));
    }
    tuneOnTerminal(setUp, device);
    return setUp.finish(output, setUp.profile());
}
