// The host kit's HID-POS reader: the report descriptor parser, the WebHID collections reader and the
// report and stream reader of a link, on any bytes.
//
// The first byte picks where the layout comes from: a raw descriptor from the input, WebHID collections
// JSON from the input, or one of two real-ish descriptors. The rest is a recording of reports. Properties:
// - a found layout reads its code on a byte boundary, inside the reports it declares, and the C call says
//   what the parser says (collections: what the descriptor they are written back as says);
// - a report's data without Byte Count never ends in its zero padding, and is no longer than the report;
// - a stream read in pieces gives the same frames, and skips as many bytes, as the stream read at once;
// - any mix of reports, keys, bytes, ticks and the end keeps the poll and the notices well formed, and after
//   the end nothing waits for time.
#include <algorithm>
#include <memory>
#include <string>

#include "dorvik_c.h"
#include "dorvik_host.h"
#include "fuzz_input.h"
#include "hid_pos_layout.h"
#include "link.h"

namespace {

using dorvik::host::LayoutStatus;
using dorvik::host::Link;

std::string bytesOf(std::initializer_list<int> bytes) {
    std::string out;
    for (const int b : bytes)
        out += static_cast<char>(b);
    return out;
}

// Report 2: Byte Count, three identifier characters, 56 bytes of data, two of the maker's, the continued
// bit; report 4: status. And: no report ids, 32 bytes of data, two identifier characters, continued byte.
const std::string kSeeds[] = {
    bytesOf({0x05, 0x8C, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x12, 0xA1, 0x02, 0x85, 0x02, 0x15, 0x00, 0x26,
             0xFF, 0x00, 0x75, 0x08, 0x95, 0x01, 0x05, 0x01, 0x09, 0x3B, 0x81, 0x02, 0x95, 0x03, 0x05,
             0x8C, 0x09, 0xFB, 0x09, 0xFC, 0x09, 0xFD, 0x81, 0x02, 0x95, 0x38, 0x09, 0xFE, 0x82, 0x02,
             0x01, 0x95, 0x02, 0x06, 0x66, 0xFF, 0x09, 0x01, 0x09, 0x02, 0x81, 0x02, 0x75, 0x01, 0x95,
             0x01, 0x25, 0x01, 0x05, 0x8C, 0x09, 0xFF, 0x81, 0x02, 0x75, 0x07, 0x81, 0x03, 0xC0, 0x09,
             0x15, 0xA1, 0x02, 0x85, 0x04, 0x75, 0x08, 0x95, 0x03, 0x09, 0x15, 0x81, 0x02, 0xC0, 0xC0}),
    bytesOf({0x05, 0x8C, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x20, 0x09, 0xFE, 0x81, 0x02, 0x95,
             0x02, 0x09, 0xFC, 0x09, 0xFD, 0x81, 0x02, 0x95, 0x01, 0x09, 0xFF, 0x81, 0x02, 0xC0})};

const char* const kProfiles[] = {"{}", "{\"aimId\": true, \"terminator\": \"\\r\\n\"}",
                                 "{\"terminator\": \"\", \"frameTimeoutMs\": 0}"};

// Up to eight slices of the input, as one text: a descriptor or a JSON longer than one slice.
std::string longSlice(FuzzInput& in) {
    std::string out;
    for (int pieces = in.byte() % 9; pieces > 0; --pieces)
        out += in.slice();
    return out;
}

uint64_t skippedBytes(const std::string& notices) {
    uint64_t total = 0;
    for (size_t at = notices.find("\"notice\":\"skipped\""); at != std::string::npos;
         at = notices.find("\"notice\":\"skipped\"", at + 1)) {
        const size_t bytes = notices.find("\"bytes\":", at);
        fuzzCheck(bytes != std::string::npos, "a notice says how many bytes");
        total += std::stoull(notices.substr(bytes + 8, 20));
    }
    return total;
}

void checkNotices(const std::string& notices) {
    fuzzCheck(notices.size() >= 2 && notices.front() == '[' && notices.back() == ']', "notices are an array");
}

void checkPoll(const std::string& poll) {
    fuzzCheck(poll.rfind("{\"scans\":[", 0) == 0 && poll.size() >= 2 &&
                  poll.compare(poll.size() - 2, 2, "]}") == 0 &&
                  poll.find("],\"frames\":[") != std::string::npos,
              "poll JSON shape");
}

// Decoders made once and reset for each input: a new one costs more than the rest of a run.
struct Decoders {
    using Owned = std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)>;
    Owned scratch{dvk_decoder_new(), &dvk_decoder_free};
    Owned whole{dvk_decoder_new(), &dvk_decoder_free};
    Owned pieces{dvk_decoder_new(), &dvk_decoder_free};
};

Decoders& decoders() {
    static Decoders made;
    return made;
}

int32_t statusCode(LayoutStatus status) {
    return status == LayoutStatus::Found ? 1 : status == LayoutStatus::NotHidPos ? 0 : -1;
}

