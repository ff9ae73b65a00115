#include <gtest/gtest.h>

#include <random>
#include <string>

#include "profile/profile_json.h"

using namespace dorvik;

TEST(Profile, TransportNames) {
    for (const char* name : {"HID", "Hid", "none", "", "serial ", "SIM"})
        EXPECT_EQ(transportFromName(name), Transport::None) << name;
    EXPECT_EQ(transportFromName("serial"), Transport::Serial);
    EXPECT_EQ(transportFromName("sim"), Transport::Sim);
    EXPECT_EQ(transportName(Transport::None), "none");
    EXPECT_EQ(transportName(static_cast<Transport>(42)), "none");
}

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
    auto randomInt = [&] { return static_cast<int32_t>(rng()); };
    for (int i = 0; i < 500; ++i) {
        ScannerProfile p;
        p.transport = static_cast<Transport>(rng() % 4);
        p.deviceId = randomText();
        p.deviceName = randomText();
        p.prefix = randomText();
        p.suffix = randomText();
        p.terminator = randomText();
        p.gsSubstitute = randomText();
        p.burstGapMs = randomInt();
        p.frameTimeoutMs = randomInt();
        p.minLength = randomInt();
        p.baud = randomInt();
        p.dataBits = randomInt();
        p.stopBits = randomInt();
        p.parity = "NEO"[rng() % 3];
        p.gsMissing = rng() & 1;
        p.aimId = rng() & 1;
        p.rtsCts = rng() & 1;
        p.configured = rng() & 1;
        p.exclusiveCapture = rng() & 1;
        // Bytes of 0x80 and above are written raw, and \u escapes only ever yield ASCII below 0x20 here,
        // so every byte string survives the round trip.
        const std::string json = profileToJson(p);
        ScannerProfile back;
        ASSERT_TRUE(parseProfile(json, back)) << json;
        EXPECT_EQ(back, p) << json;
        EXPECT_EQ(profileToJson(back), json);
    }
}
