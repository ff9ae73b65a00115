#include <gtest/gtest.h>

#include <random>
#include <string>

#include "profile/profile_json.h"

using namespace dorvik;

// A key is taken only with a value of its kind; numbers are cut and clamped, the last of a repeated key wins.
TEST(Profile, ReadingAppliesOnlyMatchingKinds) {
    struct Case {
        const char* json;
        bool ok;
        ScannerProfile want;
    } cases[] = {
        // clang-format off
        {"{}", true, {}},
        {R"({"burstGapMs":"80","parity":"X","Prefix":"x","nested":{"prefix":"y"}})", true, {}},
        {R"({"transport":"serial","parity":"E"})", true, {.transport = Transport::Serial, .parity = 'E'}},
        {R"({"parity":"EV","transport":"HID"})", true, {.transport = Transport::None}},
        {R"({"gsSubstitute":"\u001d","terminator":"\r\n"})", true, {.terminator = "\r\n", .gsSubstitute = "\035"}},
        {R"({"burstGapMs":60.9,"frameTimeoutMs":-1.5,"minLength":1e300,"baud":-1e300,"dataBits":99999999999})", true,
         {.burstGapMs = 60, .frameTimeoutMs = -1, .minLength = INT32_MAX, .baud = INT32_MIN, .dataBits = INT32_MAX}},
        {R"({"minLength":3,"minLength":7,"gsMissing":true,"gsMissing":1,"aimId":true,"aimId":false})", true, {.minLength = 7, .gsMissing = true}},
        {R"({"terminator":"\r\n")", false, {}}, {"", false, {}}, {"not json", false, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        ScannerProfile p;
        EXPECT_EQ(parseProfile(c.json, p), c.ok) << c.json;
        EXPECT_TRUE(!c.ok || p == c.want) << c.json;
    }
}

TEST(Profile, RoundTripsRandomProfiles) {
    std::mt19937 rng(20261206);
    auto randomText = [&] {
        std::string s(rng() % 6, '\0');
        for (char& c : s)
            c = static_cast<char>(rng() % 256);
        return s;
    };
    for (int i = 0; i < 500; ++i) {
        ScannerProfile p;
        p.transport = static_cast<Transport>(rng() % 4);
        for (std::string* text :
             {&p.deviceId, &p.deviceName, &p.prefix, &p.suffix, &p.terminator, &p.gsSubstitute})
            *text = randomText();
        for (int32_t* number :
             {&p.burstGapMs, &p.frameTimeoutMs, &p.minLength, &p.baud, &p.dataBits, &p.stopBits})
            *number = static_cast<int32_t>(rng());
        for (bool* flag : {&p.gsMissing, &p.aimId, &p.rtsCts, &p.configured, &p.exclusiveCapture})
            *flag = rng() & 1;
        p.parity = "NEO"[rng() % 3];
        // Bytes of 0x80 and above are written raw, and \u escapes only ever yield ASCII below 0x20 here,
        // so every byte string survives the round trip.
        const std::string json = profileToJson(p);
        ScannerProfile back;
        ASSERT_TRUE(parseProfile(json, back)) << json;
        EXPECT_EQ(back, p) << json;
        EXPECT_EQ(profileToJson(back), json);
    }
}
