#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

#include "../test_vectors.h"
#include "dorvik_c.h"

namespace {

struct Text {
    char* p;
    explicit Text(char* text) : p(text) {}
    ~Text() { dvk_free(p); }
    std::string str() const { return p ? std::string(p) : std::string("<null>"); }
};

using DecoderPtr = std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)>;
DecoderPtr newDecoder() { return {dvk_decoder_new(), &dvk_decoder_free}; }

void key(dvk_decoder* d, uint16_t code, uint64_t t, const char* device = "scanner", bool shift = false,
         bool ctrl = false, bool alt = false) {
    dvk_decoder_feed_key(d, code, 0, 0, shift, ctrl, alt, 0, 0, t, device);
}

std::string poll(dvk_decoder* d) { return Text(dvk_decoder_poll(d)).str(); }

} // namespace

TEST(CApi, NullHandlesAndTexts) {
    EXPECT_EQ(dvk_decoder_poll(nullptr), nullptr);
    EXPECT_EQ(dvk_decoder_profile(nullptr), nullptr);
    EXPECT_EQ(dvk_decoder_set_profile(nullptr, "{}"), 0);
    dvk_decoder_free(nullptr);
    dvk_decoder_bind(nullptr, "x");
    dvk_decoder_feed_key(nullptr, 2, 0, 0, 0, 0, 0, 0, 0, 1, "x");
    dvk_decoder_feed_bytes(nullptr, "x", 1, "x", 1);
    dvk_decoder_tick(nullptr, 1);
    dvk_decoder_reset(nullptr);
    dvk_free(nullptr);
    EXPECT_EQ(dvk_tuner_state(nullptr), nullptr);
    EXPECT_EQ(dvk_tuner_feed(nullptr, "x", 1, "x", 0, "1"), 0);

    auto d = newDecoder();
    EXPECT_EQ(dvk_decoder_set_profile(d.get(), nullptr), 0);
    EXPECT_EQ(dvk_decoder_set_profile(d.get(), ""), 0);
    dvk_decoder_bind(d.get(), nullptr);
    dvk_decoder_feed_bytes(d.get(), nullptr, 5, nullptr, 1);
    dvk_decoder_feed_bytes(d.get(), "1234\r", 0, nullptr, 1);
    dvk_decoder_feed_key(d.get(), 0x1C, 0, 0, 0, 0, 0, 0, 0, 1, nullptr);
    EXPECT_EQ(poll(d.get()), R"({"scans":[],"frames":[{"frame":"\r","deviceId":"","tMs":1,"gapsMs":[]}]})");
    Text scan(dvk_decode_frame(nullptr, nullptr, -1, nullptr));
    EXPECT_NE(scan.str().find(R"("kind":0,"kindTitle":"неизвестный")"), std::string::npos);
}

TEST(CApi, VersionAndGoldenTexts) {
    EXPECT_STREQ(dvk_version(), "0.3.2");
    EXPECT_EQ(dvk_version(), dvk_version());
    EXPECT_EQ(Text(dvk_decode_frame(nullptr, "4600000000008", -1, nullptr)).str(),
              dvk_vectors::kEan13ScanJson);
    EXPECT_EQ(Text(dvk_decode_frame("not json", "4600000000008", -1, nullptr)).str(),
              dvk_vectors::kEan13ScanJson);
    auto d = newDecoder();
    EXPECT_EQ(Text(dvk_decoder_profile(d.get())).str(), dvk_vectors::kDefaultProfileJson);
    EXPECT_EQ(poll(d.get()), dvk_vectors::kEmptyPoll);
    EXPECT_EQ(Text(dvk_key_for_char('A')).str(), R"({"ok":true,"scancode":30,"shift":true,"ctrl":false})");
    EXPECT_EQ(Text(dvk_key_for_char('\x1d')).str(), R"({"ok":true,"scancode":27,"shift":false,"ctrl":true})");
    EXPECT_EQ(Text(dvk_key_for_char(static_cast<char>(0xD0))).str(),
              R"({"ok":false,"scancode":0,"shift":false,"ctrl":false})");
}

