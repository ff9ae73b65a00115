// Differential check: two builds of the library (say the last release and the working tree) must give the
// same bytes from dvk_barcode_svg and dvk_decode_frame over many random inputs, and from the decoder's poll
// and profile, the tuner's state and dvk_key_for_char over random sessions. Not a timed test; run by hand
// after a change that should leave every output as it was:
//   dvk_output_diff OLD/libdorvik_c.so NEW/libdorvik_c.so [ROUNDS] [SEED]
//
// Two builds for different machines (ARM under qemu-user against x86-64) cannot share a process: each
// records a digest of every text it gives instead, and the two records are compared line by line:
//   dvk_output_diff --record LIB [ROUNDS] [SEED] > RECORD
//
// Releases up to 0.3.2 knew thirteen AIs and no tobacco pack code. A scan whose payload, as the new build
// reads it, is an element string with any other GS1 AI or a pack code may be read differently: such
// differences are counted apart, and only the others fail the check.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "analysis/check_digit.h"
#include "analysis/element_string.h"
#include "dorvik_c.h"

namespace {

// The "data" of a scan event as the library wrote it: the payload after framing, substitution and repair.
std::string dataOf(const std::string& json) {
    std::string out;
    const size_t start = json.find("\"data\":\"");
    if (start == std::string::npos) return out;
    for (size_t i = start + 8; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\') {
            out += json[i];
        } else if (json[++i] == 'u') {
            out += static_cast<char>(std::stoi(json.substr(i + 1, 4), nullptr, 16));
            i += 4;
        } else {
            const char* escapes = "bfnrt";
            const char* plain = "\b\f\n\r\t";
            const char* at = std::strchr(escapes, json[i]);
            out += at != nullptr && *at != '\0' ? plain[at - escapes] : json[i];
        }
    }
    return out;
}

// A payload whose element string holds an AI that releases up to 0.3.2 did not know.
bool holdsLaterAi(const std::string& data) {
    static constexpr std::string_view kFirstThirteen[] = {"01",   "11", "13", "15", "17", "20", "8005",
                                                          "7003", "10", "21", "91", "92", "93"};
    for (const dorvik::ElementPair& pair : dorvik::parseElementString(data)) {
        if (std::find(std::begin(kFirstThirteen), std::end(kFirstThirteen), pair.ai) ==
            std::end(kFirstThirteen))
            return true;
    }
    return false;
}

bool isPackCode(const std::string& json) {
    const std::string data = dataOf(json);
    return data.size() == 29 && json.find("\"marked\":true") != std::string::npos &&
           json.find("\"gtin\":\"" + data.substr(0, 14) + "\"") != std::string::npos;
}

struct Library {
    decltype(&dvk_barcode_svg) svg = nullptr;
    decltype(&dvk_decode_frame) decode = nullptr;
    decltype(&dvk_free) release = nullptr;
    // The other texts: the decoder's poll and profile, the tuner's state, the key of a byte.
    decltype(&dvk_decoder_new) decoderNew = nullptr;
    decltype(&dvk_decoder_free) decoderFree = nullptr;
    decltype(&dvk_decoder_set_profile) setProfile = nullptr;
    decltype(&dvk_decoder_profile) profile = nullptr;
    decltype(&dvk_decoder_bind) bind = nullptr;
    decltype(&dvk_decoder_feed_bytes) feedBytes = nullptr;
    decltype(&dvk_decoder_tick) tick = nullptr;
    decltype(&dvk_decoder_poll) poll = nullptr;
    decltype(&dvk_tuner_new) tunerNew = nullptr;
    decltype(&dvk_tuner_free) tunerFree = nullptr;
    decltype(&dvk_tuner_state) tunerState = nullptr;
    decltype(&dvk_tuner_skip) tunerSkip = nullptr;
    decltype(&dvk_tuner_feed) tunerFeed = nullptr;
    decltype(&dvk_key_for_char) keyForChar = nullptr;
};

