#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "support/analysis_support.h"
#include "json/json_reader.h"
#include "json/json_writer.h"

using namespace dorvik;
using namespace std::string_literals;

TEST(JsonWriter, EscapesControlBytesAndPassesEverythingElse) {
    struct Case {
        std::string in, out;
    } cases[] = {{"A\035B\r", R"("A\u001dB\r")"},
                 {"\b\t\n\f\r\"\\/", R"("\b\t\n\f\r\"\\/")"},
                 {"\x01\x1f"s + '\0', R"("\u0001\u001f\u0000")"},
                 {"\x7f\xd0\x96", "\"\x7f\xd0\x96\""},
                 {"", R"("")"}};
    for (const auto& c : cases)
        EXPECT_EQ(test::jsonString(c.in), c.out);
}

// The writer that stores sixteen bytes at a time against the plain transcription, escapes at any offset,
// with no byte written beyond the bound and its slack (the sanitizer build sees any).
TEST(JsonWriter, MatchesThePlainEscaper) {
    const std::string pieces[] = {"a",    "0123456789abcdef", "\035", "\"", "\\",
                                  "\r\n", "\xd0\x96",         "\x7f", "\0"s};
    uint32_t seed = 7;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int n = static_cast<int>((seed = seed * 1103515245 + 12345) >> 16) % 12; n > 0; --n)
            text += pieces[((seed = seed * 1103515245 + 12345) >> 16) % std::size(pieces)];
        const std::string want = test::referenceJsonString(text);
        std::vector<char> room(jsonStringBound(text.size()) - 2 +
                               kJsonSlack); // exact: the sanitizer sees more
        const char* const end = putJsonChars(room.data(), text);
        const std::string written(static_cast<const char*>(room.data()), end);
        ASSERT_EQ("\"" + written + "\"", want) << want;
        ASSERT_EQ(test::jsonString(text), want);
    }
}

TEST(JsonReader, Strings) {
    struct Case {
        std::string in;
        bool ok;
        std::string out;
    } cases[] = {
        // clang-format off
        {R"("\u0416")", true, "\xd0\x96"}, {R"("\u00zz")", true, "\0"s}, {R"("\u20ac")", true, "\xe2\x82\xac"},
        {R"("\u07ff\u0800")", true, "\xdf\xbf\xe0\xa0\x80"}, // where two bytes become three
        {R"("a\tb\/")", true, "a\tb/"}, {"\"raw\x01\"", true, "raw\x01"},
        {R"("\u12")", false, ""}, {R"("\q")", false, ""}, {R"("open)", false, ""}, {R"(x")", false, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        JsonCursor cursor{c.in};
        std::string out;
        EXPECT_EQ(readJsonString(cursor, out), c.ok);
        EXPECT_TRUE(!c.ok || out == c.out) << out;
    }
}

TEST(JsonReader, NumbersTakeTheLongestValidPrefix) {
    struct Case {
        const char* run;
        double value;
    } cases[] = {
        {"60", 60},   {"60.9", 60.9}, {"-5", -5}, {"1e2", 100}, {"1-2", 1},          {"+7", 7},
        {"-", 0},     {".", 0},       {"+-5", 0}, {"1e", 1},    {"1e999", HUGE_VAL}, {"-1e999", -HUGE_VAL},
        {"1e-999", 0}};
    // The same under a comma locale, where the C library's own decimal point is ",".
    const bool comma = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr;
    for (int round = 0; round < (comma ? 2 : 1); ++round) {
        for (const auto& c : cases)
            EXPECT_EQ(parseJsonNumber(c.run), c.value)
                << c.run << (comma && round == 0 ? " under ru_RU" : "");
        char weight[kDoubleRoom];
        EXPECT_EQ(std::string(weight, putDouble(weight, 1.234)), "1.234");
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST(JsonReader, ObjectWalking) {
    struct Case {
        std::string text;
        bool ok;
        std::string keys;
    } cases[] = {
        // clang-format off
        {R"({"a":[1,{"b":"]"}],"c":true})", true, "a c"}, {R"({"a":1 "b":2})", true, "a b"}, {R"({,"a":1,,})", true, "a"},
        {R"(  {"a":null} trailing)", true, "a"}, {R"({"a":1)", false, ""}, {"[]", false, ""}, {"", false, ""}, {"   ", false, ""},
        {R"({"a" 1})", false, ""}, {R"({"a":nan})", false, ""}, {R"({a:1})", false, ""}, {R"({"a":{"x":"\q"}})", false, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string keys;
        const bool ok = walkJsonObject(c.text, [&](const JsonMember& m) {
            if (!keys.empty()) keys += ' ';
            keys += m.key;
        });
        EXPECT_EQ(ok, c.ok);
        EXPECT_TRUE(!c.ok || keys == c.keys) << keys;
    }
}

TEST(JsonReader, DeepNestingIsSkippedWithoutRecursion) {
    const std::string deep =
        "{\"a\":" + std::string(1'000'000, '[') + std::string(1'000'000, ']') + ",\"b\":1}";
    int seen = 0;
    EXPECT_TRUE(walkJsonObject(deep, [&](const JsonMember&) { ++seen; }));
    EXPECT_EQ(seen, 2);
    EXPECT_FALSE(walkJsonObject("{\"a\":" + std::string(1'000'000, '{'), [](const JsonMember&) {}));
}
