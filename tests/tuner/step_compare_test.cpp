#include <gtest/gtest.h>

#include <string>

#include "tuner/step_compare.h"
#include "tuner/tuner_steps.h"

using namespace dorvik;

namespace {

const std::string kEan = "4600000000008";
const std::string& payload(size_t step) { return tunerSteps()[step].payload; }
std::string replaced(std::string s, char from, char to) {
    for (char& c : s)
        c = c == from ? to : c;
    return s;
}
std::string without(std::string s, char c) { return eraseAll(s, c); }

} // namespace

TEST(TunerSteps, VisibleForm) {
    EXPECT_EQ(visualizeControls(payload(1)), "0104607097291111⟨GS⟩3103000123");
    EXPECT_EQ(visualizeControls(std::string("\x1e\r\n\t\x04\x1c\x7f", 7) + std::string(1, '\0') + "\xd0\x96"),
              "⟨RS⟩⟨CR⟩⟨LF⟩⟨TAB⟩⟨4⟩⟨28⟩\x7f⟨0⟩\xd0\x96");
}

TEST(StepCompare, Terminators) {
    const std::pair<const char*, const char*> cases[] = {
        {"A\r\n", "\r\n"}, {"A\n", "\n"}, {"A\r", "\r"}, {"A\t", "\t"}, {"A\n\r", "\r"}, {"A", ""}, {"", ""}};
    for (const auto& [text, terminator] : cases)
        EXPECT_EQ(detectTerminator(text), terminator) << text;
}

TEST(StepCompare, LooksLikeReference) {
    EXPECT_TRUE(looksLikeReference(kEan, "]E0" + kEan + "\r"));
    EXPECT_TRUE(looksLikeReference(kEan, "xx460000yy"));
    EXPECT_TRUE(looksLikeReference(payload(1), without(payload(1), '\x1d')));
    EXPECT_FALSE(looksLikeReference(kEan, "46000\r"));
    EXPECT_FALSE(looksLikeReference(kEan, "\r"));
    EXPECT_FALSE(looksLikeReference("", kEan));
}

TEST(StepCompare, Outcomes) {
    const std::string step1 = payload(1);
    const std::string step4 = payload(4);
    const std::string ref31 = "ABCDEFGHIJ\x1dKLMNOPQRSTUVWXYZ0123"; // 31 bytes, one GS
    std::string dotted = "A.B.C.D";
    struct Case {
        const char* name;
        std::string ref, frame, aimExpected;
        StepResult want;
    } cases[] = {
        {"exact", kEan, kEan + "\r", "]E0", {.matched = 1, .terminator = "\r"}},
        {"aim crlf", kEan, "]E0" + kEan + "\r\n", "]E0", {.matched = 1, .terminator = "\r\n", .aim = "]E0"}},
        {"aim mismatch", kEan, "]E0" + kEan, "]C1", {.matched = 1, .aim = "]E0", .aimMismatch = true}},
        {"aim not expected", kEan, "]E0" + kEan, "", {.matched = 1, .aim = "]E0"}},
        {"prefix suffix",
         kEan,
         "P" + kEan + "SS\r",
         "",
         {.matched = 1, .prefix = "P", .suffix = "SS", .terminator = "\r"}},
        {"substitute ^",
         step1,
         "]C1" + replaced(step1, '\x1d', '^') + "\r",
         "]C1",
         {.matched = 1, .terminator = "\r", .aim = "]C1", .gsSubstitute = "^"}},
        {"substitute ]",
         step1,
         "]C1" + replaced(step1, '\x1d', ']'),
         "]C1",
         {.matched = 1, .aim = "]C1", .gsSubstitute = "]"}},
        {"substitute # after ~",
         "AB\x1d"
         "CD",
         "~AB#CD",
         "",
         {.matched = 1, .prefix = "~", .gsSubstitute = "#"}},
        {"without gs",
         step1,
         without(step1, '\x1d') + "\r",
         "",
         {.matched = 1, .terminator = "\r", .gsMissing = true}},
        {"pipe in step 4",
         step4,
         replaced(step4, '\x1d', '|'),
         "",
         {.firstDiff = 21, .expectedChar = "\x1d", .receivedChar = "|"}},
        {"truncated", ref31, ref31.substr(0, 25), "", {.truncated = true, .missingCount = 6}},
        {"truncated without gs",
         ref31,
         without(ref31, '\x1d').substr(0, 25),
         "",
         {.truncated = true, .missingCount = 5, .gsMissing = true}},
        {"one punctuation",
         dotted,
         "A/B.C.D",
         "",
         {.punctuationDamaged = true, .firstDiff = 1, .expectedChar = ".", .receivedChar = "/"}},
        {"digit and punctuation",
         "1.2.3",
         "1/4.3",
         "",
         {.punctuationDamaged = true, .firstDiff = 1, .expectedChar = ".", .receivedChar = "/"}},
        {"two digits one mark",
         "1.2.3",
         "1/4.4",
         "",
         {.firstDiff = 1, .expectedChar = ".", .receivedChar = "/"}},
        {"cyrillic",
         "AbcD",
         "Фbc",
         "",
         {.nonAscii = true, .firstDiff = 0, .expectedChar = "A", .receivedChar = "\xd0"}},
        {"short aim kept", "]E0", "]E0", "]E0", {.matched = 1}},
        {"empty frame", kEan, "", "", {.truncated = true, .missingCount = 13}},
        // Arrived with its GS but one digit lost: compared against the reference itself, not as a lost GS.
        {"gs present, digit lost",
         step1,
         "010467097291111\x1d"
         "3103000123",
         "",
         {.truncated = true, .missingCount = 1, .firstDiff = 5, .expectedChar = "0", .receivedChar = "7"}},
        {"gs lost, digit wrong",
         step1,
         "01046070972911123103000123",
         "",
         {.gsMissing = true, .firstDiff = 15, .expectedChar = "1", .receivedChar = "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StepResult r = compareWithReference(c.ref, c.frame, c.aimExpected);
        EXPECT_EQ(r.matched, c.want.matched);
        EXPECT_EQ(r.prefix, c.want.prefix);
        EXPECT_EQ(r.suffix, c.want.suffix);
        EXPECT_EQ(r.terminator, c.want.terminator);
        EXPECT_EQ(r.aim, c.want.aim);
        EXPECT_EQ(r.aimMismatch, c.want.aimMismatch);
        EXPECT_EQ(r.truncated, c.want.truncated);
        EXPECT_EQ(r.missingCount, c.want.missingCount);
        EXPECT_EQ(r.gsMissing, c.want.gsMissing);
        EXPECT_EQ(r.gsSubstitute, c.want.gsSubstitute);
        EXPECT_EQ(r.punctuationDamaged, c.want.punctuationDamaged);
        EXPECT_EQ(r.nonAscii, c.want.nonAscii);
        EXPECT_EQ(r.firstDiff, c.want.firstDiff);
        EXPECT_EQ(r.expectedChar, c.want.expectedChar);
        EXPECT_EQ(r.receivedChar, c.want.receivedChar);
    }
}