void checkLayout(const dorvik::host::LayoutResult& found) {
    if (found.status != LayoutStatus::Found) return;
    const auto& layout = found.layout;
    fuzzCheck(layout.data.bitOffset % 8 == 0, "the data starts on a byte");
    size_t reportBytes = 0;
    bool declared = false;
    for (const auto& [id, bytes] : layout.inputReportBytes) {
        fuzzCheck(bytes <= 65536, "a report fits the cap");
        if (id == layout.reportId) declared = true, reportBytes = bytes;
    }
    fuzzCheck(declared, "the scanned-data report is declared");
    fuzzCheck(layout.data.bitOffset + layout.data.bits <= 8 * reportBytes, "the data lies inside its report");
    if (layout.byteCount)
        fuzzCheck(layout.byteCount->bitOffset + layout.byteCount->bits <= 8 * reportBytes, "count inside");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    std::string descriptor;
    if (mode % 3 == 0) {
        descriptor = longSlice(in);
    } else if (mode % 3 == 1) {
        const std::string json = longSlice(in);
        const auto written = dorvik::host::descriptorOfCollections(json);
        dvkh_link* link = dvkh_link_new(decoders().scratch.get(), "webhid", 0);
        const int32_t status = dvkh_link_hid_pos_collections(link, json.c_str());
        dvkh_link_free(link);
        if (json.find('\0') != std::string::npos) return 0; // the C call reads up to the NUL
        fuzzCheck(status == (written ? statusCode(dorvik::host::scannedDataLayoutOf(*written).status) : -1),
                  "the C call reads collections as the reader does");
        if (!written) return 0;
        descriptor = *written;
    } else {
        descriptor = kSeeds[(mode / 3) % 2];
    }
    const dorvik::host::LayoutResult found = dorvik::host::scannedDataLayoutOf(descriptor);
    checkLayout(found);

    const char* const profile = kProfiles[(mode / 6) % 3];
    const bool setUp = (mode & 0x80) != 0;
    dvk_decoder* const whole = decoders().whole.get();
    dvk_decoder* const pieces = decoders().pieces.get();
    for (dvk_decoder* d : {whole, pieces}) {
        dvk_decoder_reset(d);
        dvk_decoder_set_profile(d, profile);
    }
    Link a(pieces, "dev", setUp), b(whole, "dev", setUp);
    fuzzCheck(a.useDescriptor(descriptor) == found.status && b.useDescriptor(descriptor) == found.status,
              "a link takes the layout the parser finds");

    // The same recording in pieces and at once, at one time.
    std::string recording, notices;
    for (int n = in.byte() % 16; n > 0 && !in.empty(); --n) {
        const std::string piece = in.slice();
        recording += piece;
        a.stream(piece, 1000);
        notices += a.takeNotices();
    }
    b.stream(recording, 1000);
    const std::string whole_notices = b.takeNotices();
    checkNotices(whole_notices);
    fuzzCheck(skippedBytes(notices) == skippedBytes(whole_notices), "pieces skip what the whole skips");
    const std::string pollA = a.poll(), pollB = b.poll();
    checkPoll(pollA);
    fuzzCheck(pollA == pollB, "pieces frame as the whole does");

    // Reports straight from the layout's reader.
    if (found.status == LayoutStatus::Found) {
        const std::string report = in.slice();
        const auto scanned = dorvik::host::scannedDataOf(found.layout, found.layout.reportId, report);
        fuzzCheck(scanned.has_value(), "the scanned-data report is read");
        fuzzCheck(scanned->data.size() <= report.size(), "no more data than the report holds");
        if (!found.layout.byteCount)
            fuzzCheck(scanned->data.empty() || scanned->data.back() != '\0',
                      "the zero padding is no part of a code");
    }

    // Any mix of calls on one link.
    uint64_t t = 2000;
    while (!in.empty()) {
        const uint8_t op = in.byte();
        t += in.byte();
        switch (op % 8) {
        case 0: a.report(in.byte(), in.slice(), t); break;
        case 1: a.stream(in.slice(), t); break;
        case 2: {
            const uint16_t code = static_cast<uint16_t>(in.byte() | (in.byte() & 1 ? 0xE000 : 0));
            a.key(code, static_cast<dorvik::host::KeyAction>(op / 8 % 3), t);
            break;
        }
        case 3: a.bytes(in.slice(), t); break;
        case 4: a.tick(t); break;
        case 5:
            a.end(t);
            fuzzCheck(a.wakeAt() == -1, "nothing waits after the end");
            break;
        case 6: checkPoll(a.poll()); break;
        case 7: {
            const int64_t wake = a.wakeAt();
            fuzzCheck(wake == -1 || wake > 0, "a wake time is a time");
            checkNotices(a.takeNotices());
            break;
        }
        }
    }
    a.end(t + 1);
    checkNotices(a.takeNotices());
    checkPoll(a.poll());
    return 0;
}
