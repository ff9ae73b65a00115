// Every export survives the failure of every allocation it makes, the way a till that has run for weeks
// next to a browser may meet it. The N-th allocation after arming fails, for N = 1, 2, ... until the call
// runs through without one; once that failure alone, once with every later allocation failing too. After
// each failure the handle must still be sound: nothing queued is lost or reordered, no frame is queued
// half-written (a frame the failure spoiled is dropped whole), a profile or tuner is as before or as after
// a successful call, and nothing leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "decoder/key_for_char.h"
#include "decoder/key_table.h"
#include "dorvik_c.h"
#include "scanner_sim.h"
#include "tuner/step_compare.h"
#include "tuner/tuner_steps.h"

// The library's malloc (its result texts) comes here through the linker's --wrap.
extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size);

namespace {

struct Injector {
    bool armed = false, persistent = false;
    size_t failAt = 0, seen = 0, injected = 0;
} injector;
long liveBlocks = 0; // operator new blocks not yet deleted

bool allocationFails() {
    if (!injector.armed || ++injector.seen < injector.failAt) return false;
    if (injector.seen > injector.failAt && !injector.persistent) return false;
    ++injector.injected;
    return true;
}

} // namespace

extern "C" void* __wrap_malloc(size_t size) { return allocationFails() ? nullptr : __real_malloc(size); }

