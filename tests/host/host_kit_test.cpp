// The host kit's rules as a host meets them: HID-POS layouts from the report descriptor in the forms makers
// write them, reports and recorded streams of reports, codes whose input stopped early, and the key rules.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dorvik_c.h"
#include "hid_pos_layout.h"
#include "key_tables.h"
#include "link.h"

using namespace dorvik::host;

namespace {

std::string item(std::initializer_list<int> bytes) {
    std::string out;
    for (const int b : bytes)
        out += static_cast<char>(b);
    return out;
}

std::string join(std::initializer_list<std::string> parts) {
    std::string out;
    for (const std::string& p : parts)
        out += p;
    return out;
}

std::string padded(std::string text, size_t size) {
    text.resize(size, '\0');
    return text;
}

// The usage tables' layout as most makers fill it: report 2 holds Byte Count, the three symbology characters,
// 56 bytes of decoded data, two bytes of the maker's own, then the continued flag and padding. Report 4 is a
// status report of the same device. (The "usage-table layout" of tests/tools/listen_test.py.)
const std::string kCounted =
    join({item({0x05, 0x8C}), item({0x09, 0x02}),       item({0xA1, 0x01}), item({0x09, 0x12}),
          item({0xA1, 0x02}), item({0x85, 0x02}),       item({0x15, 0x00}), item({0x26, 0xFF, 0x00}),
          item({0x75, 0x08}), item({0x95, 0x01}),       item({0x05, 0x01}), item({0x09, 0x3B}),
          item({0x81, 0x02}), item({0x95, 0x03}),       item({0x05, 0x8C}), item({0x09, 0xFB}),
          item({0x09, 0xFC}), item({0x09, 0xFD}),       item({0x81, 0x02}), item({0x95, 0x38}),
          item({0x09, 0xFE}), item({0x82, 0x02, 0x01}), item({0x95, 0x02}), item({0x06, 0x66, 0xFF}),
          item({0x09, 0x01}), item({0x09, 0x02}),       item({0x81, 0x02}), item({0x75, 0x01}),
          item({0x95, 0x01}), item({0x25, 0x01}),       item({0x05, 0x8C}), item({0x09, 0xFF}),
          item({0x81, 0x02}), item({0x75, 0x07}),       item({0x81, 0x03}), item({0xC0}),
          item({0x09, 0x15}), item({0xA1, 0x02}),       item({0x85, 0x04}), item({0x75, 0x08}),
          item({0x95, 0x03}), item({0x09, 0x15}),       item({0x81, 0x02}), item({0xC0}),
          item({0xC0})});

std::string countedReport(const std::string& aim, const std::string& part, bool more, int count = -1) {
    return item({count < 0 ? static_cast<int>(part.size()) : count}) + aim + padded(part, 56) +
           item({0x12, 0x34}) + item({more ? 1 : 0});
}

// No report ids: the decoded data first (32 bytes, zero padded, no Byte Count), the two identifier characters
// without "]", the continued flag as a byte. (The "padded layout" of tests/tools/listen_test.py.)
const std::string kPadded =
    join({item({0x05, 0x8C}), item({0x09, 0x02}), item({0xA1, 0x01}), item({0x75, 0x08}), item({0x95, 0x20}),
          item({0x09, 0xFE}), item({0x81, 0x02}), item({0x95, 0x02}), item({0x09, 0xFC}), item({0x09, 0xFD}),
          item({0x81, 0x02}), item({0x95, 0x01}), item({0x09, 0xFF}), item({0x81, 0x02}), item({0xC0})});

// Report 3: Byte Count, the identifier by Usage Minimum 0xFB / Usage Maximum 0xFD, 40 bytes of data, the
// continued flag and padding.
const std::string kRange = join(
    {item({0x05, 0x8C}), item({0x09, 0x02}),       item({0xA1, 0x01}), item({0x85, 0x03}), item({0x75, 0x08}),
     item({0x95, 0x01}), item({0x05, 0x01}),       item({0x09, 0x3B}), item({0x81, 0x02}), item({0x05, 0x8C}),
     item({0x95, 0x03}), item({0x19, 0xFB}),       item({0x29, 0xFD}), item({0x81, 0x02}), item({0x95, 0x28}),
     item({0x09, 0xFE}), item({0x82, 0x02, 0x01}), item({0x75, 0x01}), item({0x95, 0x01}), item({0x09, 0xFF}),
     item({0x81, 0x02}), item({0x75, 0x07}),       item({0x81, 0x03}), item({0xC0})});

// Report 0x11 beside a report 1 of another collection; the fields in another order: the continued flag
// first, the identifier, the data as an array item, Byte Count last.
const std::string kReordered =
    join({item({0x05, 0x01}), item({0x09, 0x06}), item({0xA1, 0x01}), item({0x85, 0x01}), item({0x75, 0x08}),
          item({0x95, 0x08}), item({0x81, 0x03}), item({0xC0}),       item({0x05, 0x8C}), item({0x09, 0x02}),
          item({0xA1, 0x01}), item({0x85, 0x11}), item({0x75, 0x01}), item({0x95, 0x01}), item({0x09, 0xFF}),
          item({0x81, 0x02}), item({0x75, 0x07}), item({0x81, 0x03}), item({0x75, 0x08}), item({0x95, 0x03}),
          item({0x09, 0xFB}), item({0x09, 0xFC}), item({0x09, 0xFD}), item({0x81, 0x02}), item({0x95, 0x18}),
          item({0x09, 0xFE}), item({0x81, 0x00}), item({0x95, 0x01}), item({0x05, 0x01}), item({0x09, 0x3B}),
          item({0x81, 0x02}), item({0xC0})});

// Report 5: four bytes of the maker's own page before everything, the data, two more of its own, the
// identifier, the continued flag as a byte; no Byte Count. Push and Pop around the maker's page.
const std::string kVendor = join({item({0x05, 0x8C}),       item({0x09, 0x02}),
                                  item({0xA1, 0x01}),       item({0x85, 0x05}),
                                  item({0x75, 0x08}),       item({0xA4}),
                                  item({0x06, 0x00, 0xFF}), item({0x95, 0x04}),
                                  item({0x19, 0x01}),       item({0x29, 0x04}),
                                  item({0x81, 0x02}),       item({0xB4}),
                                  item({0x95, 0x1E}),       item({0x09, 0xFE}),
                                  item({0x82, 0x02, 0x01}), item({0x95, 0x02}),
                                  item({0x0A, 0x10, 0x00}), item({0x0B, 0x20, 0x00, 0x00, 0xFF}),
                                  item({0x81, 0x02}),       item({0x95, 0x03}),
                                  item({0x09, 0xFB}),       item({0x09, 0xFC}),
                                  item({0x09, 0xFD}),       item({0x81, 0x02}),
                                  item({0x95, 0x01}),       item({0x09, 0xFF}),
                                  item({0x81, 0x02}),       item({0xC0})});

struct Form {
    const char* name;
    std::string descriptor;
    uint8_t reportId;
    size_t reportBytes; // the scanned-data report's size, its id byte not counted
    std::string (*report)(const std::string& aim, const std::string& part, bool more);
};

const Form kForms[] = {
    {"usage-table layout", kCounted, 2, 63,
     [](const std::string& aim, const std::string& part, bool more) {
         return countedReport(aim, part, more);
     }},
    {"no ids, zero padded, no Byte Count", kPadded, 0, 35,
     [](const std::string& aim, const std::string& part, bool more) {
         return padded(part, 32) + aim.substr(1) + item({more ? 1 : 0});
     }},
    {"identifier by Usage Minimum/Maximum", kRange, 3, 45,
     [](const std::string& aim, const std::string& part, bool more) {
         return item({static_cast<int>(part.size())}) + aim + padded(part, 40) + item({more ? 1 : 0});
     }},
    {"fields in another order, another report id", kReordered, 0x11, 29,
     [](const std::string& aim, const std::string& part, bool more) {
         return item({more ? 1 : 0}) + aim + padded(part, 24) + item({static_cast<int>(part.size())});
     }},
    {"maker's fields, no Byte Count", kVendor, 5, 40,
     [](const std::string& aim, const std::string& part, bool more) {
         return std::string("\x7f\x7f\x7f\x7f", 4) + padded(part, 30) + "zz" + aim + item({more ? 1 : 0});
     }},
};

class DescriptorForms : public ::testing::TestWithParam<Form> {};

TEST_P(DescriptorForms, FindTheScannedDataReport) {
    const Form& form = GetParam();
    const LayoutResult found = scannedDataLayoutOf(form.descriptor);
    ASSERT_EQ(found.status, LayoutStatus::Found);
    EXPECT_EQ(found.layout.reportId, form.reportId);
    EXPECT_EQ(found.layout.data.bitOffset % 8, 0u);
    bool sized = false;
    for (const auto& [id, bytes] : found.layout.inputReportBytes)
        if (id == form.reportId) sized = bytes == form.reportBytes;
    EXPECT_TRUE(sized);

    const std::string report = form.report("]E0", "4600000000008", false);
    ASSERT_EQ(report.size(), form.reportBytes);
    const auto scanned = scannedDataOf(found.layout, form.reportId, report);
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->data, "4600000000008");
    EXPECT_EQ(scanned->aim, "]E0");
    EXPECT_FALSE(scanned->continued);
    const auto more = scannedDataOf(found.layout, form.reportId, form.report("]d2", "0104607", true));
    ASSERT_TRUE(more);
    EXPECT_TRUE(more->continued);
    EXPECT_EQ(more->data, "0104607");
    EXPECT_FALSE(scannedDataOf(found.layout, static_cast<uint8_t>(form.reportId + 1), report));
}

