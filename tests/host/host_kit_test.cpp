// The host kit's rules as a host meets them: HID-POS layouts from the report descriptor in the forms makers
// write them, reports and recorded streams of reports, codes whose input stopped early, and the key rules.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "answers.h"
#include "dorvik_c.h"
#include "hid_caps.h"
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

// A descriptor or report written as hex bytes: "05 8C 09 02".
std::string bytes(const char* hex) {
    std::string out;
    for (const char* at = hex; *at != '\0';) {
        char* end = nullptr;
        const long value = std::strtol(at, &end, 16);
        if (end == at) break;
        out += static_cast<char>(value);
        at = end;
    }
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
    bytes("05 8C 09 02 A1 01 09 12 A1 02 85 02 15 00 26 FF 00 75 08 95 01 05 01 09 3B 81 02 95 "
          "03 05 8C 09 FB 09 FC 09 FD 81 02 95 38 09 FE 82 02 01 95 02 06 66 FF 09 01 09 02 81 "
          "02 75 01 95 01 25 01 05 8C 09 FF 81 02 75 07 81 03 C0 09 15 A1 02 85 04 75 08 95 03 "
          "09 15 81 02 C0 C0");

std::string countedReport(const std::string& aim, const std::string& part, bool more, int count = -1) {
    return item({count < 0 ? static_cast<int>(part.size()) : count}) + aim + padded(part, 56) +
           item({0x12, 0x34}) + item({more ? 1 : 0});
}

// No report ids: the decoded data first (32 bytes, zero padded, no Byte Count), the two identifier characters
// without "]", the continued flag as a byte. (The "padded layout" of tests/tools/listen_test.py.)
const std::string kPadded =
    bytes("05 8C 09 02 A1 01 75 08 95 20 09 FE 81 02 95 02 09 FC 09 FD 81 02 95 01 09 FF 81 02 "
          "C0");

// Report 3: Byte Count, the identifier by Usage Minimum 0xFB / Usage Maximum 0xFD, 40 bytes of data, the
// continued flag and padding.
const std::string kRange =
    bytes("05 8C 09 02 A1 01 85 03 75 08 95 01 05 01 09 3B 81 02 05 8C 95 03 19 FB 29 FD 81 02 "
          "95 28 09 FE 82 02 01 75 01 95 01 09 FF 81 02 75 07 81 03 C0");

// Report 0x11 beside a report 1 of another collection; the fields in another order: the continued flag
// first, the identifier, the data as an array item, Byte Count last.
const std::string kReordered =
    bytes("05 01 09 06 A1 01 85 01 75 08 95 08 81 03 C0 05 8C 09 02 A1 01 85 11 75 01 95 01 09 "
          "FF 81 02 75 07 81 03 75 08 95 03 09 FB 09 FC 09 FD 81 02 95 18 09 FE 81 00 95 01 05 "
          "01 09 3B 81 02 C0");

// Report 5: four bytes of the maker's own page before everything, the data, two more of its own, the
// identifier, the continued flag as a byte; no Byte Count. Push and Pop around the maker's page.
const std::string kVendor =
    bytes("05 8C 09 02 A1 01 85 05 75 08 A4 06 00 FF 95 04 19 01 29 04 81 02 B4 95 1E 09 FE 82 "
          "02 01 95 02 0A 10 00 0B 20 00 00 FF 81 02 95 03 09 FB 09 FC 09 FD 81 02 95 01 09 FF "
          "81 02 C0");

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

TEST(HidPosLayout, CountAndLengthComeFromWhatTheReportHolds) {
    const LayoutResult found = scannedDataLayoutOf(kCounted);
    ASSERT_EQ(found.status, LayoutStatus::Found);
    // A Byte Count larger than the field: the code ends at its padding, with no NUL in it.
    auto scanned = scannedDataOf(found.layout, 2, countedReport("]E0", "4600000000008", false, 200));
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->data, "4600000000008");
    // A report shorter than declared gives what it holds.
    scanned = scannedDataOf(found.layout, 2, countedReport("]E0", "46000", false).substr(0, 9));
    ASSERT_TRUE(scanned);
    EXPECT_EQ(scanned->data, "46000");
    EXPECT_TRUE(scannedDataOf(found.layout, 2, ""));
}

