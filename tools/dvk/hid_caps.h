// Windows reads a HID device's report layout through its HID parser, which gives capabilities
// (HIDP_VALUE_CAPS, HIDP_BUTTON_CAPS) and never the report descriptor. Written as WebHID's
// HIDDevice.collections, they go to the host kit's link, whose one parser reads every form of the layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What places one input capability in its report: the members of HIDP_VALUE_CAPS and HIDP_BUTTON_CAPS that
// matter, and where the host found the field when it could tell (the parser keeps padding to itself).
struct HidCaps {
    uint8_t reportId = 0;
    uint16_t usagePage = 0;
    bool isRange = false;
    uint16_t usageMin = 0; // NotRange.Usage in both when not a range
    uint16_t usageMax = 0;
    uint16_t dataIndex =
        0; // NotRange.DataIndex or Range.DataIndexMin: the parser numbers fields in report order
    uint16_t bitField = 0; // the main item's flags: 1 constant, 2 variable, 0x100 buffered bytes
    uint16_t bitSize = 0;  // 1 for a button of a variable item; 0 where the parser does not say (array items)
    uint16_t reportCount = 0;
    std::optional<uint32_t> bitOffset; // from the start of the report, after its id byte
};

// The JSON of one top-level collection whose input reports hold these capabilities, for
// dvkh_link_hid_pos_collections. `reportBytes` is HIDP_CAPS.InputReportByteLength (the id byte included),
// which bounds a field of unknown size at the end of a report.
std::string collectionsOfCaps(std::vector<HidCaps> caps, size_t reportBytes);