INSTANTIATE_TEST_SUITE_P(HidPos, DescriptorForms, ::testing::ValuesIn(kForms),
                         [](const ::testing::TestParamInfo<Form>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

TEST(HidPosLayout, AByteCountLargerThanTheFieldEndsAtThePadding) {
    const LayoutResult found = scannedDataLayoutOf(kCounted);
    ASSERT_EQ(found.status, LayoutStatus::Found);
    const auto scanned = scannedDataOf(found.layout, 2, countedReport("]E0", "4600000000008", false, 200));
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->data, "4600000000008");
    EXPECT_EQ(scanned->data.find('\0'), std::string::npos);
}

TEST(HidPosLayout, AShortReportTakesWhatItHas) {
    const LayoutResult found = scannedDataLayoutOf(kCounted);
    ASSERT_EQ(found.status, LayoutStatus::Found);
    const auto scanned = scannedDataOf(found.layout, 2, countedReport("]E0", "46000", false).substr(0, 9));
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->data, "46000");
    EXPECT_TRUE(scannedDataOf(found.layout, 2, ""));
}

TEST(HidPosLayout, CorruptOrNotHidPos) {
    // A keyboard's descriptor: no scanned-data report.
    const std::string keyboard = join(
        {item({0x05, 0x01}), item({0x09, 0x06}), item({0xA1, 0x01}), item({0x05, 0x07}), item({0x19, 0xE0}),
         item({0x29, 0xE7}), item({0x75, 0x01}), item({0x95, 0x08}), item({0x81, 0x02}), item({0xC0})});
    EXPECT_EQ(scannedDataLayoutOf(keyboard).status, LayoutStatus::NotHidPos);
    EXPECT_EQ(scannedDataLayoutOf("").status, LayoutStatus::NotHidPos);
    // A short item whose data runs past the end, in two places.
    EXPECT_EQ(scannedDataLayoutOf(kCounted + item({0x26, 0xFF})).status, LayoutStatus::Corrupt);
    EXPECT_EQ(scannedDataLayoutOf(kPadded + item({0x27, 1, 2})).status, LayoutStatus::Corrupt);
    // A long item (0xFE, size, tag, data) whose data runs past the end, or whose header does.
    EXPECT_EQ(scannedDataLayoutOf(kCounted + item({0xFE, 0x10, 0x01, 1, 2, 3})).status,
              LayoutStatus::Corrupt);
    EXPECT_EQ(scannedDataLayoutOf(kCounted + item({0xFE, 0x10})).status, LayoutStatus::Corrupt);
    // A long item that fits is skipped.
    EXPECT_EQ(scannedDataLayoutOf(item({0xFE, 0x02, 0x01, 9, 9}) + kCounted).status, LayoutStatus::Found);
    // Report id 0 is reserved; Pop without Push.
    EXPECT_EQ(scannedDataLayoutOf(item({0x85, 0x00}) + kPadded).status, LayoutStatus::Corrupt);
    EXPECT_EQ(scannedDataLayoutOf(item({0xB4}) + kPadded).status, LayoutStatus::Corrupt);
    // Sizes that would overflow the offsets.
    EXPECT_EQ(scannedDataLayoutOf(
                  join({item({0x05, 0x8C}), item({0x77, 0xFF, 0xFF, 0xFF, 0x7F}),
                        item({0x97, 0xFF, 0xFF, 0xFF, 0x7F}), item({0x09, 0xFE}), item({0x81, 0x02})}))
                  .status,
              LayoutStatus::Corrupt);
}

