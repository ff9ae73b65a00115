#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/analyse_frame.h"
#include "decoder/decoder.h"
#include "decoder/key_for_char.h"
#include "decoder/key_table.h"
#include "decoder/poll_queues.h"

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

TEST(Decoder, EnterClosesAFrameWithItsGaps) {
    Rig rig;
    rig.type("1234\r", 100);
    ASSERT_EQ(rig.queues.frames().size(), 1u);
    const Frame& f = rig.queues.frames()[0];
    EXPECT_EQ(f.text, "1234\r");
    EXPECT_EQ(f.gapsMs, (std::vector<uint64_t>{10, 10, 10, 10}));
    EXPECT_EQ(f.tMs, 140u);
    ASSERT_EQ(rig.queues.scans().size(), 1u);
    EXPECT_EQ(rig.queues.scans()[0].data, "1234");
    EXPECT_TRUE(rig.queues.scans()[0].fromBoundDevice);
    // The first key of the next frame records no gap although an earlier frame set the last input time.
    rig.type("56\r", 500);
    EXPECT_EQ(rig.queues.frames()[1].gapsMs, (std::vector<uint64_t>{10, 10}));
}

TEST(Decoder, TickClosesOnlyAfterTheTimeout) {
    Rig rig;
    const uint64_t last = rig.type("1234", 100);
    rig.decoder.tick(last + 140);
    EXPECT_TRUE(rig.queues.frames().empty());
    rig.decoder.tick(last + 141);
    ASSERT_EQ(rig.queues.frames().size(), 1u);
    EXPECT_EQ(rig.queues.frames()[0].tMs, last);
}

TEST(Decoder, BurstGapSplitsFramesAtTheirOwnLastCharacter) {
    struct Case {
        uint64_t pause;
        std::vector<std::string> frames;
    } cases[] = {{60, {"12345678\r"}}, {61, {"1234", "5678\r"}}};
    for (const auto& c : cases) {
        Rig rig;
        const uint64_t last = rig.type("1234", 100);
        rig.type("5678\r", last + c.pause);
        EXPECT_EQ(rig.frameTexts(), c.frames) << c.pause;
        EXPECT_EQ(rig.queues.frames()[0].tMs, c.frames.size() == 2 ? last : last + c.pause + 40);
    }
}

TEST(Decoder, TimeGoingBackwardsRecordsZeroGap) {
    Rig rig;
    rig.type("12", 100);
    rig.type("3\r", 50);
    EXPECT_EQ(rig.queues.frames()[0].gapsMs, (std::vector<uint64_t>{10, 0, 10}));
}

TEST(Decoder, TimeStampsNearTheTopOfTheClock) {
    Rig rig;
    const uint64_t top = UINT64_MAX;
    rig.type("1234", top - 30);
    rig.decoder.tick(top); // 0 ms after the last key: the deadline must not wrap into the past
    EXPECT_TRUE(rig.queues.frames().empty());
    rig.type("\r", top);
    ASSERT_EQ(rig.queues.frames().size(), 1u);
    EXPECT_EQ(rig.queues.frames()[0].tMs, top);
}

TEST(Decoder, KeyToChar) {
    struct Case {
        KeyEvent key;
        int ch; // -1: no character
    } cases[] = {
        {{.scanCode = 0x03, .shift = true}, '@'},
        {{.scanCode = 0x1E, .capsLock = true}, 'A'},
        {{.scanCode = 0x1E, .shift = true, .capsLock = true}, 'a'},
        {{.scanCode = 0x02, .capsLock = true}, '1'},
        {{.scanCode = 0x1B, .ctrl = true}, 0x1D},
        {{.scanCode = 0x10, .ctrl = true, .alt = true}, 'q'},
        {{.scanCode = 0x32, .ctrl = true}, '\r'},
        {{.scanCode = 0x1A, .ctrl = true}, 0x1B},
        {{.scanCode = 0x02, .ctrl = true}, -1},
        {{.scanCode = 0x39, .ctrl = true}, -1},
        {{.scanCode = 0x29, .ctrl = true}, -1},
        {{.scanCode = 0x1C, .shift = true, .ctrl = true}, '\r'},
        {{.scanCode = 0x0F, .alt = true}, '\t'},
        {{.scanCode = 0x47, .shift = true, .capsLock = true}, '7'},
        {{.scanCode = 0x2A}, -1},
        {{.scanCode = 0xFFFF}, -1},
    };
    for (const auto& c : cases) {
        const auto ch = keyToChar(c.key);
        EXPECT_EQ(ch ? static_cast<unsigned char>(*ch) : -1, c.ch) << c.key.scanCode;
    }
}

