#include "hid_pos_layout.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>

namespace dorvik::host {

namespace {

constexpr uint32_t kScannerPage = 0x8C;
constexpr uint32_t kDecodedData = kScannerPage << 16 | 0xFE;
constexpr uint32_t kDataContinued = kScannerPage << 16 | 0xFF;
constexpr uint32_t kFirstSymbologyId = kScannerPage << 16 | 0xFB;
constexpr uint32_t kByteCount = 0x01u << 16 | 0x3B;
// No report is longer: a USB transfer of a full-speed device is 64 bytes, of a high-speed one 1024 (3 in a
// frame). The cap keeps a hostile descriptor's sizes from overflowing the offsets.
constexpr size_t kMaxReportBits = 8 * 65536;

struct Field {
    uint8_t reportId;
    HidField at;
    uint32_t usage;
};

// The usages of one main item: single ones in order, then a range's.
struct Usages {
    std::vector<uint32_t> single;
    std::optional<uint32_t> minimum, maximum;

    // The usage of the item's first field: its first single usage, else the range's first.
    uint32_t first() const {
        if (!single.empty()) return single[0];
        return minimum && maximum && *maximum >= *minimum ? *minimum : 0;
    }
    bool covers(uint32_t usage) const {
        return std::find(single.begin(), single.end(), usage) != single.end() ||
               (minimum && maximum && usage >= *minimum && usage <= *maximum);
    }
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

// The usages a layout is made of, in ascending order (which is the order of their fields in a range).
constexpr uint32_t kWanted[] = {kByteCount,   kFirstSymbologyId, kFirstSymbologyId + 1, kFirstSymbologyId + 2,
                                kDecodedData, kDataContinued};

bool wanted(uint32_t usage) {
    return std::find(std::begin(kWanted), std::end(kWanted), usage) != std::end(kWanted);
}

// The fields of a variable item of `count` fields that have a wanted usage, in order, as `put(index, usage)`.
// A range can be four billion usages long and a count as large, so neither is walked field by field: a
// wanted usage of the range is put where it falls, and the run of fields that repeat the last usage gives
// its first and last field only (all a layout reads of a run: where the data starts and ends, the last
// flag or count).
template <typename Put> void variableFields(const Usages& usages, uint64_t count, Put&& put) {
    const uint64_t singles = std::min<uint64_t>(count, usages.single.size());
    for (uint64_t i = 0; i < singles; ++i)
        if (wanted(usages.single[i])) put(static_cast<size_t>(i), usages.single[i]);
    if (count <= singles) return;
    uint64_t runFrom = singles; // the first field of the run that repeats `last`
    uint32_t last = usages.single.empty() ? 0 : usages.single.back();
    if (usages.minimum && usages.maximum && *usages.maximum >= *usages.minimum) {
        const uint32_t low = *usages.minimum, high = *usages.maximum;
        for (const uint32_t usage : kWanted)
            if (usage >= low && usage < high && singles + (usage - low) < count)
                put(static_cast<size_t>(singles + (usage - low)), usage);
        runFrom = singles + (uint64_t{high} - low);
        last = high;
        if (runFrom >= count) return;
    }
    if (!wanted(last)) return;
    put(static_cast<size_t>(runFrom), last);
    if (count - 1 > runFrom) put(static_cast<size_t>(count - 1), last);
}

// Every input field of the descriptor with a wanted usage; nullopt for a malformed descriptor.
std::optional<std::vector<Field>> inputFieldsOf(std::string_view d, std::map<uint8_t, size_t>& reportBits) {
    std::vector<Field> fields;
    uint32_t page = 0, reportSize = 0, reportCount = 0;
    uint8_t reportId = 0;
    Usages usages;
    std::vector<std::array<uint32_t, 4>> stack; // Push and Pop of the globals above
    for (size_t at = 0; at < d.size();) {
        const auto prefix = static_cast<uint8_t>(d[at]);
        if (prefix == 0xFE) { // a long item: its data size, its tag, its data; no long item is defined
            if (at + 3 > d.size() || at + 3 + static_cast<uint8_t>(d[at + 1]) > d.size()) return std::nullopt;
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
        // A local usage of fewer than four bytes is on the current page.
        const uint32_t usage = size == 4 ? value : page << 16 | value;
        if (type == 1) { // global
            if (tag == 0) page = value;
            if (tag == 7) reportSize = value;
            if (tag == 8) {
                if (value == 0 || value > 0xFF) return std::nullopt; // id 0 is reserved
                reportId = static_cast<uint8_t>(value);
            }
            if (tag == 9) reportCount = value;
            if (tag == 10) stack.push_back({page, reportSize, reportCount, reportId});
            if (tag == 11) {
                if (stack.empty()) return std::nullopt;
                page = stack.back()[0], reportSize = stack.back()[1], reportCount = stack.back()[2];
                reportId = static_cast<uint8_t>(stack.back()[3]);
                stack.pop_back();
            }
        } else if (type == 2) { // local
            if (tag == 0) usages.single.push_back(usage);
            if (tag == 1) usages.minimum = usage;
            if (tag == 2) usages.maximum = usage;
        } else if (type == 0) {
            if (tag == 8) { // an input item
                size_t& offset = reportBits[reportId];
                const uint64_t itemBits = uint64_t{reportSize} * reportCount;
                if (reportSize > kMaxReportBits || itemBits > kMaxReportBits - offset) return std::nullopt;
                // Buffered bytes, or an array, are one field; variables take a usage each.
                const bool oneField = (value & 0x100) != 0 || (value & 2) == 0;
                if ((value & 1) == 0 && oneField) {
                    // An array lists what it may report; the field is the scanner's when it names one.
                    const uint32_t named = usages.covers(kDecodedData) ? kDecodedData : usages.first();
                    fields.push_back({reportId, {offset, static_cast<size_t>(itemBits)}, named});
                } else if ((value & 1) == 0 && reportSize <= 64) {
                    variableFields(usages, reportCount, [&](size_t i, uint32_t usage) {
                        fields.push_back({reportId, {offset + i * reportSize, reportSize}, usage});
                    });
                }
                offset += static_cast<size_t>(itemBits);
            }
            usages = {}; // locals belong to one main item
        }
    }
    return fields;
}

} // namespace

LayoutResult scannedDataLayoutOf(std::string_view descriptor) {
    LayoutResult result;
    std::map<uint8_t, size_t> reportBits;
    const auto fields = inputFieldsOf(descriptor, reportBits);
    if (!fields) return result;
    result.status = LayoutStatus::NotHidPos;
    const auto data =
        std::find_if(fields->begin(), fields->end(), [](const Field& f) { return f.usage == kDecodedData; });
    if (data == fields->end()) return result;
    ScannedDataLayout& layout = result.layout;
    layout.reportId = data->reportId;
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
    // No maker packs a code's bytes off the byte; such a descriptor describes something else.
    if (layout.data.bitOffset % 8 != 0)
        result.status = LayoutStatus::Corrupt;
    else
        result.status = LayoutStatus::Found;
    return result;
}

std::optional<ScannedData> scannedDataOf(const ScannedDataLayout& layout, uint8_t reportId,
                                         std::string_view report) {
    if (reportId != layout.reportId) return std::nullopt;
    ScannedData out;
    const size_t start = std::min(layout.data.bitOffset / 8, report.size());
    const size_t room = std::min(layout.data.bits / 8, report.size() - start);
    size_t length = room;
    const uint64_t count = layout.byteCount ? bitsAt(report, *layout.byteCount) : room + 1;
    if (count <= room) {
        length = static_cast<size_t>(count);
    } else {
        // No count, or one the field cannot hold: the code ends at its zero padding.
        while (length > 0 && report[start + length - 1] == '\0')
            --length;
    }
    out.data = std::string(report.substr(start, length));
    // Some makers send the identifier's "]" too, others only its two characters.
    std::string aim;
    for (const HidField& f : layout.symbology)
        if (const auto c = static_cast<char>(bitsAt(report, f)); c != '\0') aim += c;
    if (!aim.empty()) out.aim = aim[0] == ']' ? aim : std::string(1, ']') + aim;
    out.continued = layout.continued && bitsAt(report, *layout.continued) != 0;
    return out;
}

size_t reportSizeAt(const ScannedDataLayout& layout, std::string_view stream) {
    if (stream.empty()) return 0;
    const bool numbered = layout.reportId != 0;
    const uint8_t id = numbered ? static_cast<uint8_t>(stream[0]) : 0;
    for (const auto& [reportId, bytes] : layout.inputReportBytes)
        if (reportId == id) return bytes + numbered;
    return 0;
}

} // namespace dorvik::host
