#include <gtest/gtest.h>

#include "decoder/decoder.h"
#include "decoder/key_for_char.h"

using namespace dorvik;

TEST(KeyForChar, Answers) {
    struct Case {
        unsigned char c;
        KeyForChar key;
    } cases[] = {
        // clang-format off
        {'1', {true, 2, false, false}},   {'!', {true, 2, true, false}},     {'7', {true, 8, false, false}},   {'a', {true, 30, false, false}},
        {'A', {true, 30, true, false}},   {'~', {true, 41, true, false}},    {'|', {true, 43, true, false}},   {'*', {true, 9, true, false}},
        {'+', {true, 13, true, false}},   {' ', {true, 0x39, false, false}}, {0x1D, {true, 27, false, true}},  {0x1B, {true, 26, false, true}},
        {0x01, {true, 30, false, true}},  {0x1C, {true, 43, false, true}},   {'\r', {true, 28, false, false}}, {'\n', {true, 36, false, true}},
        {'\t', {true, 15, false, false}}, {0x00, {}}, {0x1E, {}}, {0x1F, {}}, {0x7F, {}}, {0x80, {}}, {0xFF, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const KeyForChar k = keyForChar(c.c);
        EXPECT_EQ(std::tie(k.ok, k.scancode, k.shift, k.ctrl),
                  std::tie(c.key.ok, c.key.scancode, c.key.shift, c.key.ctrl))
            << int(c.c);
    }
    EXPECT_EQ(keyForCharToJson(keyForChar('A')), R"({"ok":true,"scancode":30,"shift":true,"ctrl":false})");
    EXPECT_EQ(keyForCharToJson(keyForChar(0)), R"({"ok":false,"scancode":0,"shift":false,"ctrl":false})");
}

TEST(KeyForChar, EveryFoundKeyTypesItsCharacterBack) {
    for (int c = 0; c < 256; ++c) {
        const KeyForChar k = keyForChar(static_cast<unsigned char>(c));
        if (!k.ok) continue;
        const auto ch = keyToChar(KeyEvent{.scanCode = k.scancode, .shift = k.shift, .ctrl = k.ctrl});
        ASSERT_TRUE(ch.has_value()) << c;
        // LF is answered as Ctrl+J; every other byte comes back as itself.
        EXPECT_EQ(static_cast<unsigned char>(*ch), c) << c;
    }
}
