// Where a HID-POS bar code scanner puts a scanned code in its input report, found in its report descriptor.
//
// The USB HID usage tables give bar code scanners usage page 0x8C. A Scanned Data Report holds Decoded Data
// (0x8C:0xFE, the code's bytes, padded with zeros), Symbology Identifier 1 to 3 (0x8C:0xFB-0xFD, the AIM
// identifier), Decode Data Continued (0x8C:0xFF, more reports of this code follow) and usually Byte Count
// (Generic Desktop 0x01:0x3B, how many of the data bytes are the code's). Makers order and size these fields
// differently, declare them by single usages or by ranges, and add fields of their own pages, so nothing is
// assumed about where they are: the descriptor says. Without Byte Count the data ends at its zero padding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dorvik::host {

struct HidField {
    size_t bitOffset = 0; // from the start of the report, after its report id byte
    size_t bits = 0;
};

struct ScannedDataLayout {
    uint8_t reportId = 0; // 0: the device numbers no reports, and reads carry no id byte
    HidField data;
    std::optional<HidField> byteCount;
    std::optional<HidField> continued;
    std::vector<HidField> symbology; // the identifier's characters in order
    // The size in bytes of every input report, by id, to split a stream of reports.
    std::vector<std::pair<uint8_t, size_t>> inputReportBytes;
};

enum class LayoutStatus { Found, NotHidPos, Corrupt };

struct LayoutResult {
    LayoutStatus status = LayoutStatus::Corrupt;
    ScannedDataLayout layout;
};

// The scanned-data report of a raw report descriptor.
LayoutResult scannedDataLayoutOf(std::string_view descriptor);

// The descriptor that WebHID's HIDDevice.collections (as JSON) describe; nullopt when the JSON is not such a
// list. WebHID hands over the parsed items, not the descriptor: writing them back as one lets a single
// parser read both.
std::optional<std::string> descriptorOfCollections(std::string_view json);

struct ScannedData {
    std::string aim; // "]E0"; empty when the report carries none
    std::string data;
    bool continued = false;
};

// One report's data (without its id byte); nullopt for another report.
std::optional<ScannedData> scannedDataOf(const ScannedDataLayout& layout, uint8_t reportId,
                                         std::string_view data);

// The size of the report that a stream's next bytes begin (its id byte included); 0 when they begin none.
size_t reportSizeAt(const ScannedDataLayout& layout, std::string_view stream);

} // namespace dorvik::host