// The builds of 32-bit Windows run under Wine, where the library is a DLL.
#ifdef _WIN32
using Handle = HMODULE;
Handle openLibrary(const char* path) { return LoadLibraryA(path); }
const char* openError() { return "LoadLibrary failed"; }
template <typename Fn> Fn symbol(Handle handle, const char* name) {
    // Through void (*)(void), the one function pointer type every other converts to without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)));
}
#else
using Handle = void*;
Handle openLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
const char* openError() { return dlerror(); }
template <typename Fn> Fn symbol(Handle handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}
#endif

template <typename Fn> void find(Handle handle, const char* name, Fn& fn, const char* path) {
    fn = symbol<Fn>(handle, name);
    if (fn == nullptr) {
        std::fprintf(stderr, "%s lacks %s\n", path, name);
        std::exit(2);
    }
}

Library load(const char* path) {
    const Handle handle = openLibrary(path);
    if (handle == nullptr) {
        std::fprintf(stderr, "%s: %s\n", path, openError());
        std::exit(2);
    }
    Library lib;
    find(handle, "dvk_barcode_svg", lib.svg, path);
    find(handle, "dvk_decode_frame", lib.decode, path);
    find(handle, "dvk_free", lib.release, path);
    find(handle, "dvk_decoder_new", lib.decoderNew, path);
    find(handle, "dvk_decoder_free", lib.decoderFree, path);
    find(handle, "dvk_decoder_set_profile", lib.setProfile, path);
    find(handle, "dvk_decoder_profile", lib.profile, path);
    find(handle, "dvk_decoder_bind", lib.bind, path);
    find(handle, "dvk_decoder_feed_bytes", lib.feedBytes, path);
    find(handle, "dvk_decoder_tick", lib.tick, path);
    find(handle, "dvk_decoder_poll", lib.poll, path);
    find(handle, "dvk_tuner_new", lib.tunerNew, path);
    find(handle, "dvk_tuner_free", lib.tunerFree, path);
    find(handle, "dvk_tuner_state", lib.tunerState, path);
    find(handle, "dvk_tuner_skip", lib.tunerSkip, path);
    find(handle, "dvk_tuner_feed", lib.tunerFeed, path);
    find(handle, "dvk_key_for_char", lib.keyForChar, path);
    return lib;
}

// Where --record writes: one line per text, in the order the texts are made.
std::FILE* gRecord = nullptr;

void record(const char* what, const std::string& text) {
    if (gRecord == nullptr) return;
    uint64_t hash = 14695981039346656037u; // FNV-1a: a digest, not a defence
    for (const unsigned char c : text)
        hash = (hash ^ c) * 1099511628211u;
    std::fprintf(gRecord, "%s %zu %016llx\n", what, text.size(), static_cast<unsigned long long>(hash));
}

std::string take(const Library& lib, char* text) {
    std::string out = text == nullptr ? std::string("<null>") : std::string(text);
    lib.release(text);
    return out;
}

class Inputs {
  public:
    explicit Inputs(uint32_t seed) : random_(seed) {}