TEST(CApi, ProfileReplacesWholeOrNotAtAll) {
    auto d = newDecoder();
    ASSERT_EQ(dvk_decoder_set_profile(d.get(), R"({"terminator":"\r\n","minLength":2})"), 1);
    EXPECT_EQ(dvk_decoder_set_profile(d.get(), R"({"terminator":"\r\n")"), 0);
    EXPECT_EQ(dvk_decoder_set_profile(d.get(), R"({"minLength":3, "prefix": "bad\q"})"), 0);
    std::string profile = Text(dvk_decoder_profile(d.get())).str();
    EXPECT_NE(profile.find(R"("terminator": "\r\n")"), std::string::npos);
    EXPECT_NE(profile.find(R"("minLength": 2)"), std::string::npos);
    ASSERT_EQ(dvk_decoder_set_profile(d.get(), R"({"minLength":6})"), 1);
    profile = Text(dvk_decoder_profile(d.get())).str();
    EXPECT_NE(profile.find(R"("terminator": "")"), std::string::npos);
    EXPECT_NE(profile.find(R"("minLength": 6)"), std::string::npos);
}

TEST(CApi, DecoderRoadFromKeysToPoll) {
    auto d = newDecoder();
    dvk_decoder_bind(d.get(), "scanner");
    const uint16_t digits[] = {0x05, 0x07, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x09};
    uint64_t t = 1000;
    for (const uint16_t k : digits)
        key(d.get(), k, t += 5);
    key(d.get(), 0x02, t + 100); // a pause over the burst gap: the EAN-13 frame closes at its own last key
    key(d.get(), 0x1C, t + 105); // "1" + Enter: a second frame from the same sequence
    key(d.get(), 0x03, t + 200, "keyboard");
    key(d.get(), 0x1C, t + 205, "keyboard");
    const std::string out = poll(d.get());
    EXPECT_NE(out.find(R"({"raw":"4600000000008","data":"4600000000008","kind":2)"), std::string::npos)
        << out;
    EXPECT_NE(out.find(R"("tMs":1065,"fromBoundDevice":true)"), std::string::npos) << out;
    EXPECT_NE(
        out.find(
            R"({"frame":"4600000000008","deviceId":"scanner","tMs":1065,"gapsMs":[5,5,5,5,5,5,5,5,5,5,5,5]})"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find(R"({"frame":"1\r","deviceId":"scanner","tMs":1170,"gapsMs":[5]})"), std::string::npos)
        << out;
    EXPECT_NE(out.find(R"({"frame":"2\r","deviceId":"keyboard","tMs":1270,"gapsMs":[5]})"), std::string::npos)
        << out;
    EXPECT_EQ(out.find(R"("raw":"2\r")"), std::string::npos) << out; // not the bound device, not a scan
    EXPECT_EQ(poll(d.get()), dvk_vectors::kEmptyPoll);

    dvk_decoder_feed_bytes(d.get(), "AB\0CD", 3, "scanner", 5);
    dvk_decoder_tick(d.get(), 1000);
    EXPECT_NE(poll(d.get()).find(R"("frame":"AB\u0000")"), std::string::npos);

    key(d.get(), 0x02, 3000);
    dvk_decoder_reset(d.get());
    dvk_decoder_tick(d.get(), 9000);
    EXPECT_EQ(poll(d.get()), dvk_vectors::kEmptyPoll);
}

TEST(CApi, CommaDecimalLocaleChangesNothing) {
    const char* wanted = "ru_RU.UTF-8";
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, wanted) == nullptr) {
        if (std::getenv("DVK_REQUIRE_LOCALE")) FAIL() << wanted << " is not installed";
        GTEST_SKIP() << wanted << " is not installed";
    }
    const std::string weight = Text(dvk_decode_frame(nullptr, "2012345012349", -1, nullptr)).str();
    auto d = newDecoder();
    const int32_t applied = dvk_decoder_set_profile(d.get(), R"({"burstGapMs":60.9,"minLength":2.5e0})");
    const std::string profile = Text(dvk_decoder_profile(d.get())).str();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_NE(weight.find(R"("weightKg":1.234,)"), std::string::npos) << weight;
    EXPECT_EQ(applied, 1);
    EXPECT_NE(profile.find(R"("burstGapMs": 60,)"), std::string::npos) << profile;
    EXPECT_NE(profile.find(R"("minLength": 2,)"), std::string::npos) << profile;
}

