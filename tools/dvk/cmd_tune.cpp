// dvk tune: the set-up wizard on a terminal, for a real keyboard scanner plugged into this machine.
//
// The terminal is put into raw mode and every byte the scanner types is read with its arrival time. While a
// scanner is being set up its terminator is what the wizard is learning, so frames end as a decoder with a
// set-up profile ends them: by a pause longer than the burst gap, or by the time-out after the last byte.
// Bytes reach the tuner exactly as the terminal delivered them (a Russian layout arrives as UTF-8).
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "cli.h"
#include "dorvik_c.h"
#include "report.h"
#include "scanner_sim.h"

namespace {

constexpr uint64_t kBurstGapMs = 250;
constexpr uint64_t kTimeoutMs = 500;
constexpr char kEscape = '\x1b';

struct termios savedTerminal;
bool terminalSaved = false;

void restoreTerminal() {
    if (terminalSaved) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    terminalSaved = false;
}

void onSignal(int signal) {
    if (terminalSaved) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    static const char message[] = "\r\n\x1b[0minterrupted\r\n";
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, message, sizeof message - 1);
    _exit(128 + signal);
}

// Raw input: no line editing, no echo, CR stays CR; Ctrl+C still interrupts (and restores the terminal).
class RawTerminal {
  public:
    RawTerminal() {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
        terminalSaved = true;
        std::atexit(restoreTerminal);
        for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            ::signal(s, onSignal);
        struct termios raw = savedTerminal;
        raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    ~RawTerminal() { restoreTerminal(); }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;
};

uint64_t nowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// The modules of a code, read back from the library's SVG drawn at one pixel per module.
std::vector<std::vector<bool>> modulesOf(const std::string& svg, bool& linear) {
    const size_t box = svg.find("viewBox=\"0 0 ");
    const int width = std::stoi(svg.substr(box + 13));
    const int height = std::stoi(svg.substr(svg.find(' ', box + 13) + 1));
    linear = height == 60;
    const int rows = linear ? 1 : height;
    std::vector<std::vector<bool>> grid(static_cast<size_t>(rows),
                                        std::vector<bool>(static_cast<size_t>(width)));
    for (size_t at = svg.find(" d=\"") + 4; svg[at] == 'M';) {
        size_t used = 0;
        const int x = std::stoi(svg.substr(at + 1), &used);
        at += 1 + used + 1;
        const int y = std::stoi(svg.substr(at), &used);
        at += used + 1;
        const int w = std::stoi(svg.substr(at), &used);
        at += used + 1;
        const int h = std::stoi(svg.substr(at), &used);
        at = svg.find('z', at) + 1;
        for (int r = y; r < y + (linear ? 1 : h); ++r)
            for (int c = x; c < x + w; ++c)
                grid[static_cast<size_t>(r)][static_cast<size_t>(c)] = true;
    }
    return grid;
}

// Two module rows per text line, black on white whatever the terminal's colours; linear codes get full
// height bars.
void drawCode(const std::string& code) {
    const std::string symbology = dvksim::jsonStringField(code, "symbology");
    const std::string payload = dvksim::jsonStringField(code, "payload");
    const bool gs1 = code.find("\"gs1\":true") != std::string::npos;
    const int quiet = symbology == "datamatrix" ? 2 : 10;
    const std::string svg = takeText(
        dvk_barcode_svg(symbology.c_str(), payload.data(), static_cast<int>(payload.size()), gs1, 1, quiet));
    if (svg.empty()) return;
    bool linear = false;
    std::vector<std::vector<bool>> grid = modulesOf(svg, linear);
    if (linear) grid.assign(16, grid[0]);
    std::vector<bool> light(grid[0].size(), false);
    for (size_t r = 0; r < grid.size(); r += 2) {
        const std::vector<bool>& upper = grid[r];
        const std::vector<bool>& lower = r + 1 < grid.size() ? grid[r + 1] : light;
        std::string line = "\x1b[30;107m";
        for (size_t c = 0; c < upper.size(); ++c)
            line += upper[c] ? (lower[c] ? "█" : "▀") : (lower[c] ? "▄" : " ");
        std::printf("%s\x1b[0m\n", line.c_str());
    }
}

void showStep(const std::string& state) {
    const std::string code = dvksim::jsonCompoundField(state, "code");
    std::printf("\n== Step %d of 5: %s\n%s\n\n", std::stoi(state.substr(state.find("\"step\":") + 7)) + 1,
                dvksim::jsonStringField(state, "prompt").c_str(),
                dvksim::jsonStringField(state, "hint").c_str());
    drawCode(code);
    std::printf("\nScan the code above (Esc skips the step, Ctrl+C quits).\n");
    std::fflush(stdout);
}

struct Frame {
    std::string text;
    std::vector<uint64_t> gaps;
    uint64_t last = 0;
};

} // namespace

