#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../test_vectors.h"
#include "profile/profile_json.h"

using namespace dorvik;

TEST(Profile, DefaultsAreWrittenExactly) {
    EXPECT_EQ(profileToJson(ScannerProfile{}), dvk_vectors::kDefaultProfileJson);
}

TEST(Profile, TransportNames) {
    for (const char* name : {"HID", "Hid", "none", "", "serial ", "SIM"})
        EXPECT_EQ(transportFromName(name), Transport::None) << name;
    EXPECT_EQ(transportFromName("serial"), Transport::Serial);
    EXPECT_EQ(transportFromName("sim"), Transport::Sim);
    EXPECT_EQ(transportName(Transport::None), "none");
    EXPECT_EQ(transportName(static_cast<Transport>(42)), "none");
}

TEST(Profile, ReadingAppliesOnlyMatchingKinds) {
    struct Case {
        const char* json;
        bool ok;
        void (*check)(const ScannerProfile&);
    } cases[] = {
        {"{}", true, [](const ScannerProfile& p) { EXPECT_EQ(p, ScannerProfile{}); }},
        {R"({"burstGapMs":"80"})", true, [](const ScannerProfile& p) { EXPECT_EQ(p.burstGapMs, 60); }},
        {R"({"transport":"serial","parity":"E"})", true,
         [](const ScannerProfile& p) {
             EXPECT_EQ(p.transport, Transport::Serial);
             EXPECT_EQ(p.parity, 'E');
         }},
        {R"({"parity":"X"})", true, [](const ScannerProfile& p) { EXPECT_EQ(p.parity, 'N'); }},
        {R"({"parity":"EV"})", true, [](const ScannerProfile& p) { EXPECT_EQ(p.parity, 'N'); }},
        {R"({"transport":"HID"})", true,
         [](const ScannerProfile& p) { EXPECT_EQ(p.transport, Transport::None); }},
        {R"({"gsSubstitute":"\u001d","terminator":"\r\n"})", true,
         [](const ScannerProfile& p) {
             EXPECT_EQ(p.gsSubstitute, "\x1d");
             EXPECT_EQ(p.terminator, "\r\n");
         }},
        {R"({"burstGapMs":60.9,"frameTimeoutMs":-1.5,"minLength":1e300,"baud":-1e300,"dataBits":99999999999})",
         true,
         [](const ScannerProfile& p) {
             EXPECT_EQ(p.burstGapMs, 60);
             EXPECT_EQ(p.frameTimeoutMs, -1);
             EXPECT_EQ(p.minLength, INT32_MAX);
             EXPECT_EQ(p.baud, INT32_MIN);
             EXPECT_EQ(p.dataBits, INT32_MAX);
         }},
        {R"({"minLength":3,"minLength":7,"gsMissing":true,"gsMissing":1,"Prefix":"x","nested":{"prefix":"y"}})",
         true,
         [](const ScannerProfile& p) {
             EXPECT_EQ(p.minLength, 7);
             EXPECT_TRUE(p.gsMissing);
             EXPECT_EQ(p.prefix, "");
         }},
        {R"({"terminator":"\r\n")", false, nullptr},
        {"", false, nullptr},
        {"not json", false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        ScannerProfile p;
        EXPECT_EQ(parseProfile(c.json, p), c.ok);
        if (c.check) c.check(p);
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