TEST(HidPosLayout, WebHidCollectionsReadAsTheirDescriptor) {
    // The usage-table layout as WebHID's HIDDevice.collections gives it: parsed items, usages with their
    // page.
    const std::string collections = R"([{"usagePage":140,"usage":2,"inputReports":[],"children":[
        {"usagePage":140,"usage":18,"children":[],"inputReports":[{"reportId":2,"items":[
            {"reportSize":8,"reportCount":1,"usages":[65595],"isRange":false},
            {"reportSize":8,"reportCount":3,"usages":[9175291,9175292,9175293]},
            {"reportSize":8,"reportCount":56,"usages":[9175294],"isBufferedBytes":true},
            {"reportSize":8,"reportCount":2,"isRange":true,"usageMinimum":4284874753,"usageMaximum":4284874754},
            {"reportSize":1,"reportCount":1,"usages":[9175295]},
            {"reportSize":7,"reportCount":1,"usages":[],"isConstant":true}]}]},
        {"usagePage":140,"usage":21,"inputReports":[{"reportId":4,"items":[
            {"reportSize":8,"reportCount":3,"usages":[9175061]}]}]}]}])";
    const auto descriptor = descriptorOfCollections(collections);
    ASSERT_TRUE(descriptor);
    const LayoutResult fromItems = scannedDataLayoutOf(*descriptor),
                       fromDescriptor = scannedDataLayoutOf(kCounted);
    ASSERT_EQ(fromItems.status, LayoutStatus::Found);
    EXPECT_EQ(fromItems.layout.reportId, fromDescriptor.layout.reportId);
    EXPECT_EQ(fromItems.layout.data.bitOffset, fromDescriptor.layout.data.bitOffset);
    EXPECT_EQ(fromItems.layout.data.bits, fromDescriptor.layout.data.bits);
    EXPECT_EQ(fromItems.layout.inputReportBytes, fromDescriptor.layout.inputReportBytes);
    const auto scanned = scannedDataOf(fromItems.layout, 2, countedReport("]E0", "4600000000008", false));
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->aim + scanned->data, "]E04600000000008");
    // Not a list, or one with something after it: no descriptor.
    EXPECT_FALSE(descriptorOfCollections("{}"));
    EXPECT_FALSE(descriptorOfCollections("[] x"));
    EXPECT_FALSE(descriptorOfCollections(std::string(100, '[')));
}