int runTune(const Args& args) {
    std::string device = "terminal";
    std::string transport = "hid";
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::puts(
                "usage: dvk tune [--device ID] [--transport hid|serial|sim] [-o profile.json]\n"
                "Sets up a keyboard scanner plugged into this machine: scan each reference code shown on the\n"
                "screen. Esc skips a step, Ctrl+C quits. The learned profile goes to the -o file (or stdout).");
            return 0;
        }
        if (arg == "--device" || arg == "--transport" || arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size()) return fail(arg + " needs a value");
            (arg == "--device" ? device : arg == "--transport" ? transport : output) = args[++i];
        } else {
            return fail((isOption(arg) ? "unknown option " : "unexpected argument ") + arg +
                        " (see dvk tune --help)");
        }
    }
    if (transport != "hid" && transport != "serial" && transport != "sim")
        return fail("--transport is hid, serial or sim");
    if (device.empty()) return fail("--device needs a non-empty id");

    const std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> tuner(
        dvk_tuner_new(transport.c_str(), nullptr), &dvk_tuner_free);
    const RawTerminal raw;
    std::string state = takeText(dvk_tuner_state(tuner.get()));
    showStep(state);
    size_t shown = 0;
    Frame frame;
    auto deliver = [&] {
        if (frame.text.empty()) return;
        std::string gaps = "[";
        for (size_t i = 0; i < frame.gaps.size(); ++i) {
            if (i) gaps += ',';
            gaps += std::to_string(frame.gaps[i]);
        }
        gaps += "]";
        std::printf("received: %s\n", visible(frame.text).c_str());
        const int taken =
            dvk_tuner_feed(tuner.get(), frame.text.data(), static_cast<int32_t>(frame.text.size()),
                           device.c_str(), frame.last, gaps.c_str());
        if (!taken) std::printf("(not taken for this step)\n");
        frame = Frame{};
    };
    while (state.find("\"done\":true") == std::string::npos) {
        const int wait =
            frame.text.empty()
                ? -1
                : static_cast<int>(frame.last + kTimeoutMs + 1 - std::min(nowMs(), frame.last + kTimeoutMs));
        struct pollfd in = {STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&in, 1, wait);
        const uint64_t t = nowMs();
        if (ready > 0) {
            char buffer[256];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                deliver();
                break; // end of input
            }
            for (ssize_t i = 0; i < n; ++i) {
                if (!frame.text.empty() && t - frame.last > kBurstGapMs) deliver();
                if (frame.text.empty() && buffer[i] == kEscape && n == 1) {
                    dvk_tuner_skip(tuner.get());
                    std::printf("(step skipped)\n");
                    continue;
                }
                if (!frame.text.empty()) frame.gaps.push_back(t - frame.last);
                frame.text += buffer[i];
                frame.last = t;
            }
        } else if (!frame.text.empty() && t > frame.last + kTimeoutMs) {
            deliver();
        }
        const std::string next = takeText(dvk_tuner_state(tuner.get()));
        if (next == state) continue;
        const std::vector<dvksim::FindingView> findings = dvksim::parseFindings(next);
        for (; shown < findings.size(); ++shown)
            printFinding(findings[shown]);
        if (dvksim::jsonStringField(next, "prompt") != dvksim::jsonStringField(state, "prompt") &&
            next.find("\"done\":true") == std::string::npos)
            showStep(next);
        state = next;
        std::fflush(stdout);
    }
    std::printf("\n== %s\n%s\n", dvksim::jsonStringField(state, "prompt").c_str(),
                dvksim::jsonStringField(state, "summary").c_str());
    const std::string profile = dvksim::jsonCompoundField(state, "profile");
    if (output.empty()) {
        std::printf("%s\n", profile.c_str());
    } else if (!writeFile(output, profile + "\n")) {
        return fail("cannot write " + output);
    } else {
        std::printf("profile written to %s\n", output.c_str());
    }
    return state.find("\"done\":true") == std::string::npos ? 1 : 0;
}