    uint32_t pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_); }

    std::string digits(size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i)
            out += static_cast<char>('0' + pick(10));
        return out;
    }
    std::string printable(size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i)
            out += static_cast<char>('!' + pick(94));
        return out;
    }
    // Digit runs, printable text, GS, now and then any byte at all.
    std::string mixed(size_t n) {
        std::string out;
        while (out.size() < n) {
            switch (pick(8)) {
            case 0:
            case 1:
            case 2: out += digits(1 + pick(9)); break;
            case 3:
            case 4: out += printable(1 + pick(6)); break;
            case 5: out += '\x1d'; break;
            case 6: out += ' '; break;
            default: out += static_cast<char>(pick(256)); break;
            }
        }
        out.resize(n);
        return out;
    }
    // Every draw in a statement of its own: the operands of + may be evaluated in any order, and the
    // records of builds for different machines must be made from the same inputs.
    std::string markingCode(bool gs) {
        const std::string sep = gs ? "\x1d" : "";
        std::string code = "01" + digits(13);
        code += digits(1) + "21";
        code += printable(pick(3) == 0 ? 1 + pick(20) : 13);
        switch (pick(4)) {
        case 0:
            code += sep + "91" + printable(4);
            code += sep + "92" + printable(44);
            break;
        case 1:
            code += sep + "8005" + digits(6);
            code += "93" + printable(4);
            break;
        case 2: code += sep + "93" + printable(pick(2) ? 4 : 1 + pick(10)); break;
        default:
            code += sep + "10" + printable(1 + pick(8));
            code += sep + "91" + printable(4);
            break;
        }
        if (pick(10) == 0) code.resize(pick(static_cast<uint32_t>(code.size()) + 1));
        return code;
    }
    // GTIN with its check digit, serial, price code and check code.
    std::string packCode() {
        std::string gtin = digits(13);
        gtin[0] = '0';
        gtin += dorvik::gtinCheckDigit(gtin);
        return gtin + printable(15);
    }
    std::string ean() {
        std::string out;
        const size_t n = 11 + pick(4);
        for (size_t i = 0; i < n; ++i) {
            if (pick(5) == 0) out += pick(2) ? "-" : " ";
            out += digits(1);
        }
        return out;
    }

  private:
    std::mt19937 random_;
};

struct Counts {
    uint64_t compared = 0;
    uint64_t differ = 0;
    uint64_t nonNull = 0;
    uint64_t laterAi = 0; // compared frames that hold an AI beyond the first thirteen
    uint64_t laterAiDiffer = 0;
    uint64_t pack = 0;
    uint64_t packDiffer = 0;
};

void report(const char* what, const std::string& input, const std::string& a, const std::string& b) {
    std::fprintf(stderr, "%s differs for input of %zu bytes:", what, input.size());
    for (const unsigned char c : input)
        std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n  old: %.300s\n  new: %.300s\n", a.c_str(), b.c_str());
}

void svgCase(const Library& oldLib, const Library& newLib, Counts& counts, const char* kind,
             const std::string& payload, int32_t gs1, int32_t scale, int32_t quiet, bool nulTerminated) {
    const int32_t length = nulTerminated ? -1 : static_cast<int32_t>(payload.size());
    const std::string a = take(oldLib, oldLib.svg(kind, payload.c_str(), length, gs1, scale, quiet));
    const std::string b = take(newLib, newLib.svg(kind, payload.c_str(), length, gs1, scale, quiet));
    record("svg", a);
    ++counts.compared;
    counts.nonNull += a != "<null>";
    if (a != b) {
        if (++counts.differ <= 5) report(kind, payload, a, b);
    }
}

void frameCase(const Library& oldLib, const Library& newLib, Counts& counts, const char* profile,
               const std::string& text, const char* device) {
    const auto length = static_cast<int32_t>(text.size());
    const std::string a = take(oldLib, oldLib.decode(profile, text.data(), length, device));
    const std::string b = take(newLib, newLib.decode(profile, text.data(), length, device));
    record("frame", a);
    ++counts.compared;
    counts.nonNull += a != "<null>";
    if (isPackCode(b)) {
        ++counts.pack;
        counts.packDiffer += a != b;
    } else if (holdsLaterAi(dataOf(b))) {
        ++counts.laterAi;
        counts.laterAiDiffer += a != b;
    } else if (a != b) {
        if (++counts.differ <= 5) report(profile == nullptr ? "decode_frame" : profile, text, a, b);
    }
}

void textCase(Counts& counts, const char* what, const std::string& input, const std::string& a,
              const std::string& b) {
    record(what, a);
    ++counts.compared;
    counts.nonNull += a != "<null>";
    if (a != b) {
        if (++counts.differ <= 5) report(what, input, a, b);
    }
}