TEST(HidPosLayout, HugeCountsAndRangesAreNotWalkedFieldByField) {
    const auto start = std::chrono::steady_clock::now();
    // Four billion continued flags of no bits; then the whole page 0x8C as a range over 60 000 bytes (the
    // identifier, data and flag fall at 0xFB to 0xFF, the rest repeats 0x8C:0xFFFF); then 16 bytes of data.
    const std::string descriptor = join(
        {item({0x05, 0x8C}), item({0x85, 0x07}), item({0x75, 0x00}), item({0x97, 0xFF, 0xFF, 0xFF, 0xFF}),
         item({0x09, 0xFF}), item({0x81, 0x02}), item({0x75, 0x08}), item({0x97, 0x60, 0xEA, 0x00, 0x00}),
         item({0x1B, 0x00, 0x00, 0x8C, 0x00}), item({0x2B, 0xFF, 0xFF, 0x8C, 0x00}), item({0x81, 0x02}),
         item({0x95, 0x10}), item({0x09, 0xFE}), item({0x81, 0x02})});
    const LayoutResult found = scannedDataLayoutOf(descriptor);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ASSERT_EQ(found.status, LayoutStatus::Found);
    EXPECT_EQ(found.layout.reportId, 7);
    EXPECT_EQ(found.layout.data.bitOffset, 0xFEu * 8);
    EXPECT_EQ(found.layout.data.bits, 60000u * 8 + 128 - 0xFE * 8);
    ASSERT_TRUE(found.layout.continued);
    EXPECT_EQ(found.layout.continued->bitOffset, 0xFFu * 8);
    EXPECT_EQ(found.layout.symbology.size(), 3u);
}

