#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/analyse_frame.h"
#include "decoder/decoder.h"
#include "decoder/key_for_char.h"
#include "decoder/key_table.h"
#include "decoder/poll_queues.h"
#include "support/analysis_support.h"

using namespace dorvik;
using namespace std::string_literals;

namespace {

struct Rig {
    Decoder decoder;
    PollQueues queues;
    Rig() { queues.attach(decoder); }

    void key(uint16_t scanCode, uint64_t t, std::string_view device = "dev", bool alt = false) {
        decoder.feedKey(KeyEvent{.scanCode = scanCode, .alt = alt, .tMs = t, .deviceId = device});
    }
    // Types each byte through the reverse look-up, one key stroke every `step` ms from `t`.
    uint64_t type(std::string_view text, uint64_t t, uint64_t step = 10, std::string_view device = "dev") {
        for (const char c : text) {
            const KeyForChar k = keyForChar(static_cast<unsigned char>(c));
            decoder.feedKey(KeyEvent{
                .scanCode = k.scancode, .shift = k.shift, .ctrl = k.ctrl, .tMs = t, .deviceId = device});
            t += step;
        }
        return t - step;
    }
    std::vector<std::string> frameTexts() const {
        std::vector<std::string> out;
        for (const Frame& f : queues.frames())
            out.push_back(f.text);
        return out;
    }
};

} // namespace

// Frames closed by Enter, by a pause over the burst gap and by the time-out, as "text@tMs:gaps|" each.
TEST(Decoder, FramesAndTheirTimes) {
    constexpr uint64_t kTop = UINT64_MAX;
    struct Case {
        std::vector<std::pair<std::string, uint64_t>> steps; // text typed from a time; "" ticks there
        std::string frames;
    } cases[] = {
        // clang-format off
        // The first key of the next frame records no gap, however soon after the last frame it comes.
        {{{"1234\r", 100}, {"56\r", 150}}, "1234\r@140:10,10,10,10|56\r@170:10,10|"},
        {{{"1234", 100}, {"", 270}}, ""}, // the time-out is 140 ms after the last key, not before
        {{{"1234", 100}, {"", 271}}, "1234@130:10,10,10|"},
        // A pause splits a frame at its own last character.
        {{{"1234", 100}, {"5678\r", 190}}, "12345678\r@230:10,10,10,60,10,10,10,10|"},
        {{{"1234", 100}, {"5678\r", 191}}, "1234@130:10,10,10|5678\r@231:10,10,10,10|"},
        {{{"12", 100}, {"3\r", 50}}, "123\r@60:10,0,10|"}, // time going backwards records no gap
        // 0 ms after the last key at the top of the clock: the deadline must not wrap into the past.
        {{{"1234", kTop - 30}, {"", kTop}, {"\r", kTop}}, "1234\r@18446744073709551615:10,10,10,0|"},
        // clang-format on
    };
    for (const auto& c : cases) {
        Rig rig;
        for (const auto& [text, t] : c.steps)
            text.empty() ? rig.decoder.tick(t) : (void)rig.type(text, t);
        std::string frames;
        for (const Frame& f : rig.queues.frames()) {
            frames += f.text + "@" + std::to_string(f.tMs) + ":";
            for (const uint64_t& gap : f.gapsMs)
                frames += std::to_string(gap) + (&gap == &f.gapsMs.back() ? "" : ",");
            frames += "|";
        }
        EXPECT_EQ(frames, c.frames) << c.steps[0].first;
    }
}

