// The capabilities come in the parser's order (the usages of one main item in reverse, values apart from
// buttons); the data indices give the report's order. Aliased usages share a data index and one field.
#include "hid_caps.h"

#include <algorithm>

namespace {

std::string usageOf(uint16_t page, uint16_t usage) {
    return std::to_string(static_cast<uint32_t>(page) << 16 | usage);
}

// Appends one HIDReportItem to a list of them.
void putItem(std::string& items, uint64_t size, uint32_t count, const std::string& usages,
             uint16_t bitField) {
    if (!items.empty()) items += ',';
    items += "{\"reportSize\":";
    items += std::to_string(size);
    items += ",\"reportCount\":";
    items += std::to_string(count);
    items += usages;
    items += (bitField & 1) ? ",\"isConstant\":true" : ",\"isConstant\":false";
    items += (bitField & 2) ? ",\"isArray\":false" : ",\"isArray\":true";
    items += (bitField & 0x100) ? ",\"isBufferedBytes\":true}" : ",\"isBufferedBytes\":false}";
}

} // namespace

std::string collectionsOfCaps(std::vector<HidCaps> caps, size_t reportBytes) {
    std::stable_sort(caps.begin(), caps.end(),
                     [](const HidCaps& a, const HidCaps& b) { return a.dataIndex < b.dataIndex; });
    caps.erase(std::unique(caps.begin(), caps.end(),
                           [](const HidCaps& a, const HidCaps& b) { return a.dataIndex == b.dataIndex; }),
               caps.end());
    std::vector<uint8_t> ids; // in the order of their first field
    for (const HidCaps& cap : caps)
        if (std::find(ids.begin(), ids.end(), cap.reportId) == ids.end()) ids.push_back(cap.reportId);
    const uint64_t reportBits = reportBytes > 1 ? (reportBytes - 1) * 8 : 0;
    std::string reports;
    for (const uint8_t id : ids) {
        std::vector<const HidCaps*> fields;
        for (const HidCaps& cap : caps)
            if (cap.reportId == id) fields.push_back(&cap);
        std::string items;
        uint64_t at = 0;
        for (size_t i = 0; i < fields.size(); ++i) {
            const HidCaps& cap = *fields[i];
            const uint64_t start = std::max<uint64_t>(at, cap.bitOffset.value_or(0));
            if (start > at) putItem(items, start - at, 1, "", 3); // padding: constant, variable
            const uint32_t rangeSize = cap.isRange && cap.usageMax >= cap.usageMin
                                           ? static_cast<uint32_t>(cap.usageMax - cap.usageMin) + 1
                                           : 1;
            const uint32_t count = cap.reportCount > 0 ? cap.reportCount : rangeSize;
            uint64_t size = cap.bitSize;
            if (size ==
                0) { // the room up to the next field the host found, or to the end of the longest report
                uint64_t end = reportBits;
                for (size_t j = i + 1; j < fields.size(); ++j)
                    if (fields[j]->bitOffset) {
                        end = *fields[j]->bitOffset;
                        break;
                    }
                size = end > start ? (end - start) / count : 0;
            }
            std::string usages;
            if (cap.isRange) {
                usages = ",\"isRange\":true,\"usageMinimum\":";
                usages += usageOf(cap.usagePage, cap.usageMin);
                usages += ",\"usageMaximum\":";
                usages += usageOf(cap.usagePage, cap.usageMax);
            } else {
                usages = ",\"usages\":[";
                usages += usageOf(cap.usagePage, cap.usageMin);
                usages += ']';
            }
            putItem(items, size, count, usages, cap.bitField);
            at = start + size * count;
        }
        if (!reports.empty()) reports += ',';
        reports += "{\"reportId\":";
        reports += std::to_string(id);
        reports += ",\"items\":[";
        reports += items;
        reports += "]}";
    }
    std::string out = "[{\"inputReports\":[";
    out += reports;
    out += "],\"children\":[]}]";
    return out;
}
