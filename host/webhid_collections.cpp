// WebHID hands a page the parsed items of a device's report descriptor (HIDDevice.collections), not the
// descriptor itself. Written back as descriptor items, in report order, they go through the same parser as
// the raw descriptor of a hidraw node.
#include <memory>
#include <set>
#include <vector>

#include "hid_pos_layout.h"
#include "json/json_reader.h"

namespace dorvik::host {

namespace {

// Deeper nesting than any device has is refused rather than recursed into.
constexpr int kMaxDepth = 32;

struct Value {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    double number = 0;
    bool boolean = false;
    // An array's items, or an object's values with their keys in `keys`. (A pair holding a Value inside
    // Value is a pair of an incomplete type, which libstdc++ refuses under clang; a vector of one is fine.)
    std::vector<Value> items;
    std::vector<std::string> keys;

    const Value* member(std::string_view key) const {
        for (size_t i = 0; i < keys.size() && i < items.size(); ++i)
            if (keys[i] == key) return &items[i];
        return nullptr;
    }
    double numberOf(std::string_view key) const {
        const Value* v = member(key);
        return v && v->kind == Number ? v->number : 0;
    }
    bool flagOf(std::string_view key) const {
        const Value* v = member(key);
        return v && v->kind == Bool && v->boolean;
    }
    const std::vector<Value>* arrayOf(std::string_view key) const {
        const Value* v = member(key);
        return v && v->kind == Array ? &v->items : nullptr;
    }
};

bool parseValue(JsonCursor& in, Value& out, int depth);

bool parseCompound(JsonCursor& in, Value& out, int depth) {
    const bool object = in.peek() == '{';
    const char close = object ? '}' : ']';
    out.kind = object ? Value::Object : Value::Array;
    ++in.pos;
    skipJsonSpace(in);
    if (!in.atEnd() && in.peek() == close) return ++in.pos, true;
    for (;;) {
        std::string key;
        if (object) {
            skipJsonSpace(in);
            if (!readJsonString(in, key)) return false;
            skipJsonSpace(in);
            if (in.atEnd() || in.peek() != ':') return false;
            ++in.pos;
        }
        Value item;
        if (!parseValue(in, item, depth + 1)) return false;
        if (object) out.keys.push_back(std::move(key));
        out.items.push_back(std::move(item));
        skipJsonSpace(in);
        if (in.atEnd()) return false;
        if (in.peek() == close) return ++in.pos, true;
        if (in.peek() != ',') return false;
        ++in.pos;
    }
}

bool parseValue(JsonCursor& in, Value& out, int depth) {
    skipJsonSpace(in);
    if (in.atEnd() || depth > kMaxDepth) return false;
    const char c = in.peek();
    if (c == '{' || c == '[') return parseCompound(in, out, depth);
    std::string text;
    double number = 0;
    bool boolean = false;
    switch (readJsonValue(in, text, number, boolean)) {
    case JsonKind::Number: out.kind = Value::Number, out.number = number; return true;
    case JsonKind::Bool: out.kind = Value::Bool, out.boolean = boolean; return true;
    case JsonKind::String: out.kind = Value::String; return true;
    case JsonKind::Null: return true;
    default: return false;
    }
}

uint32_t asUnsigned(double value) {
    return value >= 0 && value <= 4294967295.0 ? static_cast<uint32_t>(value) : 0;
}

void putItem(std::string& out, uint8_t prefix, uint32_t value) {
    out += static_cast<char>(prefix | 3); // four bytes of data: usages keep their page
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// One HIDReportItem as Report Size, Report Count, its usages and an Input item.
void putReportItem(std::string& out, const Value& item) {
    putItem(out, 0x74, asUnsigned(item.numberOf("reportSize")));
    putItem(out, 0x94, asUnsigned(item.numberOf("reportCount")));
    if (item.flagOf("isRange")) {
        putItem(out, 0x18, asUnsigned(item.numberOf("usageMinimum")));
        putItem(out, 0x28, asUnsigned(item.numberOf("usageMaximum")));
    } else if (const auto* usages = item.arrayOf("usages")) {
        for (const Value& usage : *usages)
            if (usage.kind == Value::Number) putItem(out, 0x08, asUnsigned(usage.number));
    }
    const uint32_t flags = (item.flagOf("isConstant") ? 0x001 : 0) | (item.flagOf("isArray") ? 0 : 0x002) |
                           (item.flagOf("isBufferedBytes") ? 0x100 : 0);
    putItem(out, 0x80, flags);
}

// A collection's input reports, then its children's; a report listed twice counts once.
void putCollection(std::string& out, const Value& collection, std::set<uint32_t>& seen, int depth) {
    if (depth > kMaxDepth) return;
    if (const auto* reports = collection.arrayOf("inputReports")) {
        for (const Value& report : *reports) {
            const uint32_t id = asUnsigned(report.numberOf("reportId"));
            if (!seen.insert(id).second) continue;
            if (id != 0) putItem(out, 0x84, id);
            if (const auto* items = report.arrayOf("items"))
                for (const Value& item : *items)
                    putReportItem(out, item);
        }
    }
    if (const auto* children = collection.arrayOf("children"))
        for (const Value& child : *children)
            putCollection(out, child, seen, depth + 1);
}

} // namespace

std::optional<std::string> descriptorOfCollections(std::string_view json) {
    JsonCursor in{json};
    Value collections;
    if (!parseValue(in, collections, 0) || collections.kind != Value::Array) return std::nullopt;
    skipJsonSpace(in);
    if (!in.atEnd()) return std::nullopt;
    std::string descriptor;
    std::set<uint32_t> seen;
    for (const Value& collection : collections.items)
        putCollection(descriptor, collection, seen, 0);
    return descriptor;
}

} // namespace dorvik::host