// ---- The link over a decoder.

struct Rig {
    std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder{dvk_decoder_new(), &dvk_decoder_free};
    std::optional<Link> link;
    explicit Rig(bool setUp = false, const char* profile = nullptr) {
        if (profile != nullptr) dvk_decoder_set_profile(decoder.get(), profile);
        link.emplace(decoder.get(), "dev", setUp);
    }
};

// Each "frame" text of the poll, unescaped (the few escapes the decoder writes).
std::vector<std::string> frameTexts(const std::string& poll) {
    std::vector<std::string> out;
    const size_t frames = poll.find("\"frames\":[");
    for (size_t at = poll.find("\"frame\":\"", frames);
         frames != std::string::npos && at != std::string::npos; at = poll.find("\"frame\":\"", at)) {
        at += 9;
        std::string text;
        for (; at < poll.size() && poll[at] != '"'; ++at) {
            if (poll[at] != '\\') {
                text += poll[at];
                continue;
            }
            const char e = poll[++at];
            if (e == 'u') {
                text += static_cast<char>(std::stoi(poll.substr(at + 1, 4), nullptr, 16));
                at += 4;
            } else {
                text += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e;
            }
        }
        out.push_back(text);
    }
    return out;
}

size_t scanCount(const std::string& poll) {
    const std::string scans = poll.substr(0, poll.find("],\"frames\":["));
    size_t n = 0;
    for (size_t at = scans.find("\"raw\":"); at != std::string::npos; at = scans.find("\"raw\":", at + 1))
        ++n;
    return n;
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(HidPosStream, AnUndeclaredReportIsSkippedNotTheRest) {
    Rig rig;
    ASSERT_EQ(rig.link->useDescriptor(kCounted), LayoutStatus::Found);
    std::string recording;
    for (int i = 0; i < 201; ++i) {
        if (i == 100) {
            recording += item({0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}); // no report 9
            continue;
        }
        char code[16];
        std::snprintf(code, sizeof code, "ABC%06d", i);
        recording += item({0x02}) + countedReport("]E0", code, false);
    }
    // Read as a FIFO gives it: in pieces that split reports.
    uint64_t t = 1000;
    std::string poll, notices;
    for (size_t at = 0; at < recording.size(); at += 100, t += 1) {
        rig.link->stream(std::string_view(recording).substr(at, 100), t);
        notices += rig.link->takeNotices();
    }
    rig.link->end(t);
    notices += rig.link->takeNotices();
    poll = rig.link->poll();
    EXPECT_EQ(scanCount(poll), 200u) << poll.substr(0, 400);
    EXPECT_EQ(count(notices, "\"notice\":\"skipped\""), 1u) << notices;
    EXPECT_NE(notices.find("\"bytes\":10"), std::string::npos) << notices;
    EXPECT_EQ(notices.find("\"cut\""), std::string::npos) << notices;
}

TEST(HidPosStream, AReportOfAnotherIdIsNoScanAndNoSkip) {
    Rig rig;
    ASSERT_EQ(rig.link->useDescriptor(kCounted), LayoutStatus::Found);
    rig.link->stream(item({0x04, 1, 2, 3}) + item({0x02}) + countedReport("]E0", "4600000000008", false), 10);
    rig.link->end(20);
    EXPECT_EQ(rig.link->takeNotices(), "[]");
    EXPECT_EQ(scanCount(rig.link->poll()), 1u);
}

TEST(CutCodes, SerialEndMidCodeIsDropped) {
    Rig rig;
    rig.link->bytes("4600000000008\r", 10);
    rig.link->bytes("ABC12", 20);
    rig.link->end(30);
    const std::string notices = rig.link->takeNotices();
    EXPECT_NE(notices.find("\"notice\":\"cut\",\"deviceId\":\"dev\",\"tMs\":30,\"bytes\":5"),
              std::string::npos)
        << notices;
    const std::vector<std::string> texts = frameTexts(rig.link->poll());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "4600000000008\r");
}

