// dvk replay: a recorded input log through a decoder, to reproduce what a till saw.
//
// Log format, one event per line; blank lines and lines starting with '#' are ignored:
//   <tMs> key <device> <scancode> [shift] [ctrl] [alt] [caps]   a key stroke (scan code decimal or 0x..)
//   <tMs> bytes <device> <text>                                 a byte chunk, C escapes (\r, \x1d, ...)
//   <tMs> tick                                                  the host's idle tick
//   poll                                                        print what polling returns now
// <device> is "-" for no device id. Whatever is queued at the end is printed as a last poll.
#include <cstdio>
#include <memory>
#include <sstream>

#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "remembered_profile.h"
#include "texts.h"

namespace {

void printPoll(dvk_decoder* decoder) {
    char* polled = dvk_decoder_poll(decoder);
    printLine(polled ? polled : "null");
    dvk_free(polled);
}

std::optional<uint16_t> parseScanCode(const std::string& text) {
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
        try {
            size_t used = 0;
            const unsigned long value = std::stoul(text.substr(2), &used, 16);
            if (used == text.size() - 2 && value <= 0xFFFF) return static_cast<uint16_t>(value);
        } catch (...) {
        }
        return std::nullopt;
    }
    const auto value = parseUint(text);
    if (!value || *value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

// Applies one line; an error message when it is not an event of the format.
std::string replayLine(dvk_decoder* decoder, const std::string& line, bool& polled) {
    // `polled` tells whether the last event was a poll.
    std::istringstream in(line);
    std::string first;
    if (!(in >> first) || first[0] == '#') return "";
    if (first == "poll") {
        printPoll(decoder);
        polled = true;
        return "";
    }
    const auto tMs = parseUint(first);
    if (!tMs) return dvkhost::text("replay.lineStart");
    polled = false;
    std::string kind;
    in >> kind;
    if (kind == "tick") {
        dvk_decoder_tick(decoder, *tMs);
        return "";
    }
    std::string device;
    if (!(in >> device)) return dvkhost::text("replay.noDevice");
    if (device == "-") device.clear();
    if (kind == "key") {
        std::string code;
        if (!(in >> code)) return dvkhost::text("replay.noScanCode");
        const auto scanCode = parseScanCode(code);
        if (!scanCode) return dvkhost::text("replay.badScanCode", {code});
        bool shift = false, ctrl = false, alt = false, caps = false;
        for (std::string flag; in >> flag;) {
            if (flag == "shift")
                shift = true;
            else if (flag == "ctrl")
                ctrl = true;
            else if (flag == "alt")
                alt = true;
            else if (flag == "caps")
                caps = true;
            else
                return dvkhost::text("replay.badModifier", {flag});
        }
        dvk_decoder_feed_key(decoder, *scanCode, 0, 0, shift, ctrl, alt, caps, 0, *tMs, device.c_str());
        return "";
    }
    if (kind == "bytes") {
        std::string rest;
        std::getline(in >> std::ws, rest);
        const auto bytes = unescapeText(rest);
        if (!bytes) return dvkhost::text("replay.badEscape");
        dvk_decoder_feed_bytes(decoder, bytes->data(), static_cast<int32_t>(bytes->size()), device.c_str(),
                               *tMs);
        return "";
    }
    return dvkhost::text("replay.badEvent", {kind});
}

} // namespace

int runReplay(const Args& args) {
    std::string profilePath;
    std::string bindId;
    std::optional<std::string> logPath;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            say(dvkhost::text("replay.help"));
            return 0;
        }
        if (arg == "--profile" || arg == "--bind") {
            if (i + 1 >= args.size()) return failNoValue(arg);
            (arg == "--profile" ? profilePath : bindId) = args[++i];
        } else if (isOption(arg)) {
            return failArgument(arg, "replay");
        } else if (logPath) {
            return fail(dvkhost::text("replay.oneLog"));
        } else {
            logPath = arg;
        }
    }
    if (!logPath) return fail(dvkhost::text("replay.needsLog"));
    std::string why = dvkhost::text("replay.tooLong");
    const auto log = *logPath == "-" ? readTextArgument("-") : readFile(*logPath, &why);
    if (!log) return fail(dvkhost::text("replay.cannotRead", {*logPath, why}));
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    if (!profilePath.empty()) {
        std::string error;
        const auto profile = readProfileFile(profilePath, error);
        if (!profile) return fail(error);
        dvk_decoder_set_profile(decoder.get(), profile->c_str());
    }
    dvk_decoder_bind(decoder.get(), bindId.c_str());
    std::istringstream lines(*log);
    size_t number = 0;
    bool polledLast = false;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string error = replayLine(decoder.get(), line, polledLast);
        if (!error.empty()) return fail(*logPath + ":" + std::to_string(number) + ": " + error);
    }
    if (!polledLast) printPoll(decoder.get());
    return 0;
}