TEST(CApi, GsMissingProfileRepairsThroughBothRoads) {
    const char* profile = R"({"gsMissing": true})";
    const std::string code = "010460709729111121ABCDEFG800512345693Ab1z";
    const std::string out = Text(dvk_decode_frame(profile, code.c_str(), -1, nullptr)).str();
    EXPECT_NE(out.find(R"("data":"010460709729111121ABCDEFG\u001d800512345693Ab1z")"), std::string::npos)
        << out;
    EXPECT_NE(
        out.find(
            R"("gsRepaired":true,"gsGuess":false,"suspect":false,"warnings":["Разделитель GS не передан сканером — границы полей восстановлены по структуре кода"]})"),
        std::string::npos)
        << out;

    auto d = newDecoder();
    ASSERT_EQ(dvk_decoder_set_profile(d.get(), profile), 1);
    dvk_decoder_feed_bytes(d.get(), (code + "\r").c_str(), -1, "com3", 77);
    const std::string polled = poll(d.get());
    EXPECT_NE(polled.find(R"x("kind":8,"kindTitle":"DataMatrix (маркировка)")x"), std::string::npos)
        << polled;
    EXPECT_NE(polled.find(R"("serial":"ABCDEFG","mrc":"123456")"), std::string::npos) << polled;
}

TEST(CApi, TunerThroughTheBoundary) {
    dvk_tuner_free(nullptr);
    dvk_tuner_skip(nullptr);
    EXPECT_EQ(dvk_tuner_state(nullptr), nullptr);
    std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> t(dvk_tuner_new(nullptr, nullptr), &dvk_tuner_free);
    EXPECT_EQ(Text(dvk_tuner_state(t.get())).str(),
              std::string(dvk_vectors::kNewTunerStateHead) + dvk_vectors::kDefaultProfileJson + "}");
    EXPECT_EQ(dvk_tuner_feed(t.get(), nullptr, -1, nullptr, 0, nullptr), 0);
    const std::string huge(4 << 20, '7');
    EXPECT_EQ(dvk_tuner_feed(t.get(), huge.c_str(), -1, "usb", 1, std::string(100000, '9').c_str()), 0);
    const std::string ean = std::string("4600000000008\r") + '\0' + "tail";
    EXPECT_EQ(dvk_tuner_feed(t.get(), ean.c_str(), -1, "usb", 2, "[3,4]"), 1);            // runs to the NUL
    EXPECT_EQ(dvk_tuner_feed(t.get(), "", 0, "usb", 1, "99999999999999999999999999"), 1); // time going back
    for (int i = 0; i < 10; ++i)
        dvk_tuner_skip(t.get());
    const std::string done = Text(dvk_tuner_state(t.get())).str();
    EXPECT_NE(done.find("\"done\":true"), std::string::npos);
    EXPECT_EQ(dvk_tuner_feed(t.get(), ean.c_str(), -1, "usb", 3, ""), 0);
    EXPECT_EQ(Text(dvk_tuner_state(t.get())).str(), done);
    // A finished tuner's profile is what a decoder accepts.
    auto d = newDecoder();
    const std::string profile =
        done.substr(done.find("\"profile\":") + 10, done.size() - done.find("\"profile\":") - 11);
    EXPECT_EQ(dvk_decoder_set_profile(d.get(), profile.c_str()), 1);
    EXPECT_EQ(Text(dvk_decoder_profile(d.get())).str(), profile);
}

TEST(CApi, BarcodeSvgArguments) {
    EXPECT_EQ(dvk_barcode_svg(nullptr, nullptr, -1, 0, 0, 0), nullptr);
    EXPECT_EQ(dvk_barcode_svg("ean13", "", 0, 0, 4, 4), nullptr);
    EXPECT_EQ(dvk_barcode_svg("code128", "ab\0cd", 5, 0, 4, 4), nullptr); // NUL is not a Code 128 character
    const std::string big(1 << 22, 'x');
    EXPECT_EQ(dvk_barcode_svg("datamatrix", big.c_str(), -1, 1, 4, 4), nullptr);
    Text ean(dvk_barcode_svg("ean13", "4600000000008", -1, 1, 0, -5));
    EXPECT_EQ(ean.str().rfind("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 380 240\"", 0), 0u);
    Text matrix(dvk_barcode_svg(nullptr, "A", 1, 0, 1, 1));
    EXPECT_NE(matrix.str().find("viewBox=\"0 0 12 12\""), std::string::npos);
}