TEST(CutCodes, ATerminatorSplitOverTwoChunksIsNoCut) {
    Rig rig(false, "{\"terminator\": \"\\r\\n\"}");
    rig.link->bytes("4600000000008\r", 10);
    rig.link->bytes("\n", 12);
    rig.link->end(30);
    EXPECT_EQ(rig.link->takeNotices(), "[]");
    EXPECT_EQ(frameTexts(rig.link->poll()).size(), 1u);
}

TEST(CutCodes, HidPosLastReportNeverComes) {
    for (const bool atEnd : {false, true}) {
        Rig rig;
        ASSERT_EQ(rig.link->useDescriptor(kCounted), LayoutStatus::Found);
        rig.link->report(2, countedReport("]E0", "4600000000008", false), 10);
        rig.link->report(2, countedReport("]d2", "0104607097291111", true), 20);
        ASSERT_EQ(rig.link->wakeAt(), int64_t{20 + 140 + 1});
        if (atEnd)
            rig.link->end(30);
        else
            for (uint64_t t = 25; t < 1000; t += 25)
                rig.link->tick(t);
        const std::string notices = rig.link->takeNotices();
        EXPECT_EQ(count(notices, "\"notice\":\"cut\""), 1u) << notices;
        const std::string poll = rig.link->poll();
        EXPECT_EQ(scanCount(poll), 1u) << poll;
        const std::vector<std::string> texts = frameTexts(poll);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], "4600000000008\r"); // the first code, kept over the drop; not the cut one
        EXPECT_EQ(rig.link->wakeAt(), -1);
    }
}

TEST(CutCodes, SettingUpClosesTheFrameInstead) {
    Rig rig(true);
    ASSERT_EQ(rig.link->useDescriptor(kCounted), LayoutStatus::Found);
    rig.link->report(2, countedReport("]d2", "0104607097291111", true), 20);
    rig.link->end(40);
    EXPECT_EQ(rig.link->takeNotices(), "[]");
    const std::vector<std::string> texts = frameTexts(rig.link->poll());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "]d20104607097291111"); // the AIM identifier passes while setting up
    // A set-up goes on after a person's key: the next report starts a code, with its identifier.
    rig.link->report(2, countedReport("]E0", "4600000000008", false), 60);
    rig.link->end(80);
    const std::vector<std::string> next = frameTexts(rig.link->poll());
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0], "]E04600000000008\r");
}

TEST(CutCodes, KeysCloseTheFrameAtTheEnd) {
    Rig rig;
    for (const uint16_t key : {0x05, 0x07, 0x0B}) // 4 6 0
        rig.link->key(key, KeyAction::Press, 10), rig.link->key(key, KeyAction::Release, 11);
    rig.link->end(20);
    EXPECT_EQ(rig.link->takeNotices(), "[]");
    const std::vector<std::string> texts = frameTexts(rig.link->poll());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "460");
}

// ---- Key rules.

constexpr uint16_t kLeftAlt = 0x38, kRightAlt = 0xE038, kRightCtrl = 0xE01D, kEnter = 0x1C;
constexpr uint16_t kKeypad0 = 0x52, kKeypad2 = 0x50, kKeypad9 = 0x49;

void tap(Link& link, uint16_t key, uint64_t& t) {
    link.key(key, KeyAction::Press, t++);
    link.key(key, KeyAction::Release, t++);
}

std::string typed(const std::vector<std::pair<uint16_t, KeyAction>>& keys) {
    Rig rig;
    uint64_t t = 100;
    for (const auto& [key, action] : keys)
        rig.link->key(key, action, t++);
    tap(*rig.link, kEnter, t);
    rig.link->end(t);
    const std::vector<std::string> texts = frameTexts(rig.link->poll());
    std::string all;
    for (const std::string& text : texts)
        all += text + "|";
    return all;
}

constexpr auto P = KeyAction::Press, R = KeyAction::Release, Rep = KeyAction::Repeat;

