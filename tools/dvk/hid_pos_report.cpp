#include "hid_pos_report.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

constexpr uint32_t kScannerPage = 0x8C;
constexpr uint32_t kDecodedData = kScannerPage << 16 | 0xFE;
constexpr uint32_t kDataContinued = kScannerPage << 16 | 0xFF;
constexpr uint32_t kFirstSymbologyId = kScannerPage << 16 | 0xFB;
constexpr uint32_t kByteCount = 0x01u << 16 | 0x3B;

struct Field {
    uint8_t reportId;
    HidField at;
    uint32_t usage;
};

uint64_t bitsAt(std::string_view bytes, const HidField& field) {
    uint64_t value = 0;
    for (size_t i = 0; i < field.bits && i < 64; ++i) {
        const size_t bit = field.bitOffset + i;
        if (bit / 8 < bytes.size() && (static_cast<uint8_t>(bytes[bit / 8]) >> (bit % 8) & 1))
            value |= uint64_t{1} << i;
    }
    return value;
}

// Every input field of the descriptor with its usage; nullopt for an item that runs past the end.
std::optional<std::vector<Field>> inputFieldsOf(std::string_view d, std::map<uint8_t, size_t>& reportBits) {
    std::vector<Field> fields;
    uint32_t page = 0, reportSize = 0, reportCount = 0;
    uint8_t reportId = 0;
    std::vector<uint32_t> usages;
    std::vector<std::array<uint32_t, 4>> stack; // Push and Pop of the globals above
    for (size_t at = 0; at < d.size();) {
        const auto prefix = static_cast<uint8_t>(d[at]);
        if (prefix == 0xFE) { // a long item: its size, its tag, its data
            if (at + 1 >= d.size()) return std::nullopt;
            at += 3 + static_cast<uint8_t>(d[at + 1]);
            continue;
        }
        const size_t size = (prefix & 3) == 3 ? 4 : prefix & 3;
        if (at + 1 + size > d.size()) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value |= static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1 + i])) << (8 * i);
        at += 1 + size;
        const int type = prefix >> 2 & 3, tag = prefix >> 4;
        if (type == 1) { // global
            if (tag == 0) page = value;
            if (tag == 7) reportSize = value;
            if (tag == 8) reportId = static_cast<uint8_t>(value);
            if (tag == 9) reportCount = value;
            if (tag == 10) stack.push_back({page, reportSize, reportCount, reportId});
            if (tag == 11 && !stack.empty()) {
                page = stack.back()[0], reportSize = stack.back()[1], reportCount = stack.back()[2];
                reportId = static_cast<uint8_t>(stack.back()[3]);
                stack.pop_back();
            }
        } else if (type == 2 && tag == 0) { // a usage; four bytes name their page
            usages.push_back(size == 4 ? value : page << 16 | value);
        } else if (type == 0) {
            if (tag == 8 && reportSize <= 64 && reportCount <= 4096) { // an input item
                size_t& offset = reportBits[reportId];
                // Buffered bytes, or an array, are one field; variables take a usage each, the last repeated.
                const bool oneField = (value & 0x100) != 0 || (value & 2) == 0;
                const size_t count = oneField ? 1 : reportCount;
                const size_t bits = oneField ? size_t{reportSize} * reportCount : reportSize;
                for (size_t i = 0; i < count; ++i) {
                    const uint32_t usage = usages.empty() ? 0 : usages[std::min(i, usages.size() - 1)];
                    if ((value & 1) == 0) fields.push_back({reportId, {offset, bits}, usage});
                    offset += bits;
                }
            }
            usages.clear(); // locals belong to one main item
        }
    }
    return fields;
}

} // namespace

std::optional<ScannedDataLayout> scannedDataLayoutOf(std::string_view descriptor) {
    std::map<uint8_t, size_t> reportBits;
    const auto fields = inputFieldsOf(descriptor, reportBits);
    if (!fields) return std::nullopt;
    const auto data =
        std::find_if(fields->begin(), fields->end(), [](const Field& f) { return f.usage == kDecodedData; });
    if (data == fields->end()) return std::nullopt;
    ScannedDataLayout layout;
    layout.reportId = data->reportId;
    layout.reportBytes = (reportBits[data->reportId] + 7) / 8;
    for (const auto& [id, bits] : reportBits)
        layout.inputReportBytes.emplace_back(id, (bits + 7) / 8);
    size_t dataEnd = 0;
    layout.data.bitOffset = data->at.bitOffset;
    for (const Field& f : *fields) {
        if (f.reportId != layout.reportId) continue;
        if (f.usage == kDecodedData) dataEnd = std::max(dataEnd, f.at.bitOffset + f.at.bits);
        if (f.usage == kByteCount) layout.byteCount = f.at;
        if (f.usage == kDataContinued) layout.continued = f.at;
        if (f.usage >= kFirstSymbologyId && f.usage < kFirstSymbologyId + 3) layout.symbology.push_back(f.at);
    }
    layout.data.bits = dataEnd - layout.data.bitOffset;
    if (layout.data.bitOffset % 8 != 0) return std::nullopt; // no maker packs a code's bytes off the byte
    return layout;
}

std::optional<ScannedData> scannedDataOf(const ScannedDataLayout& layout, std::string_view report) {
    if (layout.reportId != 0) {
        if (report.empty() || static_cast<uint8_t>(report[0]) != layout.reportId) return std::nullopt;
        report.remove_prefix(1);
    }
    ScannedData out;
    const size_t start = layout.data.bitOffset / 8;
    size_t length = start < report.size() ? std::min(layout.data.bits / 8, report.size() - start) : 0;
    if (layout.byteCount) {
        length = std::min<uint64_t>(length, bitsAt(report, *layout.byteCount));
    } else {
        while (length > 0 && report[start + length - 1] == '\0')
            --length;
    }
    out.data = std::string(report.substr(std::min(start, report.size()), length));
    // Some makers send the identifier's "]" too, others only its two characters.
    std::string aim;
    for (const HidField& f : layout.symbology)
        if (const auto c = static_cast<char>(bitsAt(report, f)); c != '\0') aim += c;
    if (!aim.empty()) out.aim = aim[0] == ']' ? aim : std::string(1, ']') + aim;
    out.continued = layout.continued && bitsAt(report, *layout.continued) != 0;
    return out;
}