TEST(Decoder, KeyToChar) {
    struct Case {
        KeyEvent key;
        int ch; // -1: no character
    } cases[] = {
        // clang-format off
        {{.scanCode = 0x03, .shift = true}, '@'}, {{.scanCode = 0x1E, .capsLock = true}, 'A'}, {{.scanCode = 0x1E, .shift = true, .capsLock = true}, 'a'},
        {{.scanCode = 0x02, .capsLock = true}, '1'}, {{.scanCode = 0x1B, .ctrl = true}, 0x1D}, {{.scanCode = 0x10, .ctrl = true, .alt = true}, 'q'},
        {{.scanCode = 0x32, .ctrl = true}, '\r'}, {{.scanCode = 0x1A, .ctrl = true}, 0x1B}, {{.scanCode = 0x02, .ctrl = true}, -1},
        {{.scanCode = 0x39, .ctrl = true}, -1}, {{.scanCode = 0x29, .ctrl = true}, -1}, {{.scanCode = 0x1C, .shift = true, .ctrl = true}, '\r'},
        {{.scanCode = 0x0F, .alt = true}, '\t'}, {{.scanCode = 0x47, .shift = true, .capsLock = true}, '7'}, {{.scanCode = 0x2A}, -1},
        {{.scanCode = 0xFFFF}, -1},
        // clang-format on
    };
    // Without Alt the numeric keypad types its digits, whatever Shift and Caps Lock say.
    for (size_t digit = 0; digit < 20; ++digit)
        EXPECT_EQ(keyToChar({.scanCode = kKeypadDigitScanCodes[digit % 10], .shift = digit >= 10}),
                  '0' + digit % 10)
            << digit;
    for (const auto& c : cases) {
        const auto ch = keyToChar(c.key);
        EXPECT_EQ(ch ? static_cast<unsigned char>(*ch) : -1, c.ch) << c.key.scanCode;
    }
}

TEST(Decoder, AltCodes) {
    const std::pair<std::string, std::string> cases[] = {
        {"029", "A\035\r"}, {"000", "A\r"}, {"256", "A\r"}, {"255", "A\xff\r"}, {std::string(60, '9'), "A\r"},
        {"00065", "AA\r"}};
    const auto& keypad = kKeypadDigitScanCodes;
    for (const auto& [digits, text] : cases) {
        Rig rig;
        rig.type("A", 100);
        uint64_t t = 110;
        for (const char d : digits)
            rig.key(keypad[static_cast<size_t>(d - '0')], t++, "dev", true);
        rig.key(0x1C, t); // Enter without Alt ends the Alt code first
        EXPECT_EQ(rig.frameTexts(), std::vector<std::string>{text}) << digits;
        EXPECT_EQ(rig.queues.frames()[0].gapsMs.size(), 1u); // Alt-code bytes add no gap
    }
    Rig rig; // an unfinished Alt code is flushed by the time-out
    rig.key(0x50, 100, "dev", true);
    rig.key(0x49, 101, "dev", true);
    rig.decoder.tick(300);
    EXPECT_EQ(rig.frameTexts(), std::vector<std::string>{"\x1d"});
}