// One decoder per library fed the same chunks: its profile after the set-up, and every poll.
void decoderCase(const Library& oldLib, const Library& newLib, Counts& counts, Inputs& in,
                 const std::string& profile, const std::vector<std::string>& chunks) {
    dvk_decoder* const a = oldLib.decoderNew();
    dvk_decoder* const b = newLib.decoderNew();
    oldLib.setProfile(a, profile.c_str());
    newLib.setProfile(b, profile.c_str());
    textCase(counts, "decoder_profile", profile, take(oldLib, oldLib.profile(a)),
             take(newLib, newLib.profile(b)));
    if (in.pick(4) == 0) {
        oldLib.bind(a, "COM3");
        newLib.bind(b, "COM3");
    }
    uint64_t t = in.pick(1000);
    for (const std::string& chunk : chunks) {
        const char* device = in.pick(4) == 0 ? "COM4" : "COM3";
        const auto length = static_cast<int32_t>(chunk.size());
        oldLib.feedBytes(a, chunk.data(), length, device, t);
        newLib.feedBytes(b, chunk.data(), length, device, t);
        t += in.pick(3) == 0 ? 1000 : in.pick(40);
        if (in.pick(2) == 0) {
            oldLib.tick(a, t);
            newLib.tick(b, t);
        }
        if (in.pick(3) == 0)
            textCase(counts, "decoder_poll", chunk, take(oldLib, oldLib.poll(a)),
                     take(newLib, newLib.poll(b)));
    }
    oldLib.tick(a, t + 100000);
    newLib.tick(b, t + 100000);
    textCase(counts, "decoder_poll", profile, take(oldLib, oldLib.poll(a)), take(newLib, newLib.poll(b)));
    oldLib.decoderFree(a);
    newLib.decoderFree(b);
}

// One tuner per library fed the same frames and skips: its state after each.
void tunerCase(const Library& oldLib, const Library& newLib, Counts& counts, Inputs& in,
               const std::vector<std::string>& frames) {
    static const char* const kTransports[] = {"hid", "serial", "sim", nullptr, "usb"};
    const char* transport = kTransports[in.pick(5)];
    const char* device = in.pick(2) == 0 ? "COM3" : nullptr;
    dvk_tuner* const a = oldLib.tunerNew(transport, device);
    dvk_tuner* const b = newLib.tunerNew(transport, device);
    textCase(counts, "tuner_state", "", take(oldLib, oldLib.tunerState(a)),
             take(newLib, newLib.tunerState(b)));
    uint64_t t = 0;
    for (const std::string& frame : frames) {
        if (in.pick(4) == 0) {
            oldLib.tunerSkip(a);
            newLib.tunerSkip(b);
        } else {
            std::string gaps;
            if (in.pick(2) != 0) {
                gaps = std::to_string(in.pick(90)) + ",";
                gaps += std::to_string(in.pick(9));
            }
            const char* gapsArg = gaps.empty() ? nullptr : gaps.c_str();
            const auto length = static_cast<int32_t>(frame.size());
            t += 500 + in.pick(3000);
            oldLib.tunerFeed(a, frame.data(), length, "COM3", t, gapsArg);
            newLib.tunerFeed(b, frame.data(), length, "COM3", t, gapsArg);
        }
        textCase(counts, "tuner_state", frame, take(oldLib, oldLib.tunerState(a)),
                 take(newLib, newLib.tunerState(b)));
    }
    oldLib.tunerFree(a);
    newLib.tunerFree(b);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s OLD.so NEW.so [ROUNDS] [SEED]\n       %s --record LIB [ROUNDS] [SEED]\n",
                     argv[0], argv[0]);
        return 2;
    }
    // Recording, the one library plays both parts: the same calls in the same order as a comparison makes.
    const bool recording = std::strcmp(argv[1], "--record") == 0;
    if (recording) gRecord = stdout;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // the record's lines end as on the other machines
