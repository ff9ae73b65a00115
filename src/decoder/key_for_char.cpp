#include "decoder/key_for_char.h"

#include "decoder/key_table.h"
#include "json/json_writer.h"

namespace dorvik {

KeyForChar keyForChar(unsigned char c) {
    if (c == '\r') return {true, kScanEnter, false, false};
    if (c == '\t') return {true, kScanTab, false, false};
    if (c >= 0x20) {
        for (const KeyEntry& key : keyTable()) {
            if (static_cast<unsigned char>(key.plain) == c) return {true, key.scanCode, false, false};
            if (static_cast<unsigned char>(key.shifted) == c) return {true, key.scanCode, true, false};
        }
        return {};
    }
    // A control byte is typed as Ctrl with the key whose character is the byte + 0x40.
    const char wanted = upperAscii(static_cast<char>(c + 0x40));
    for (const KeyEntry& key : keyTable()) {
        if (upperAscii(key.plain) == wanted) return {true, key.scanCode, false, true};
    }
    return {};
}

std::string keyForCharToJson(const KeyForChar& key) {
    return jsonText([&key](auto& out) {
        out.text("{\"ok\":");
        out.boolean(key.ok);
        out.text(",\"scancode\":");
        out.number(uint64_t{key.scancode});
        out.text(",\"shift\":");
        out.boolean(key.shift);
        out.text(",\"ctrl\":");
        out.boolean(key.ctrl);
        out.text("}");
    });
}

} // namespace dorvik