TEST(KeyRules, ReleasingAltEndsAnAltCode) {
    EXPECT_EQ(typed({{0x02, P},
                     {0x02, R},
                     {kLeftAlt, P},
                     {kKeypad0, P},
                     {kKeypad0, R},
                     {kKeypad2, P},
                     {kKeypad2, R},
                     {kKeypad9, P},
                     {kKeypad9, R},
                     {kLeftAlt, R},
                     {0x03, P},
                     {0x03, R}}),
              "1\x1d"
              "2\r|");
    // Right Alt, and both Alts: the code ends when the last is released.
    EXPECT_EQ(typed({{kRightAlt, P}, {kKeypad0, P}, {kKeypad2, P}, {kKeypad9, P}, {kRightAlt, R}, {0x03, P}}),
              "\x1d"
              "2\r|");
    EXPECT_EQ(typed({{kLeftAlt, P},
                     {kRightAlt, P},
                     {kKeypad0, P},
                     {kKeypad2, P},
                     {kLeftAlt, R},
                     {kKeypad9, P},
                     {kRightAlt, R},
                     {0x03, P}}),
              "\x1d"
              "2\r|");
}

TEST(KeyRules, CursorKeysAreNoKeypadDigits) {
    for (const uint16_t digit : {kKeypad0, kKeypad2, kKeypad9})
        EXPECT_EQ(typingMakeCode(static_cast<uint16_t>(kExtended | digit)), 0);
    EXPECT_EQ(typingMakeCode(kExtended | 0x1C), 0x1C);
    EXPECT_EQ(typingMakeCode(kExtended | 0x35), 0x35);
    // Insert, Down, Page Up under Alt: no GS.
    EXPECT_EQ(typed({{0x02, P},
                     {kLeftAlt, P},
                     {kExtended | kKeypad0, P},
                     {kExtended | kKeypad2, P},
                     {kExtended | kKeypad9, P},
                     {kLeftAlt, R},
                     {0x03, P}}),
              "12\r|");
}

TEST(KeyRules, RepeatsAreNotFed) {
    EXPECT_EQ(typed({{0x1E, P}, {0x1E, Rep}, {0x1E, Rep}, {0x1E, Rep}, {0x1E, R}, {0x30, P}, {0x30, R}}),
              "ab\r|");
}

TEST(KeyRules, RightCtrlAndShiftAreModifiers) {
    EXPECT_EQ(typed({{0x02, P}, {kRightCtrl, P}, {0x1B, P}, {0x1B, R}, {kRightCtrl, R}, {0x03, P}}), "1\x1d"
                                                                                                     "2\r|");
    EXPECT_EQ(typed({{0x36, P}, {0x1E, P}, {0x36, R}, {0x1E, P}}), "Aa\r|");
    // Caps Lock toggles on its press.
    EXPECT_EQ(typed({{0x3A, P}, {0x3A, R}, {0x1E, P}, {0x3A, P}, {0x3A, R}, {0x1E, P}}), "Aa\r|");
}

TEST(KeyRules, LinuxAndW3CKeysMeetOnScanCodes) {
    EXPECT_EQ(scanCodeOfLinuxKey(97), kRightCtrl);       // KEY_RIGHTCTRL
    EXPECT_EQ(scanCodeOfLinuxKey(100), kRightAlt);       // KEY_RIGHTALT
    EXPECT_EQ(scanCodeOfLinuxKey(96), kExtended | 0x1C); // KEY_KPENTER
    EXPECT_EQ(scanCodeOfLinuxKey(82), kKeypad0);         // KEY_KP0
    EXPECT_EQ(scanCodeOfLinuxKey(110), 0);               // KEY_INSERT: the decoder never hears it
    EXPECT_EQ(scanCodeOfKeyCode("ControlRight"), kRightCtrl);
    EXPECT_EQ(scanCodeOfKeyCode("NumpadEnter"), kExtended | 0x1C);
    EXPECT_EQ(scanCodeOfLinuxKey(-1), 0);
    EXPECT_EQ(scanCodeOfLinuxKey(100000), 0);
    EXPECT_EQ(scanCodeOfKeyCode("NoSuchKey"), 0);
}

} // namespace