#endif
    const Library oldLib = load(argv[recording ? 2 : 1]);
    const Library newLib = recording ? oldLib : load(argv[2]);
    const uint64_t rounds = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20000;
    Inputs in(argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 16);

    static const char* const kKinds[] = {"ean13", "code128", "datamatrix", "EAN13", ""};
    static const int32_t kScales[] = {-2, 0, 1, 2, 3, 4, 7, 10, 1000, 20000000};
    static const int32_t kQuiets[] = {-3, 0, 1, 2, 4, 10, 1000, 600000000};
    static const char* const kProfiles[] = {
        nullptr,
        "{\"gsMissing\": true}",
        "{\"gsSubstitute\": \"|\"}",
        "{\"prefix\": \"<\", \"suffix\": \">\", \"terminator\": \"\\r\\n\"}",
        "{\"gsMissing\": true, \"terminator\": \"\\t\"}",
        "{bad",
    };

    Counts svg, frames, others;
    for (int c = 0; c < 256; ++c) {
        const std::string input(1, static_cast<char>(c));
        textCase(others, "key_for_char", input, take(oldLib, oldLib.keyForChar(static_cast<char>(c))),
                 take(newLib, newLib.keyForChar(static_cast<char>(c))));
    }
    // Terminators as bytes and as the profile's JSON writes them.
    static const char* const kTerminators[][2] = {{"\r\n", "\\r\\n"}, {"\r", "\\r"}, {"\t", "\\t"}, {"", ""}};
    for (uint64_t round = 0; round < rounds; ++round) {
        const char* kind = kKinds[in.pick(5)];
        std::string payload;
        switch (in.pick(6)) {
        case 0: payload = in.ean(); break;
        case 1: payload = in.markingCode(in.pick(2) == 0); break;
        case 2: payload = in.digits(in.pick(360)); break;
        case 3: payload = in.printable(in.pick(120)); break;
        default: payload = in.mixed(in.pick(200)); break;
        }
        const int32_t scale = in.pick(4) == 0 ? kScales[in.pick(10)] : 4;
        const int32_t quiet = in.pick(4) == 0 ? kQuiets[in.pick(8)] : 4;
        const auto gs1 = static_cast<int32_t>(in.pick(2));
        svgCase(oldLib, newLib, svg, kind, payload, gs1, scale, quiet, in.pick(8) == 0);
        // The largest symbols at their limits: 174 codewords exactly and one more.
        if (round % 50 == 0) {
            svgCase(oldLib, newLib, svg, "datamatrix", in.digits(348), 0, scale, quiet, false);
            svgCase(oldLib, newLib, svg, "datamatrix", in.digits(346), 1, scale, quiet, false);
            svgCase(oldLib, newLib, svg, "datamatrix", in.digits(349), 0, scale, quiet, false);
            svgCase(oldLib, newLib, svg, "datamatrix", in.printable(174), 0, scale, quiet, false);
            // Linear codes long enough for the path to be measured and the row to leave the inline buffer.
            svgCase(oldLib, newLib, svg, "code128", in.printable(600 + in.pick(1500)), 1, scale, quiet,
                    false);
            svgCase(oldLib, newLib, svg, "code128", in.digits(2000 + in.pick(8000)), 0, scale, quiet, false);
        }

        std::string text;
        switch (in.pick(6)) {
        case 0:
        case 1:
        case 2: text = in.markingCode(in.pick(3) != 0); break;
        case 3: text = in.ean(); break;
        case 4: text = in.packCode(); break;
        default: text = in.mixed(in.pick(160)); break;
        }
        if (in.pick(6) == 0) text = "]d2" + text;
        if (in.pick(6) == 0) text += in.pick(2) ? "\r\n" : "\t";
        const char* profile = kProfiles[in.pick(6)];
        frameCase(oldLib, newLib, frames, profile, text, in.pick(4) == 0 ? "COM3" : nullptr);
        // Frames too long for a result written on the stack, and framing longer than the data's usual
        // offset in the raw frame.
        if (round % 50 == 0) {
            const char* longProfile = kProfiles[in.pick(6)];
            frameCase(oldLib, newLib, frames, longProfile, in.mixed(1000 + in.pick(4000)), "COM3");
            std::string prefix;
            for (size_t i = 20 + in.pick(30); i > 0; --i)
                prefix += static_cast<char>('A' + in.pick(26));
            const std::string prefixed = "{\"prefix\": \"" + prefix + "\"}";
            frameCase(oldLib, newLib, frames, prefixed.c_str(), prefix + in.markingCode(true), nullptr);
        }
        // The decoder's and the tuner's texts, every tenth round: scans and frames in chunks under a
        // profile of random settings, and a tuner led through its steps by random frames and skips.
        if (round % 10 == 0) {
            const char* const* terminator = kTerminators[in.pick(4)];
            std::string settings = std::string("{\"terminator\": \"") + terminator[1] + "\", \"gsMissing\": ";
            settings += in.pick(2) ? "true" : "false";
            settings += ", \"minLength\": " + std::to_string(in.pick(12));
            settings += ", \"deviceName\": \"" + in.printable(in.pick(8));
            settings += "\", \"baud\": " + std::to_string(in.pick(200000));
            settings += std::string(", \"transport\": \"") + (in.pick(2) ? "serial" : "hid") + "\"}";
            if (const char* other = kProfiles[in.pick(6)]; in.pick(5) == 0) settings = other ? other : "";
            std::vector<std::string> chunks;
            for (size_t n = 1 + in.pick(6); n > 0; --n) {
                std::string frame = in.pick(3) ? in.markingCode(in.pick(2) == 0) : in.mixed(in.pick(60));
                frame += terminator[0];
                const size_t cut = in.pick(static_cast<uint32_t>(frame.size()) + 1);
                chunks.push_back(frame.substr(0, cut));
                chunks.push_back(frame.substr(cut));
            }
            decoderCase(oldLib, newLib, others, in, settings, chunks);
            std::vector<std::string> frames;
            for (size_t n = 1 + in.pick(8); n > 0; --n)
                frames.push_back(in.pick(2) ? in.markingCode(true) + "\r\n" : in.ean() + "\r\n");
            tunerCase(oldLib, newLib, others, in, frames);
        }
    }
    if (recording) {
        std::fprintf(stderr, "%llu texts recorded\n",
                     static_cast<unsigned long long>(svg.compared + frames.compared + others.compared));
        return 0;
    }
    std::printf("barcode_svg: %llu inputs compared (%llu drawn), %llu differ\n",
                static_cast<unsigned long long>(svg.compared), static_cast<unsigned long long>(svg.nonNull),
                static_cast<unsigned long long>(svg.differ));
    std::printf(
        "decode_frame: %llu inputs compared, %llu differ; apart from them %llu with a later AI "
        "(%llu differ) and %llu tobacco pack codes (%llu differ)\n",
        static_cast<unsigned long long>(frames.compared), static_cast<unsigned long long>(frames.differ),
        static_cast<unsigned long long>(frames.laterAi),
        static_cast<unsigned long long>(frames.laterAiDiffer), static_cast<unsigned long long>(frames.pack),
        static_cast<unsigned long long>(frames.packDiffer));
    std::printf(
        "poll, profile, tuner state, key_for_char: %llu texts compared (%llu not null), %llu differ\n",
        static_cast<unsigned long long>(others.compared), static_cast<unsigned long long>(others.nonNull),
        static_cast<unsigned long long>(others.differ));
    return svg.differ == 0 && frames.differ == 0 && others.differ == 0 ? 0 : 1;
}
