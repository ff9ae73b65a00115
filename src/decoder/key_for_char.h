// The reverse of key decoding: which key stroke types a given byte.
#pragma once

#include <cstdint>
#include <string>

namespace dorvik {

struct KeyForChar {
    bool ok = false;
    uint16_t scancode = 0;
    bool shift = false;
    bool ctrl = false;
};

KeyForChar keyForChar(unsigned char c);
std::string keyForCharToJson(const KeyForChar& key);

} // namespace dorvik
