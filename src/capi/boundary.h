// The pattern every export follows: normalise the arguments, run the C++ inside a catch-all, copy the
// result once into a malloc'd block that the host releases with dvk_free.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace dorvik {

inline std::string_view textArg(const char* text) { return text == nullptr ? std::string_view() : text; }

inline std::string_view textArg(const char* text, int32_t length) {
    if (text == nullptr) return {};
    if (length < 0) return text;
    return {text, static_cast<size_t>(length)};
}

// Null when the block cannot be allocated.
inline char* toCText(std::string_view text) noexcept {
    auto* block = static_cast<char*>(std::malloc(text.size() + 1));
    if (block == nullptr) return nullptr;
    if (!text.empty()) std::memcpy(block, text.data(), text.size());
    block[text.size()] = '\0';
    return block;
}

// No exception may cross the boundary: whatever throws inside yields the fallback.
template <typename Result, typename Body> Result guard(Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename Body> void guardVoid(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

} // namespace dorvik
