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
#include <map>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "decoder/key_for_char.h"
#include "dorvik_c.h"
#include "scanner_sim.h"
#include "tuner/tuner_steps.h"

// The library's malloc (its result texts) comes here through the linker's --wrap.
extern "C" void* __real_malloc(size_t size);

namespace {

struct Injector {
    bool armed = false;
    bool persistent = false;
    size_t failAt = 0;
    size_t seen = 0;
    size_t injected = 0;
};
Injector injector;
long liveBlocks = 0; // operator new blocks not yet deleted

bool allocationFails() {
    if (!injector.armed) return false;
    ++injector.seen;
    if (injector.seen < injector.failAt || (injector.seen > injector.failAt && !injector.persistent))
        return false;
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
    if (p == nullptr) return;
    --liveBlocks;
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

template <typename Call> auto armed(Call call) {
    injector.armed = true;
    if constexpr (std::is_void_v<decltype(call())>) {
        call();
        injector.armed = false;
    } else {
        auto result = call();
        injector.armed = false;
        return result;
    }
}

struct Tally {
    size_t calls = 0;
    size_t allocations = 0;
    size_t mostInOneCall = 0;
    size_t injected = 0;
};
std::map<std::string, Tally> tallies; // "export / scenario"

// Runs `run` (which arms around one call) for every N in both modes until no failure is injected.
template <typename Run> void survive(const std::string& name, Run run) {
    Tally& tally = tallies[name];
    for (const bool persistent : {false, true}) {
        for (size_t n = 1;; ++n) {
            const long live = liveBlocks;
            injector = Injector{.persistent = persistent, .failAt = n};
            run();
            if (::testing::Test::HasFailure()) {
                ADD_FAILURE() << name << ": allocation " << n << (persistent ? " and later ones" : "")
                              << " failing";
                return;
            }
            ASSERT_EQ(liveBlocks, live) << name << ": leak with allocation " << n << " failing";
            if (injector.injected == 0) {
                if (!persistent) {
                    ++tally.calls;
                    tally.allocations += n - 1;
                    tally.mostInOneCall = std::max(tally.mostInOneCall, n - 1);
                }
                break;
            }
            tally.injected += injector.injected;
        }
    }
}

std::string take(char* text) {
    std::string out = text == nullptr ? "(null)" : text;
    dvk_free(text);
    return out;
}

// ---- Decoder: a script of calls, each one probed in turn ----

struct Op {
    enum Kind { Key, Bytes, Tick, Poll, Reset, SetProfile, Profile, Bind } kind;
    std::string text; // bytes, profile JSON or bound device
    uint64_t t = 0;
    uint16_t scanCode = 0;
    bool shift = false, ctrl = false, alt = false;
    std::string device;
    std::string scenario;
    bool probed = true;
};

const char* const kExport[] = {"dvk_decoder_feed_key", "dvk_decoder_feed_bytes", "dvk_decoder_tick",
                               "dvk_decoder_poll",     "dvk_decoder_reset",      "dvk_decoder_set_profile",
                               "dvk_decoder_profile",  "dvk_decoder_bind"};

struct Script {
    std::vector<Op> ops;
    uint64_t t = 1000;
    std::string scenario;

    void add(Op op) {
        op.scenario = scenario;
        ops.push_back(std::move(op));
    }
    void type(std::string_view text, const char* device = "usb", uint64_t gap = 5) {
        for (const char c : text) {
            const dorvik::KeyForChar key = dorvik::keyForChar(static_cast<unsigned char>(c));
            add({.kind = Op::Key,
                 .t = t += gap,
                 .scanCode = key.scancode,
                 .shift = key.shift,
                 .ctrl = key.ctrl,
                 .device = device});
        }
    }
    void altCode(std::string_view digits) { // keypad digits with Alt held; the next key releases it
        static constexpr uint16_t kKeypad[] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
        for (const char d : digits)
            add({.kind = Op::Key, .t = t += 5, .scanCode = kKeypad[d - '0'], .alt = true, .device = "usb"});
    }
    void bytes(std::string text, bool probed = true) {
        add({.kind = Op::Bytes, .text = std::move(text), .t = t += 5, .device = "COM3", .probed = probed});
    }
    void simple(Op::Kind kind, std::string text = {}, uint64_t after = 0) {
        add({.kind = kind, .text = std::move(text), .t = t += after});
    }
};

// Splits a poll into items, each frame with the scan made from it, so that a frame queued without its scan
// shows; a profile read or a set_profile answer is an item too.
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

// Plays the script; op `probed` is skipped, played plainly or armed. The probed call's own answer is judged
// here against the decoder's state around it instead of being an item.
std::vector<std::string> play(const std::vector<Op>& ops, size_t probed, Mode mode) {
    std::vector<std::string> items;
    dvk_decoder* d = dvk_decoder_new();
    for (size_t i = 0; i < ops.size(); ++i) {
        const Op& op = ops[i];
        // The probed call is followed by a poll, which must return everything a failed poll kept.
        auto pollAfterProbe = [&] {
            if (i == probed) appendPoll(take(dvk_decoder_poll(d)), items);
        };
        if (i == probed && mode == Mode::Skip) {
            pollAfterProbe();
            continue;
        }
        const bool isProbed = i == probed && mode == Mode::Armed;
        const std::string before = isProbed ? take(dvk_decoder_profile(d)) : "";
        int32_t status = -1;
        char* text = nullptr;
        auto call = [&] {
            switch (op.kind) {
            case Op::Key:
                dvk_decoder_feed_key(d, op.scanCode, 0, 0, op.shift, op.ctrl, op.alt, 0, 0, op.t,
                                     op.device.c_str());
                break;
            case Op::Bytes:
                dvk_decoder_feed_bytes(d, op.text.data(), static_cast<int32_t>(op.text.size()),
                                       op.device.c_str(), op.t);
                break;
            case Op::Tick: dvk_decoder_tick(d, op.t); break;
            case Op::Poll: text = dvk_decoder_poll(d); break;
            case Op::Reset: dvk_decoder_reset(d); break;
            case Op::SetProfile: status = dvk_decoder_set_profile(d, op.text.c_str()); break;
            case Op::Profile: text = dvk_decoder_profile(d); break;
            case Op::Bind: dvk_decoder_bind(d, op.text.c_str()); break;
            }
        };
        if (isProbed)
            armed(call);
        else
            call();
        if (op.kind == Op::Poll) {
            if (text != nullptr) appendPoll(text, items); // a failed poll keeps its items for the next
            dvk_free(text);
        } else if (op.kind == Op::Profile) {
            const std::string answer = take(text);
            if (!isProbed && i != probed) items.push_back("profile " + answer);
            EXPECT_TRUE(!isProbed || answer == "(null)" || answer == before) << answer;
        } else if (op.kind == Op::SetProfile && i != probed) {
            items.push_back("set_profile " + std::to_string(status));
        } else if (op.kind == Op::SetProfile && isProbed) {
            const std::string after = take(dvk_decoder_profile(d));
            EXPECT_TRUE(status == 1 ? after != before : after == before) << "set_profile answered " << status;
        }
        pollAfterProbe();
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

void probeScript(const Script& script) {
    const std::vector<Op>& ops = script.ops;
    for (size_t k = 0; k < ops.size(); ++k) {
        if (!ops[k].probed) continue;
        std::vector<Op> prefix(ops.begin(), ops.begin() + static_cast<long>(k));
        const std::vector<std::string> kept = play(prefix, SIZE_MAX, Mode::Plain);
        const std::vector<std::string> with = play(ops, k, Mode::Plain);
        const std::vector<std::string> without = play(ops, k, Mode::Skip);
        const bool setting = ops[k].kind == Op::SetProfile || ops[k].kind == Op::Bind;
        survive(std::string(kExport[ops[k].kind]) + " / " + ops[k].scenario, [&] {
            const std::vector<std::string> got = play(ops, k, Mode::Armed);
            EXPECT_TRUE(sound(got, kept, with) || (setting && sound(got, kept, without)))
                << "call " << k << " in \"" << ops[k].scenario << "\"";
        });
        if (::testing::Test::HasFailure()) return;
    }
}

std::string eanLike(int i) {
    std::string digits = std::to_string(4600000000000 + i * 7);
    return digits + "\r";
}

TEST(AllocationFailure, DecoderScenarios) {
    Script marking;
    marking.scenario = "fresh decoder";
    marking.simple(Op::SetProfile, "{\"burstGapMs\":100,\"gsSubstitute\":\"|\"}");
    marking.simple(Op::Bind, "usb");
    marking.simple(Op::Profile);
    marking.scenario = "marking code half typed";
    marking.type("0104600439931256215aB2c3");
    marking.simple(Op::Tick, {}, 20); // not yet timed out
    marking.simple(Op::Profile);
    marking.simple(Op::Poll);
    marking.type("\x1d"
                 "91EE06");
    marking.altCode("029");
    marking.type("92A|B=\r", "usb");
    marking.scenario = "frames from another device, a pause and a time-out";
    marking.type("4600000000008\r", "kbd");
    marking.type("12345");
    marking.t += 300;
    marking.type("67890\r");
    marking.type("4607");
    marking.simple(Op::Tick, {}, 500);
    marking.simple(Op::Poll);
    marking.simple(Op::Reset);
    marking.type("99");
    marking.simple(Op::Tick, {}, 10'000);
    probeScript(marking);

    Script queued;
    queued.scenario = "bytes splitting several frames";
    queued.bytes("4600000000008\r4600000000015\r46000");
    queued.bytes("00000022\r\x1d\r");
    queued.scenario = "100 scans queued";
    std::string hundred;
    for (int i = 0; i < 97; ++i)
        hundred += eanLike(i);
    queued.bytes(hundred, false);
    queued.type("4601234567890\r", "COM3");
    queued.simple(Op::Profile);
    queued.simple(Op::SetProfile, "{\"minLength\":0}");
    queued.simple(Op::Bind, "COM3");
    queued.simple(Op::Poll);
    queued.simple(Op::Reset);
    probeScript(queued);

    Script pending;
    pending.scenario = "profile change pending";
    pending.type("0104600439931256");
    pending.simple(Op::SetProfile, "{\"terminator\":\"\\t\",\"gsMissing\":true,\"prefix\":\"]C1\"}");
    pending.type("215aB2c3\r\t");
    pending.bytes("ABC\r");
    pending.simple(Op::SetProfile, "{\"terminator\":\"\\r\",\"suffix\":\"X\"}");
    pending.bytes("DEFX\r");
    pending.simple(
        Op::SetProfile,
        "{\"prefix\":\"<a prefix past the short-string buffer>\",\"suffix\":\"<and a long suffix too>\",\"gsSubstitute\":\"<GS spelled out at length>\"}");
    pending.simple(Op::SetProfile,
                   "{\"terminator\":\"\\r\\n\",\"prefix\":\"<another long prefix, longer still>\"}");
    pending.simple(Op::SetProfile, "{\"minLength\":"); // not a profile: 0, nothing changes
    pending.simple(Op::Poll);
    pending.simple(Op::Tick, {}, 10'000);
    probeScript(pending);
}

TEST(AllocationFailure, DecoderNew) {
    survive("dvk_decoder_new / fresh", [] {
        dvk_decoder* d = armed([] { return dvk_decoder_new(); });
        EXPECT_TRUE(d == nullptr || take(dvk_decoder_poll(d)) == "{\"scans\":[],\"frames\":[]}");
        dvk_decoder_free(d);
    });
}

// ---- Tuner: at each step, the state after a failed call is the state before it or after a good one ----

TEST(AllocationFailure, TunerSteps) {
    struct TunerOp {
        enum Kind { Feed, Skip, State } kind;
        std::string text, device, gaps;
        uint64_t t = 0;
    };
    std::vector<TunerOp> ops{{TunerOp::State}, {TunerOp::Feed, "hello\r", "kbd", "9,9,9,9,9"}};
    uint64_t t = 10'000;
    for (const dorvik::TunerStep& step : dorvik::tunerSteps()) {
        std::string sent = step.payload;
        if (step.gs1) sent.erase(std::remove(sent.begin(), sent.end(), '\x1d'), sent.end()); // GS dropped
        ops.push_back({TunerOp::Feed, sent + "\r", "usb", "4,4,5,4,30,4,4", t += 1000});
        ops.push_back({TunerOp::Feed, sent + "\r", "usb", "4,4", t += 100}); // a double send
        ops.push_back({TunerOp::State});
    }
    ops.insert(ops.begin() + 8, TunerOp{TunerOp::Skip});
    ops.push_back({TunerOp::Skip});
    const std::vector<std::string> transports{"hid", "serial"};
    for (const std::string& transport : transports) {
        auto play = [&](size_t probed, bool arm, std::string& before, std::string& after, int32_t& answer) {
            dvk_tuner* tuner = dvk_tuner_new(transport.c_str(), nullptr);
            for (size_t i = 0; i < ops.size(); ++i) {
                const TunerOp& op = ops[i];
                if (i == probed) before = take(dvk_tuner_state(tuner));
                int32_t taken = 0;
                char* state = nullptr;
                auto call = [&] {
                    if (op.kind == TunerOp::Feed)
                        taken = dvk_tuner_feed(tuner, op.text.data(), static_cast<int32_t>(op.text.size()),
                                               op.device.c_str(), op.t, op.gaps.c_str());
                    if (op.kind == TunerOp::Skip) dvk_tuner_skip(tuner);
                    if (op.kind == TunerOp::State) state = dvk_tuner_state(tuner);
                };
                if (i == probed && arm)
                    armed(call);
                else
                    call();
                const std::string read = take(state);
                if (i != probed) continue;
                after = take(dvk_tuner_state(tuner));
                answer = taken;
                EXPECT_TRUE(op.kind != TunerOp::State || read == "(null)" || read == before);
            }
            dvk_tuner_free(tuner);
        };
        for (size_t k = 0; k < ops.size(); ++k) {
            std::string before, good;
            int32_t goodAnswer = 0;
            play(k, false, before, good, goodAnswer);
            const char* name = ops[k].kind == TunerOp::Feed   ? "dvk_tuner_feed"
                               : ops[k].kind == TunerOp::Skip ? "dvk_tuner_skip"
                                                              : "dvk_tuner_state";
            survive(std::string(name) + " / " + transport + " tuner at each step", [&] {
                std::string ignored, after;
                int32_t answer = -1;
                play(k, true, ignored, after, answer);
                EXPECT_TRUE((after == good && answer == goodAnswer) || (after == before && answer == 0))
                    << "call " << k << " answered " << answer << ", state " << after;
            });
            if (HasFailure()) return;
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
    struct Case {
        std::string name;
        std::function<char*()> call;
    };
    const std::string marking = "0104600439931256215aB2c3\x1d"
                                "91EE06\x1d"
                                "92abcd";
    std::string noGs = marking;
    noGs.erase(std::remove(noGs.begin(), noGs.end(), '\x1d'), noGs.end());
    std::string big(150, 'x');
    const std::vector<Case> cases{
        {"dvk_decode_frame / GS repair",
         [&] { return dvk_decode_frame("{\"gsMissing\":true}", noGs.c_str(), -1, "usb"); }},
        {"dvk_decode_frame / marking code with GS",
         [&] {
             return dvk_decode_frame(nullptr, marking.data(), static_cast<int32_t>(marking.size()), "usb");
         }},
        {"dvk_decode_frame / EAN-13, bad profile",
         [] { return dvk_decode_frame("{", "4600000000008\r", -1, nullptr); }},
        {"dvk_key_for_char / letter", [] { return dvk_key_for_char('Q'); }},
        {"dvk_key_for_char / GS", [] { return dvk_key_for_char('\x1d'); }},
        {"dvk_barcode_svg / ean13", [] { return dvk_barcode_svg("ean13", "460000000000", -1, 0, 3, 10); }},
        {"dvk_barcode_svg / code128 GS1",
         [] { return dvk_barcode_svg("code128", "0104600439931256", -1, 1, 2, 10); }},
        {"dvk_barcode_svg / datamatrix",
         [] { return dvk_barcode_svg("datamatrix", "Hello, till", -1, 0, 4, 2); }},
        {"dvk_barcode_svg / datamatrix GS1 marking code",
         [&] {
             return dvk_barcode_svg(nullptr, marking.data(), static_cast<int32_t>(marking.size()), 1, 4, 2);
         }},
        {"dvk_barcode_svg / datamatrix 150 bytes",
         [&] { return dvk_barcode_svg("dm", big.c_str(), -1, 0, 1, 0); }},
        {"dvk_barcode_svg / not encodable", [] { return dvk_barcode_svg("ean13", "abc", -1, 0, 4, 0); }},
    };
    for (const Case& c : cases) {
        const std::string good = take(c.call());
        survive(c.name, [&] {
            const std::string got = take(armed(c.call));
            EXPECT_TRUE(got == "(null)" || got == good) << c.name;
        });
    }
}

// The figures, once every suite has run.
class Report : public ::testing::Environment {
  public:
    void TearDown() override {
        size_t injected = 0;
        std::printf("%-72s %6s %8s %6s %9s\n", "export / scenario", "calls", "allocs", "most", "failures");
        for (const auto& [name, tally] : tallies) {
            std::printf("%-72s %6zu %8zu %6zu %9zu\n", name.c_str(), tally.calls, tally.allocations,
                        tally.mostInOneCall, tally.injected);
            injected += tally.injected;
        }
        std::printf("%zu failures injected, all survived\n", injected);
    }
};
const auto* const kReport = ::testing::AddGlobalTestEnvironment(new Report);

} // namespace