// The replacement pair: memory from malloc, back to free. GCC cannot see that they belong together.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(size_t size) {
    void* p = allocationFails() ? nullptr : __real_malloc(size ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    ++liveBlocks;
    return p;
}
void operator delete(void* p) noexcept {
    if (p != nullptr) --liveBlocks;
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

template <typename Call> auto armed(Call call) {
    injector.armed = true;
    struct Disarm {
        ~Disarm() { injector.armed = false; }
    } disarm;
    return call();
}

struct Tally {
    size_t calls = 0, allocations = 0, mostInOneCall = 0, injected = 0;
};
std::map<std::string, Tally> tallies; // "export / scenario"

// Runs `run` (which arms around one call) for every N in both modes until no failure is injected.
void survive(const std::string& name, const std::function<void()>& run) {
    Tally& tally = tallies[name];
    for (const bool persistent : {false, true}) {
        for (size_t n = 1;; ++n) {
            const long live = liveBlocks;
            injector = Injector{.persistent = persistent, .failAt = n};
            run();
            ASSERT_FALSE(::testing::Test::HasFailure())
                << name << ": allocation " << n << (persistent ? " and later ones" : "") << " failing";
            ASSERT_EQ(liveBlocks, live) << name << ": leak with allocation " << n << " failing";
            tally.injected += injector.injected;
            if (injector.injected > 0) continue;
            if (!persistent) {
                ++tally.calls;
                tally.allocations += n - 1;
                tally.mostInOneCall = std::max(tally.mostInOneCall, n - 1);
            }
            break;
        }
    }
}

std::string take(char* text) {
    std::string out = text == nullptr ? "(null)" : text;
    dvk_free(text);
    return out;
}

// ---- Decoder: a script of calls, each one probed in turn ----

// 'k' a key stroke, 'b' bytes ('B' bytes never probed), 't' tick, 'p' poll, 'r' reset, 's' set_profile,
// 'q' profile, 'n' bind.
struct Op {
    char kind;
    std::string text;
    uint64_t t = 0;
    dorvik::KeyForChar key{};
    bool alt = false;
    std::string device;
};

const std::map<char, const char*> kExport{{'k', "dvk_decoder_feed_key"}, {'b', "dvk_decoder_feed_bytes"},
                                          {'t', "dvk_decoder_tick"},     {'p', "dvk_decoder_poll"},
                                          {'r', "dvk_decoder_reset"},    {'s', "dvk_decoder_set_profile"},
                                          {'q', "dvk_decoder_profile"},  {'n', "dvk_decoder_bind"}};

// Steps: "k<text>" typed on usb ("K<text>" on kbd), "a<digits>" an Alt code on usb, "b<bytes>"/"B<bytes>"
// from COM3, "t<ms>" a tick that many ms later, "w<ms>" a wait, and "p", "r", "s<json>", "q", "n<device>".
std::vector<Op> script(std::initializer_list<std::string> steps) {
    std::vector<Op> ops;
    uint64_t t = 1000;
    for (const std::string& step : steps) {
        const char kind = step[0];
        const std::string arg = step.substr(1);
        if (kind == 'k' || kind == 'K' || kind == 'a') {
            for (const char c : arg) {
                const auto digit = static_cast<size_t>(c - '0');
                const dorvik::KeyForChar key =
                    kind == 'a' ? dorvik::KeyForChar{.scancode = dorvik::kKeypadDigitScanCodes[digit]}
                                : dorvik::keyForChar(static_cast<unsigned char>(c));
                ops.push_back({'k', "", t += 5, key, kind == 'a', kind == 'K' ? "kbd" : "usb"});
            }
        } else if (kind == 'w') {
            t += std::stoull(arg);
        } else {
            t += kind == 't' ? std::stoull(arg) : kind == 'b' || kind == 'B' ? 5 : 0;
            ops.push_back({kind, arg, t, {}, false, "COM3"});
        }
    }
    return ops;
}

// Splits a poll into items, each frame with the scan made from it, so that a frame queued without its scan
// shows.
void appendPoll(const std::string& json, std::vector<std::string>& items) {
    const dvksim::PollResult poll = dvksim::parsePoll(json);
    size_t next = 0;
    for (const dvksim::PolledFrame& frame : poll.frames) {
        items.push_back(frame.text + "|" + frame.deviceId + "|" + std::to_string(frame.tMs) + frame.gapsJson);
        if (next < poll.scans.size() && dvksim::jsonStringField(poll.scans[next], "raw") == frame.text)
            items.back() += poll.scans[next++];
    }
    for (; next < poll.scans.size(); ++next)
        items.push_back("scan without frame " + poll.scans[next]);
}

enum class Mode { Plain, Skip, Armed };

// Plays the script with op `probed` skipped, played plainly or armed; a poll follows the probed call, and
// it must return everything a failed poll kept. Profile reads and set_profile answers are items too; the
// probed call's own answer is judged against the decoder's state around it instead.
std::vector<std::string> play(const std::vector<Op>& ops, size_t probed, Mode mode) {
    std::vector<std::string> items;
    dvk_decoder* d = dvk_decoder_new();
    for (size_t i = 0; i < ops.size(); ++i) {
        const Op& op = ops[i];
        const bool isProbed = i == probed && mode == Mode::Armed;
        const std::string before = isProbed ? take(dvk_decoder_profile(d)) : "";
        int32_t status = -1;
        char* text = nullptr;
        auto call = [&] {
            switch (op.kind) {
            case 'k':
                dvk_decoder_feed_key(d, op.key.scancode, 0, 0, op.key.shift, op.key.ctrl, op.alt, 0, 0, op.t,
                                     op.device.c_str());
                break;
            case 'b':
            case 'B':
                dvk_decoder_feed_bytes(d, op.text.data(), static_cast<int32_t>(op.text.size()),
                                       op.device.c_str(), op.t);
                break;
            case 't': dvk_decoder_tick(d, op.t); break;
            case 'p': text = dvk_decoder_poll(d); break;
            case 'r': dvk_decoder_reset(d); break;
            case 's': status = dvk_decoder_set_profile(d, op.text.c_str()); break;
            case 'q': text = dvk_decoder_profile(d); break;
            case 'n': dvk_decoder_bind(d, op.text.c_str()); break;
            }
        };
        if (i == probed && mode == Mode::Skip) {
        } else if (isProbed) {
            armed(call);
        } else {
            call();
        }
        if (op.kind == 'p') {
            if (text != nullptr) appendPoll(text, items); // a failed poll keeps its items for the next
            dvk_free(text);
        } else if (op.kind == 'q') {
            const std::string answer = take(text);
            if (i != probed) items.push_back("profile " + answer);
            EXPECT_TRUE(!isProbed || answer == "(null)" || answer == before) << answer;
        } else if (op.kind == 's' && i != probed) {
            items.push_back("set_profile " + std::to_string(status));
        } else if (op.kind == 's' && isProbed) {
            const std::string after = take(dvk_decoder_profile(d));
            EXPECT_TRUE(status == 1 ? after != before : after == before) << "set_profile answered " << status;
        }
        if (i == probed) appendPoll(take(dvk_decoder_poll(d)), items);
    }
    appendPoll(take(dvk_decoder_poll(d)), items);
    dvk_decoder_free(d);
    return items;
}

// Everything polled or queued before the call, in order, then a subsequence of what a run without the
// failure gives (or, for a call that changes settings, of what a run without the call gives).
bool sound(const std::vector<std::string>& got, const std::vector<std::string>& kept,
           const std::vector<std::string>& reference) {
    if (got.size() < kept.size() || !std::equal(kept.begin(), kept.end(), got.begin())) return false;
    size_t j = kept.size();
    for (size_t i = kept.size(); i < got.size(); ++i, ++j) {
        while (j < reference.size() && reference[j] != got[i])
            ++j;
        if (j == reference.size()) return false;
    }
    return true;
}

void probeScript(const std::string& scenario, std::initializer_list<std::string> steps) {
    const std::vector<Op> ops = script(steps);
    for (size_t k = 0; k < ops.size() && !::testing::Test::HasFailure(); ++k) {
        if (ops[k].kind == 'B') continue;
        const std::vector<std::string> kept =
            play({ops.begin(), ops.begin() + static_cast<long>(k)}, SIZE_MAX, Mode::Plain);
        const std::vector<std::string> with = play(ops, k, Mode::Plain);
        const std::vector<std::string> without = play(ops, k, Mode::Skip);
        const bool setting = ops[k].kind == 's' || ops[k].kind == 'n';
        survive(std::string(kExport.at(ops[k].kind)) + " / " + scenario, [&] {
            const std::vector<std::string> got = play(ops, k, Mode::Armed);
            EXPECT_TRUE(sound(got, kept, with) || (setting && sound(got, kept, without)))
                << "call " << k << " in \"" << scenario << "\"";
        });
    }
}

TEST(AllocationFailure, DecoderScenarios) {
    // clang-format off
    probeScript("marking code half typed, frames from two devices, a pause, a time-out",
                {"s{\"burstGapMs\":100,\"gsSubstitute\":\"|\"}", "nusb", "q", "k0104600439931256215aB2c3", "t20", "q", "p", "k\03591EE0", "a029",
                 "k92A|B=\r", "K4600000000008\r", "k12345", "w300", "k67890\r", "k4607", "t500", "p", "r", "k99", "t10000"});
    std::string hundred;
    for (int i = 0; i < 97; ++i)
        hundred += std::to_string(4600000000000 + i * 7) + "\r";
    probeScript("100 scans queued", {"b4600000000008\r4600000000015\r46000", "b00000022\r\035\r", "B" + hundred, "k4601234567890\r", "q",
                                     "s{\"minLength\":0}", "nCOM3", "p", "r"});
    probeScript("profile change pending",
                {"k0104600439931256", "s{\"terminator\":\"\\t\",\"gsMissing\":true,\"prefix\":\"]C1\"}", "k215aB2c3\r\t", "bABC\r",
                 "s{\"terminator\":\"\\r\",\"suffix\":\"X\"}", "bDEFX\r",
                 "s{\"prefix\":\"<a prefix past the short-string buffer>\",\"suffix\":\"<and a long suffix too>\",\"gsSubstitute\":\"<GS spelled out at length>\"}",
                 "s{\"terminator\":\"\\r\\n\",\"prefix\":\"<another long prefix, longer still>\"}", "s{\"minLength\":", "p", "t10000"});
    // clang-format on
    survive("dvk_decoder_new / fresh", [] {
        dvk_decoder* d = armed([] { return dvk_decoder_new(); });
        EXPECT_TRUE(d == nullptr || take(dvk_decoder_poll(d)) == "{\"scans\":[],\"frames\":[]}");
        dvk_decoder_free(d);
    });
}

// ---- Tuner: at each step, the state after a failed call is the state before it or after a good one ----

TEST(AllocationFailure, TunerSteps) {
    struct TunerOp {
        char kind; // 'f' feed, 's' skip, 'q' state
        std::string text, device, gaps;
        uint64_t t = 0;
    };
    std::vector<TunerOp> ops{{'q'}, {'f', "hello\r", "kbd", "9,9,9,9,9"}};
    uint64_t t = 10'000;
    for (const dorvik::TunerStep& step : dorvik::tunerSteps()) {
        const std::string sent =
            step.gs1 ? dorvik::eraseAll(step.payload, '\035') : step.payload; // GS dropped
        ops.push_back({'f', sent + "\r", "usb", "4,4,5,4,30,4,4", t += 1000});
        ops.push_back({'f', sent + "\r", "usb", "4,4", t += 100}); // a double send
        ops.push_back({'q'});
    }
    ops.insert(ops.begin() + 8, TunerOp{'s'});
    ops.push_back({'s'});
    const std::map<char, const char*> names{
        {'f', "dvk_tuner_feed"}, {'s', "dvk_tuner_skip"}, {'q', "dvk_tuner_state"}};
    for (const std::string transport : {"hid", "serial"}) {
        // The state before and after the probed call, and its answer.
        auto play = [&](size_t probed, bool arm) {
            std::string before, after;
            int32_t answer = 0;
            dvk_tuner* tuner = dvk_tuner_new(transport.c_str(), nullptr);
            for (size_t i = 0; i < ops.size(); ++i) {
                const TunerOp& op = ops[i];
                if (i == probed) before = take(dvk_tuner_state(tuner));
                auto call = [&]() -> char* {
                    if (op.kind == 's') dvk_tuner_skip(tuner);
                    if (op.kind == 'q') return dvk_tuner_state(tuner);
                    if (op.kind == 'f')
                        answer = dvk_tuner_feed(tuner, op.text.data(), static_cast<int32_t>(op.text.size()),
                                                op.device.c_str(), op.t, op.gaps.c_str());
                    return nullptr;
                };
                const std::string read = take(i == probed && arm ? armed(call) : call());
                if (i != probed) continue;
                after = take(dvk_tuner_state(tuner));
                EXPECT_TRUE(op.kind != 'q' || read == "(null)" || read == before);
            }
            dvk_tuner_free(tuner);
            return std::tuple(before, after, answer);
        };
        for (size_t k = 0; k < ops.size() && !HasFailure(); ++k) {
            const auto [before, good, goodAnswer] = play(k, false);
            survive(std::string(names.at(ops[k].kind)) + " / " + transport + " tuner at each step", [&] {
                const auto [ignored, after, answer] = play(k, true);
                EXPECT_TRUE((after == good && answer == goodAnswer) || (after == before && answer == 0))
                    << "call " << k << " answered " << answer << ", state " << after;
            });
        }
    }
    survive("dvk_tuner_new / hid, bound", [] {
        dvk_tuner* tuner = armed([] { return dvk_tuner_new("hid", "usb"); });
        EXPECT_TRUE(tuner == nullptr || take(dvk_tuner_state(tuner)) != "(null)");
        dvk_tuner_free(tuner);
    });
}

// ---- Stateless services: null, or exactly the answer without a failure ----

TEST(AllocationFailure, StatelessServices) {
    const std::string marking = "0104600439931256215aB2c3\03591EE06\03592abcd",
                      noGs = dorvik::eraseAll(marking, '\035'), big(150, 'x');
    const std::pair<std::string, std::function<char*()>> cases[] = {
        // clang-format off
        {"dvk_decode_frame / GS repair", [&] { return dvk_decode_frame("{\"gsMissing\":true}", noGs.c_str(), -1, "usb"); }},
        {"dvk_decode_frame / marking code with GS", [&] { return dvk_decode_frame(nullptr, marking.data(), static_cast<int32_t>(marking.size()), "usb"); }},
        {"dvk_decode_frame / EAN-13, bad profile", [] { return dvk_decode_frame("{", "4600000000008\r", -1, nullptr); }},
        {"dvk_key_for_char / letter", [] { return dvk_key_for_char('Q'); }},
        {"dvk_key_for_char / GS", [] { return dvk_key_for_char('\035'); }},
        {"dvk_barcode_svg / ean13", [] { return dvk_barcode_svg("ean13", "460000000000", -1, 0, 3, 10); }},
        {"dvk_barcode_svg / code128 GS1", [] { return dvk_barcode_svg("code128", "0104600439931256", -1, 1, 2, 10); }},
        {"dvk_barcode_svg / datamatrix", [] { return dvk_barcode_svg("datamatrix", "Hello, till", -1, 0, 4, 2); }},
        {"dvk_barcode_svg / datamatrix GS1 marking code", [&] { return dvk_barcode_svg(nullptr, marking.data(), static_cast<int32_t>(marking.size()), 1, 4, 2); }},
        {"dvk_barcode_svg / datamatrix 150 bytes", [&] { return dvk_barcode_svg("dm", big.c_str(), -1, 0, 1, 0); }},
        {"dvk_barcode_svg / not encodable", [] { return dvk_barcode_svg("ean13", "abc", -1, 0, 4, 0); }},
        // clang-format on
    };
    for (const auto& [name, call] : cases) {
        const std::string good = take(call());
        survive(name, [&] {
            const std::string got = take(armed(call));
            EXPECT_TRUE(got == "(null)" || got == good) << name;
            // dvk_decode_frame keeps a thread's last event: one good call brings its blocks back to where a
            // good call leaves them, so only what the failure lost is counted.
            take(call());
        });
    }
    // A thread keeps its last profile parsed: one whose parse a failure cut short must not pass for it.
    const std::string other = "{\"prefix\":\"" + std::string(40, 'P') + "\",\"gsMissing\":false}";
    const auto repair = [&] { return dvk_decode_frame("{\"gsMissing\":true}", noGs.c_str(), -1, "usb"); };
    const auto withOther = [&] { return dvk_decode_frame(other.c_str(), noGs.c_str(), -1, "usb"); };
    take(withOther()); // the thread's profile keeps the longer texts' capacity from here on
    const std::string repaired = take(repair());
    survive("dvk_decode_frame / the profile before a failed parse", [&] {
        take(repair());
        take(armed(withOther));
        EXPECT_EQ(take(repair()), repaired);
    });
}

// The till's hot path: a key stroke that extends a frame allocates nothing once the buffers have grown.
TEST(AllocationFailure, KeyStrokesOfAFrameAllocateNothing) {
    dvk_decoder* d = dvk_decoder_new();
    ASSERT_EQ(dvk_decoder_set_profile(d, "{\"burstGapMs\":1000000}"), 1);
    uint64_t t = 1;
    auto type = [&](int keys) {
        for (int i = 0; i < keys; ++i)
            dvk_decoder_feed_key(d, 0x02, 0, 0, 0, 0, 0, 0, 0, ++t, "usb");
    };
    type(200);
    dvk_decoder_feed_key(d, 0x1C, 0, 0, 0, 0, 0, 0, 0, ++t, "usb"); // Enter closes the frame
    dvk_free(dvk_decoder_poll(d));
    injector = Injector{.failAt = SIZE_MAX};
    armed([&] { type(200); });
    EXPECT_EQ(injector.seen, 0u);
    dvk_decoder_free(d);
}

// The figures, once every suite has run.
class Report : public ::testing::Environment {
    void TearDown() override {
        size_t injected = 0;
        std::printf("%-72s %6s %8s %6s %9s\n", "export / scenario", "calls", "allocs", "most", "failures");
        for (const auto& [name, t] : tallies) {
            std::printf("%-72s %6zu %8zu %6zu %9zu\n", name.c_str(), t.calls, t.allocations, t.mostInOneCall,
                        t.injected);
            injected += t.injected;
        }
        std::printf("%zu failures injected, all survived\n", injected);
    }
};
const auto* const kReport = ::testing::AddGlobalTestEnvironment(new Report);

} // namespace