TEST(HidPosLayout, CorruptOrNotHidPos) {
    const std::pair<std::string, LayoutStatus> cases[] = {
        // A keyboard's descriptor, and none: no scanned-data report.
        {bytes("05 01 09 06 A1 01 05 07 19 E0 29 E7 75 01 95 08 81 02 C0"), LayoutStatus::NotHidPos},
        {"", LayoutStatus::NotHidPos},
        // Short items whose data runs past the end.
        {kCounted + bytes("26 FF"), LayoutStatus::Corrupt},
        {kPadded + bytes("27 01 02"), LayoutStatus::Corrupt},
        // A long item (FE, size, tag, data) whose data or header runs past the end; one that fits is skipped.
        {kCounted + bytes("FE 10 01 01 02 03"), LayoutStatus::Corrupt},
        {kCounted + bytes("FE 10"), LayoutStatus::Corrupt},
        {bytes("FE 02 01 09 09") + kCounted, LayoutStatus::Found},
        // Report id 0 is reserved; Pop without Push; sizes that would overflow the offsets.
        {bytes("85 00") + kPadded, LayoutStatus::Corrupt},
        {bytes("B4") + kPadded, LayoutStatus::Corrupt},
        {bytes("05 8C 77 FF FF FF 7F 97 FF FF FF 7F 09 FE 81 02"), LayoutStatus::Corrupt},
    };
    for (const auto& [descriptor, status] : cases)
        EXPECT_EQ(scannedDataLayoutOf(descriptor).status, status) << descriptor.size();
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
    const std::string descriptor = bytes("05 8C 85 07 75 00 97 FF FF FF FF 09 FF 81 02 75 08 97 60 EA 00 00 "
                                         "1B 00 00 8C 00 2B FF FF 8C 00 81 02 95 10 09 FE 81 02");
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

std::vector<std::string> frameTexts(const std::string& poll) {
    std::vector<std::string> out;
    for (const dvkhost::PolledFrame& frame : dvkhost::parsePoll(poll).frames)
        out.push_back(frame.text);
    return out;
}

size_t scanCount(const std::string& poll) { return dvkhost::parsePoll(poll).scans.size(); }

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// ---- The same forms as a Windows HID parser gives them: input capabilities in HidP_GetValueCaps order, then
// HidP_GetButtonCaps order (the usages of one main item last to first), with no padding and no descriptor. A
// 1-bit variable field is a button, so is every array item (whose size the parser does not give); a host that
// found a field in the report gives its bit offset.

HidCaps value(uint8_t id, uint16_t page, uint16_t usage, uint16_t bits, uint16_t count, uint16_t index,
              uint16_t flags = 2) {
    return {id, page, false, usage, usage, index, flags, bits, count, std::nullopt};
}
HidCaps range(uint8_t id, uint16_t page, uint16_t min, uint16_t max, uint16_t count, uint16_t index) {
    return {id, page, true, min, max, index, 2, 8, count, std::nullopt};
}
HidCaps button(uint8_t id, uint16_t page, uint16_t usage, uint16_t index) {
    return {id, page, false, usage, usage, index, 2, 1, 1, std::nullopt};
}
HidCaps at(HidCaps caps, uint32_t bitOffset) {
    caps.bitOffset = bitOffset;
    return caps;
}

const std::vector<HidCaps> kFormCaps[] = {
    {value(2, 0x01, 0x3B, 8, 1, 0), value(2, 0x8C, 0xFD, 8, 1, 3), value(2, 0x8C, 0xFC, 8, 1, 2),
     value(2, 0x8C, 0xFB, 8, 1, 1), value(2, 0x8C, 0xFE, 8, 56, 4, 0x102), value(2, 0xFF66, 0x02, 8, 1, 6),
     value(2, 0xFF66, 0x01, 8, 1, 5), value(4, 0x8C, 0x15, 8, 3, 8), button(2, 0x8C, 0xFF, 7)},
    {value(0, 0x8C, 0xFE, 8, 32, 0), value(0, 0x8C, 0xFD, 8, 1, 2), value(0, 0x8C, 0xFC, 8, 1, 1),
     value(0, 0x8C, 0xFF, 8, 1, 3)},
    {value(3, 0x01, 0x3B, 8, 1, 0), range(3, 0x8C, 0xFB, 0xFD, 3, 1), value(3, 0x8C, 0xFE, 8, 40, 4, 0x102),
     button(3, 0x8C, 0xFF, 5)},
    // The flag's 7 bits of padding before the identifier: the offsets say where it starts.
    {at(value(0x11, 0x8C, 0xFD, 8, 1, 3), 24),
     at(value(0x11, 0x8C, 0xFC, 8, 1, 2), 16),
     at(value(0x11, 0x8C, 0xFB, 8, 1, 1), 8),
     at(value(0x11, 0x01, 0x3B, 8, 1, 5), 224),
     at(button(0x11, 0x8C, 0xFF, 0), 0),
     {0x11, 0x8C, false, 0xFE, 0xFE, 4, 0, 0, 24, std::nullopt}},
    {range(5, 0xFF00, 0x01, 0x04, 4, 0), value(5, 0x8C, 0xFE, 8, 30, 4, 0x102),
     value(5, 0xFF00, 0x20, 8, 1, 6), value(5, 0x8C, 0x10, 8, 1, 5), value(5, 0x8C, 0xFD, 8, 1, 9),
     value(5, 0x8C, 0xFC, 8, 1, 8), value(5, 0x8C, 0xFB, 8, 1, 7), value(5, 0x8C, 0xFF, 8, 1, 10)},
};
static_assert(std::size(kFormCaps) == std::size(kForms));

// What a link makes of the form's reports: a code over two reports, and one in a single report.
std::string scansOf(Link& link, const Form& form) {
    uint64_t t = 100;
    for (const auto& [aim, part, more] :
         {std::tuple("]d2", "0104607", true), {"]d2", "0972911", false}, {"]E0", "4600000000008", false}})
        link.report(form.reportId, form.report(aim, part, more), t += 10);
    link.end(t + 10);
    return link.poll();
}

TEST(HidPosLayout, WindowsParserCapsReadAsTheirDescriptor) {
    for (size_t i = 0; i < std::size(kForms); ++i) {
        const Form& form = kForms[i];
        const size_t reportBytes = form.reportBytes + 1; // InputReportByteLength counts the id byte
        const auto descriptor = descriptorOfCollections(collectionsOfCaps(kFormCaps[i], reportBytes));
        ASSERT_TRUE(descriptor) << form.name;
        Rig fromCaps, fromDescriptor;
        ASSERT_EQ(fromCaps.link->useDescriptor(*descriptor), LayoutStatus::Found) << form.name;
        ASSERT_EQ(fromDescriptor.link->useDescriptor(form.descriptor), LayoutStatus::Found);
        EXPECT_EQ(fromCaps.link->reportId(), form.reportId) << form.name;
        const std::string expected = scansOf(*fromDescriptor.link, form);
        ASSERT_EQ(scanCount(expected), 2u) << form.name;
        EXPECT_EQ(scansOf(*fromCaps.link, form), expected) << form.name;
    }
    // Without the offsets the padding is lost: the fields after it would be read from the wrong bits.
    std::vector<HidCaps> unplaced = kFormCaps[3];
    for (HidCaps& caps : unplaced)
        caps.bitOffset.reset();
    Rig rig, reference;
    ASSERT_EQ(reference.link->useDescriptor(kReordered), LayoutStatus::Found);
    const auto descriptor = descriptorOfCollections(collectionsOfCaps(unplaced, 30));
    ASSERT_TRUE(descriptor);
    EXPECT_TRUE(rig.link->useDescriptor(*descriptor) != LayoutStatus::Found ||
                scansOf(*rig.link, kForms[3]) != scansOf(*reference.link, kForms[3]));
}

TEST(HidPosStream, AnUndeclaredReportIsSkippedNotTheRest) {
    Rig rig;
    ASSERT_EQ(rig.link->useDescriptor(kCounted), LayoutStatus::Found);
    std::string recording;
    for (int i = 0; i < 201; ++i) {
        if (i == 100) {
            recording += bytes("09 00 00 00 00 00 00 00 00 00"); // no report 9
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

constexpr uint16_t kRightAlt = 0xE038, kRightCtrl = 0xE01D, kKeypad0 = 0x52, kKeypad2 = 0x50, kKeypad9 = 0x49;

// The frames of key events written as scan codes in hex, each a press, "^" after it a release, "*" a repeat;
// Enter ends the last frame. Alt is 38 (E038 the right one), keypad 0 2 9 are 52 50 49.
std::string typed(const char* events) {
    Rig rig;
    uint64_t t = 100;
    for (const char* at = events; *at != '\0';) {
        char* end = nullptr;
        const auto key = static_cast<uint16_t>(std::strtol(at, &end, 16));
        const KeyAction action = *end == '^'   ? KeyAction::Release
                                 : *end == '*' ? KeyAction::Repeat
                                               : KeyAction::Press;
        rig.link->key(key, action, t++);
        at = end + (*end == '^' || *end == '*');
        while (*at == ' ')
            ++at;
    }
    rig.link->key(0x1C, KeyAction::Press, t++);
    rig.link->end(t);
    std::string all;
    for (const std::string& text : frameTexts(rig.link->poll()))
        all += text + "|";
    return all;
}

TEST(KeyRules, AsTheDecoderHearsThem) {
    const std::pair<const char*, const char*> cases[] = {
        // Releasing the last Alt ends an Alt code: left, right, and both.
        {"02 02^ 38 52 52^ 50 50^ 49 49^ 38^ 03 03^", "1\x1d"
                                                      "2\r|"},
        {"E038 52 50 49 E038^ 03", "\x1d"
                                   "2\r|"},
        // Two Alt codes back to back are two characters, not the digits of one.
        {"38 52 50 49 38^ 38 52 50 49 38^ 02", "\x1d\x1d"
                                               "1\r|"},
        {"38 E038 52 50 38^ 49 E038^ 03", "\x1d"
                                          "2\r|"},
        // Insert, Down, Page Up (E0 keys on the keypad digits' make codes) under Alt: no GS.
        {"02 38 E052 E050 E049 38^ 03", "12\r|"},
        // Repeats are not fed.
        {"1E 1E* 1E* 1E* 1E^ 30 30^", "ab\r|"},
        // Right Ctrl and right Shift are modifiers; Caps Lock toggles on its press.
        {"02 E01D 1B 1B^ E01D^ 03", "1\x1d"
                                    "2\r|"},
        {"36 1E 36^ 1E", "Aa\r|"},
        {"3A 3A^ 1E 3A 3A^ 1E", "Aa\r|"},
    };
    for (const auto& [events, frames] : cases)
        EXPECT_EQ(typed(events), frames) << events;
    for (const uint16_t digit : {kKeypad0, kKeypad2, kKeypad9})
        EXPECT_EQ(typingMakeCode(static_cast<uint16_t>(kExtended | digit)), 0);
    EXPECT_EQ(typingMakeCode(kExtended | 0x1C), 0x1C);
    EXPECT_EQ(typingMakeCode(kExtended | 0x35), 0x35);
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