TEST(Decoder, TerminatorsAcrossKeysAltCodesAndByteChunks) {
    // 'k' types keys, 'a' holds Alt over keypad digits, 'r' releases Alt, 'b' feeds a chunk, 'p' sets a
    // profile with that terminator (and minLength 0); all on device "kbd" except
    // chunks, which carry their own device.
    struct Step {
        char kind;
        std::string text;
        std::string device = "kbd";
    };
    struct Case {
        std::string terminator;
        std::vector<Step> steps;
        std::vector<std::pair<std::string, std::string>> frames; // text, device
    } cases[] = {
        // clang-format off
        {"", {{'b', "ABC\rDEF\rGH", "com1"}, {'b', "\n\rX"s + '\0' + "\r", "com1"}}, {{"ABC\r", "com1"}, {"DEF\r", "com1"}, {"GH\n\r", "com1"}, {"X\0\r"s, "com1"}}},
        // LF alone ends no frame: the key that follows within the burst gap joins it.
        {"", {{'b', "ABC\n", "com1"}, {'k', "D"}}, {{"ABC\nD", "com1"}}},
        // CR LF split across chunks of two devices: the frame keeps the device that started it.
        {"\r\n", {{'b', "ABC\r", "com1"}, {'b', "\nDEF\r", "com2"}, {'b', "\n", "com2"}}, {{"ABC\r\n", "com1"}, {"DEF\r\n", "com2"}}},
        // Under Tab the CR is data; a profile change mid-frame splits on the new terminator.
        {"\t", {{'k', "ABC\r\t"}}, {{"ABC\r\t", "kbd"}}},
        {"\t", {{'k', "AB\r"}, {'p', "\r"}, {'b', "CD", "com"}}, {{"AB\r", "kbd"}, {"CD", "com"}}},
        // An Alt-typed CR is a splitter the next chunk must not glue over.
        {"", {{'k', "1234"}, {'a', "013"}, {'r', ""}, {'b', "5678\r"}}, {{"1234\r", "kbd"}, {"5678\r", "kbd"}}},
        {"\r\n", {{'k', "1234\r"}, {'a', "010"}, {'r', ""}, {'b', "5678\r\n"}}, {{"1234\r\n", "kbd"}, {"5678\r\n", "kbd"}}},
        {"\r\n", {{'k', "1234"}, {'a', "013"}, {'r', ""}, {'b', "\n5678\r\n"}}, {{"1234\r\n", "kbd"}, {"5678\r\n", "kbd"}}},
        // A pending Alt code belongs to whatever closes the frame, not in front of the chunk.
        {"", {{'a', "6"}, {'b', "ABC\r", "ser"}}, {{"ABC\r\x06", "ser"}}},
        {"", {{'a', "6"}, {'b', "ABCD", "ser"}}, {{"ABCD\x06", "ser"}}},
        {"", {{'k', "12"}, {'a', "6"}, {'b', "3\r45\r", "ser"}}, {{"123\r\x06", "kbd"}, {"45\r", "ser"}}},
        // clang-format on
    };
    const auto& keypad = kKeypadDigitScanCodes;
    for (const auto& c : cases) {
        Rig rig;
        rig.decoder.setProfile(ScannerProfile{.minLength = 0, .terminator = c.terminator});
        uint64_t t = 100;
        for (const Step& step : c.steps) {
            if (step.kind == 'k') t = rig.type(step.text, t, 10, step.device) + 10;
            for (const char d : step.kind == 'a' ? step.text : "")
                rig.key(keypad[static_cast<size_t>(d - '0')], t += 10, step.device, true);
            if (step.kind == 'r') rig.key(0x38, t += 10, step.device);
            if (step.kind == 'b') rig.decoder.feedBytes(step.text, step.device, t += 10);
            if (step.kind == 'p')
                rig.decoder.setProfile(ScannerProfile{.minLength = 0, .terminator = step.text});
        }
        rig.decoder.tick(10'000);
        std::vector<std::pair<std::string, std::string>> frames;
        for (const Frame& f : rig.queues.frames())
            frames.emplace_back(f.text, f.deviceId);
        EXPECT_EQ(frames, c.frames) << c.steps.back().text;
    }
    // Gaps are the key strokes' own: a chunk that closes a typed frame leaves none to the next one.
    Rig rig;
    rig.decoder.setProfile(ScannerProfile{.minLength = 0});
    rig.type("12", 100);
    rig.decoder.feedBytes("3\r45", "ser", 130);
    rig.decoder.feedBytes("\r", "ser", 140);
    ASSERT_EQ(rig.queues.frames().size(), 2u);
    EXPECT_EQ(rig.queues.frames()[0].gapsMs, (std::vector<uint64_t>{10}));
    EXPECT_TRUE(rig.queues.frames()[1].gapsMs.empty());
}

TEST(Decoder, BindingAndInterleavedDevices) {
    Rig rig;
    rig.decoder.bind("kbd-2");
    rig.type("11111\r", 100, 5, "kbd-1");
    rig.type("22222\r", 200, 5, "kbd-2");
    EXPECT_EQ(rig.queues.frames().size(), 2u);
    ASSERT_EQ(rig.queues.scans().size(), 1u);
    EXPECT_EQ(rig.queues.scans()[0].deviceId, "kbd-2");
    // Strokes of two devices interleaved: a frame belongs to the device that started it, and no scan
    // ever comes from another device than the bound one.
    for (int i = 0; i < 6; ++i) {
        rig.type("3", 300 + i * 4, 1, "kbd-1");
        rig.type("4", 302 + i * 4, 1, "kbd-2");
    }
    rig.type("\r", 330, 1, "kbd-2");
    rig.type("4444\r", 400, 5, "kbd-2");
    for (const ScanEvent& scan : rig.queues.scans())
        EXPECT_EQ(scan.deviceId, "kbd-2");
    EXPECT_EQ(rig.queues.frames()[2].deviceId, "kbd-1");
    rig.decoder.bind("");
    rig.type("55555\r", 500, 5, "kbd-1");
    EXPECT_EQ(rig.queues.scans().back().deviceId, "kbd-1");
}

TEST(Decoder, MinLengthAndReset) {
    Rig rig;
    rig.decoder.setProfile(ScannerProfile{.minLength = 0});
    rig.type("\r", 200);
    ASSERT_EQ(rig.queues.scans().size(), 1u);
    EXPECT_EQ(rig.queues.scans()[0].data, "");
    rig.type("12", 300);
    rig.decoder.reset();
    rig.type("34\r", 315);
    EXPECT_EQ(rig.queues.frames().back().text, "34\r");
    EXPECT_EQ(rig.queues.frames().back().gapsMs, (std::vector<uint64_t>{10, 10}));
}

TEST(AnalyseFrame, Normalisation) {
    struct Case {
        const char* name;
        ScannerProfile profile;
        std::string text, data, aim;
    } cases[] = {
        // clang-format off
        {"prefix and suffix", {.prefix = "X", .suffix = "Y"}, "XABCDY\r", "ABCD", ""}, {"aim identifier", {}, "]d2ABC\r\n", "ABC", "]d2"},
        {"aim alone stays", {}, "]d2", "]d2", ""}, {"aim then prefix", {.prefix = "<", .suffix = ">"}, "]d2<ABC>\r", "ABC", "]d2"},
        {"prefix then aim", {.prefix = "<"}, "<]d2ABC\r", "ABC", "]d2"}, {"substitute", {.gsSubstitute = "~~"}, "a~~~~b", "a\035\035b", ""},
        {"substitute odd", {.gsSubstitute = "~~"}, "a~~~b", "a\035~b", ""}, {"terminator once", {.terminator = "#"}, "AB\r##", "AB\r#", ""},
        {"trailing cr lf mix", {}, "AB\n\r\n", "AB", ""},
        {"no repair with GS", {.gsMissing = true}, "010460709729111121ABCDEFG\0358005123456", "010460709729111121ABCDEFG\0358005123456", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        const ScanEvent e = test::analysed(c.profile, c.text, "d", 5);
        EXPECT_EQ(std::tuple(e.data, e.aimId, e.raw, e.gsRepaired), std::tuple(c.data, c.aim, c.text, false))
            << c.name;
    }
}

// The scan's JSON with raw and data written from the caller's bytes, the data as a run of the raw's: framing
// of every length around the data, escapes anywhere, frames too long for the stack.
TEST(AnalyseFrame, JsonCopiesTheDataFromTheRaw) {
    const std::string prefixes[] = {"", "]d2", "<", std::string(40, 'P')};
    const std::string codes[] = {"0104607097291111\x1d"s + "21AbC\"12\\34\x1d" + "91EE10", "4600000000008",
                                 "2112345012345", std::string(3000, 'q'), "a\tb\x01"};
    for (const std::string& prefix : prefixes) {
        for (const std::string& code : codes) {
            const ScannerProfile profile{.prefix = prefix.size() > 3 ? prefix : "", .terminator = "\r"};
            const std::string text = prefix + code + "\r";
            const ScanEvent e = test::analysed(profile, text, "COM\"3", 9);
            const std::string json = test::toJson(e);
            const std::string head = "{\"raw\":" + test::referenceJsonString(text) +
                                     ",\"data\":" + test::referenceJsonString(e.data) + ",\"kind\":";
            EXPECT_EQ(json.substr(0, head.size()), head) << text.substr(0, 60);
            EXPECT_NE(json.find(",\"deviceId\":\"COM\\\"3\",\"tMs\":9,"), std::string::npos);
        }
    }
}
