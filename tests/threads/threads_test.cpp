// Eight threads at once from a cold start: the process-wide tables (key table, AI table, step table,
// Galois field) are first built under contention. Meant for ThreadSanitizer; run alone in its process.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "dorvik_c.h"

namespace {

std::string take(char* text) {
    std::string out = text ? text : "<null>";
    dvk_free(text);
    return out;
}

const char* const kMarking =
    "010460709729111121AbC123456791EE1092Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=";

// Every export's answer, one after another.
std::string work() {
    std::string out = take(dvk_decode_frame("{\"gsMissing\":true}", kMarking, -1, "t"));
    out += take(dvk_key_for_char('\x1d')) + take(dvk_barcode_svg("datamatrix", kMarking, -1, 1, 2, 1));
    out += dvk_version();
    dvk_tuner* tuner = dvk_tuner_new("hid", "usb");
    dvk_tuner_feed(tuner, "4600000000008\r", -1, "usb", 10, "[2,2]");
    out += take(dvk_tuner_state(tuner));
    dvk_tuner_free(tuner);
    dvk_decoder* decoder = dvk_decoder_new();
    dvk_decoder_feed_bytes(decoder, "4600000000008\r", -1, "com", 5);
    out += take(dvk_decoder_poll(decoder));
    dvk_decoder_free(decoder);
    return out;
}

} // namespace

TEST(Threads, ColdStartUnderContention) {
    constexpr int kThreads = 8;
    std::latch start(kThreads);
    std::vector<std::string> outputs(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            outputs[static_cast<size_t>(i)] = work();
        });
    }
    for (std::thread& t : threads)
        t.join();
    const std::string expected = work();
    EXPECT_NE(expected.find("\"gsRepaired\":true"), std::string::npos);
    for (const std::string& o : outputs)
        EXPECT_EQ(o, expected);
}

// A thread keeps its last event and profile between dvk_decode_frame calls; whatever came before, each
// answer equals the one a fresh thread gives.
TEST(Threads, DecodeFrameForgetsTheFrameBefore) {
    const std::string longFrame = "01046070972911112" + std::string(5000, '1');
    const std::pair<const char*, std::string> calls[] = {
        {"{\"gsMissing\":true}", kMarking},
        {"{\"gsMissing\":true}", "4600000000008\r"},
        {nullptr, "2112345012345"},
        {"{", "4600000000008"},
        {"{\"gsSubstitute\":\"~\",\"gsMissing\":true}", "010460709729111121AbC~91EE10"},
        {"{\"gsSubstitute\":\"~\"}", "010460709729111121AbC~91EE10"},
        {"{\"gsMissing\":false}", "22N00002NU5DBKYDOT17ID980726019019608CW1A4XR5EJ7JKFX50FHHGV92ZR2GZRZ"},
        {nullptr, longFrame},
        {"{\"prefix\":\"<\",\"gsMissing\":true}", std::string("<") + kMarking},
        {nullptr, ""},
    };
    auto decode = [](const std::pair<const char*, std::string>& call) {
        return take(
            dvk_decode_frame(call.first, call.second.data(), static_cast<int32_t>(call.second.size()), "d"));
    };
    std::vector<std::string> fresh;
    for (const auto& call : calls)
        std::thread([&] { fresh.push_back(decode(call)); }).join();
    std::vector<std::string> inOrder, reversed(std::size(calls));
    std::thread([&] {
        for (const auto& call : calls)
            inOrder.push_back(decode(call));
        for (size_t i = std::size(calls); i-- > 0;)
            reversed[i] = decode(calls[i]);
    }).join();
    EXPECT_EQ(inOrder, fresh);
    EXPECT_EQ(reversed, fresh);
    EXPECT_NE(fresh[0].find("\"gsRepaired\":true"), std::string::npos);
}