TEST(Decoder, AltCodes) {
    struct Case {
        std::string digits;
        std::string text;
    } cases[] = {
        {"029", "A\x1d\r"}, {"000", "A\r"}, {"256", "A\r"}, {"255", "A\xff\r"}, {std::string(60, '9'), "A\r"},
        {"00065", "AA\r"}};
    const auto& keypad = kKeypadDigitScanCodes;
    for (const auto& c : cases) {
        Rig rig;
        rig.type("A", 100);
        uint64_t t = 110;
        for (const char d : c.digits)
            rig.key(keypad[static_cast<size_t>(d - '0')], t++, "dev", true);
        rig.key(0x1C, t); // Enter without Alt ends the Alt code first
        EXPECT_EQ(rig.frameTexts(), std::vector<std::string>{c.text}) << c.digits;
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
        {"",
         {{'b', "ABC\rDEF\rGH", "com1"}, {'b', "\n\rX"s + '\0' + "\r", "com1"}},
         {{"ABC\r", "com1"}, {"DEF\r", "com1"}, {"GH\n\r", "com1"}, {"X\0\r"s, "com1"}}},
        // LF alone ends no frame: the key that follows within the burst gap joins it.
        {"", {{'b', "ABC\n", "com1"}, {'k', "D"}}, {{"ABC\nD", "com1"}}},
        // CR LF split across chunks of two devices: the frame keeps the device that started it.
        {"\r\n",
         {{'b', "ABC\r", "com1"}, {'b', "\nDEF\r", "com2"}, {'b', "\n", "com2"}},
         {{"ABC\r\n", "com1"}, {"DEF\r\n", "com2"}}},
        // Under Tab the CR is data; a profile change mid-frame splits on the new terminator.
        {"\t", {{'k', "ABC\r\t"}}, {{"ABC\r\t", "kbd"}}},
        {"\t", {{'k', "AB\r"}, {'p', "\r"}, {'b', "CD", "com"}}, {{"AB\r", "kbd"}, {"CD", "com"}}},
        // An Alt-typed CR is a splitter the next chunk must not glue over.
        {"",
         {{'k', "1234"}, {'a', "013"}, {'r', ""}, {'b', "5678\r"}},
         {{"1234\r", "kbd"}, {"5678\r", "kbd"}}},
        {"\r\n",
         {{'k', "1234\r"}, {'a', "010"}, {'r', ""}, {'b', "5678\r\n"}},
         {{"1234\r\n", "kbd"}, {"5678\r\n", "kbd"}}},
        {"\r\n",
         {{'k', "1234"}, {'a', "013"}, {'r', ""}, {'b', "\n5678\r\n"}},
         {{"1234\r\n", "kbd"}, {"5678\r\n", "kbd"}}},
        // A pending Alt code belongs to whatever closes the frame, not in front of the chunk.
        {"", {{'a', "6"}, {'b', "ABC\r", "ser"}}, {{"ABC\r\x06", "ser"}}},
        {"", {{'a', "6"}, {'b', "ABCD", "ser"}}, {{"ABCD\x06", "ser"}}},
        {"", {{'k', "12"}, {'a', "6"}, {'b', "3\r45\r", "ser"}}, {{"123\r\x06", "kbd"}, {"45\r", "ser"}}},
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
    rig.type("\r", 100);
    EXPECT_EQ(rig.queues.frames().size(), 1u);
    EXPECT_TRUE(rig.queues.scans().empty());
    ScannerProfile profile;
    profile.minLength = 0;
    rig.decoder.setProfile(profile);
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
        {"prefix and suffix", {.prefix = "X", .suffix = "Y"}, "XABCDY\r", "ABCD", ""},
        {"aim identifier", {}, "]d2ABC\r\n", "ABC", "]d2"},
        {"aim alone stays", {}, "]d2", "]d2", ""},
        {"aim then prefix", {.prefix = "<", .suffix = ">"}, "]d2<ABC>\r", "ABC", "]d2"},
        {"prefix then aim", {.prefix = "<"}, "<]d2ABC\r", "ABC", "]d2"},
        {"substitute",
         {.gsSubstitute = "~~"},
         "a~~~~b",
         "a\x1d\x1d"
         "b",
         ""},
        {"substitute odd", {.gsSubstitute = "~~"}, "a~~~b", "a\x1d~b", ""},
        {"terminator once", {.terminator = "#"}, "AB\r##", "AB\r#", ""},
        {"trailing cr lf mix", {}, "AB\n\r\n", "AB", ""},
        {"no repair with GS",
         {.gsMissing = true},
         "010460709729111121ABCDEFG\x1d"
         "8005123456",
         "010460709729111121ABCDEFG\x1d"
         "8005123456",
         ""},
    };
    for (const auto& c : cases) {
        const ScanEvent e = analyseFrame(c.profile, c.text, "d", 5);
        EXPECT_EQ(e.data, c.data) << c.name;
        EXPECT_EQ(e.aimId, c.aim) << c.name;
        EXPECT_EQ(e.raw, c.text) << c.name;
        EXPECT_FALSE(e.gsRepaired) << c.name;
    }
}

TEST(PollQueues, TextOfSeveralAndBuiltBeforeAnythingIsEmptied) {
    Rig rig;
    rig.type("1234\r", 100, 1);
    rig.type("5678\r", 200, 2);
    std::string scans;
    appendScanEventJson(scans, rig.queues.scans()[0]);
    scans += ',';
    appendScanEventJson(scans, rig.queues.scans()[1]);
    const std::string first = rig.queues.toJson();
    EXPECT_EQ(
        first,
        "{\"scans\":[" + scans +
            "],\"frames\":[{\"frame\":\"1234\\r\",\"deviceId\":\"dev\",\"tMs\":104,\"gapsMs\":[1,1,1,1]},"
            "{\"frame\":\"5678\\r\",\"deviceId\":\"dev\",\"tMs\":208,\"gapsMs\":[2,2,2,2]}]}");
    // The export empties the queues only once the result block exists, so building the text must not.
    EXPECT_EQ(rig.queues.toJson(), first);
    EXPECT_EQ(rig.queues.frames().size(), 2u);
    rig.queues.clear();
    EXPECT_EQ(rig.queues.toJson(), "{\"scans\":[],\"frames\":[]}");
}
