#include "values.h"

#include <cmath>
#include <cstring>

namespace dvka {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point starting at text[i], moving i past it; kReplacement for a malformed or overlong sequence.
char32_t nextCodePoint(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i++);
    if (lead < 0x80) return lead;
    const int more = lead >= 0xF0 && lead <= 0xF4  ? 3
                     : lead >= 0xE0                ? 2
                     : lead >= 0xC2 && lead < 0xE0 ? 1
                                                   : -1;
    if (more < 0) return kReplacement;
    char32_t c = lead & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (byte(i++) & 0x3F);
    }
    const bool overlong = (more == 2 && c < 0x800) || (more == 3 && c < 0x10000);
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    return overlong || surrogate || c > 0x10FFFF ? kReplacement : c;
}

} // namespace

std::string utf8Of(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacement;
        appendUtf8(out, c);
    }
    return out;
}

std::u16string utf16Of(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = nextCodePoint(text, i);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::u16string_view viewOf(const WCHAR_T* text) {
    if (text == nullptr) return {};
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return {text, n};
}

void* PlatformMemory::allocate(size_t bytes) const {
    void* block = nullptr;
    if (manager_ == nullptr || bytes > 0xFFFFFFFFu) return nullptr;
    if (!manager_->table->AllocMemory(manager_, &block, static_cast<unsigned long>(bytes))) return nullptr;
    return block;
}

WCHAR_T* PlatformMemory::copy(std::u16string_view text) const {
    auto* block = static_cast<WCHAR_T*>(allocate((text.size() + 1) * sizeof(WCHAR_T)));
    if (block == nullptr) return nullptr;
    if (!text.empty()) std::memcpy(block, text.data(), text.size() * sizeof(WCHAR_T));
    block[text.size()] = 0;
    return block;
}

std::optional<std::string> textOf(const tVariant& value) {
    if (value.vt == VTYPE_PWSTR)
        return value.wstr.pwstrVal == nullptr ? std::string()
                                              : utf8Of({value.wstr.pwstrVal, value.wstr.wstrLen});
    if (value.vt == VTYPE_PSTR)
        return value.str.pstrVal == nullptr ? std::string()
                                            : std::string(value.str.pstrVal, value.str.strLen);
    return std::nullopt;
}

std::optional<bool> flagOf(const tVariant& value) {
    if (value.vt == VTYPE_BOOL) return value.bVal;
    return std::nullopt;
}

std::optional<double> numberOf(const tVariant& value) {
    switch (value.vt) {
    case VTYPE_I1: return value.i8Val;
    case VTYPE_I2: return value.shortVal;
    case VTYPE_I4: return value.lVal;
    case VTYPE_INT: return value.intVal;
    case VTYPE_UI1: return value.ui8Val;
    case VTYPE_UI2: return value.ushortVal;
    case VTYPE_UI4: return value.ulVal;
    case VTYPE_UINT: return value.uintVal;
    case VTYPE_I8: return static_cast<double>(value.llVal);
    case VTYPE_UI8: return static_cast<double>(value.ullVal);
    case VTYPE_R4: return std::isfinite(value.fltVal) ? std::optional<double>(value.fltVal) : std::nullopt;
    case VTYPE_R8: return std::isfinite(value.dblVal) ? std::optional<double>(value.dblVal) : std::nullopt;
    default: return std::nullopt;
    }
}

void clear(tVariant& value) {
    std::memset(static_cast<void*>(&value), 0, sizeof value);
    value.vt = VTYPE_EMPTY;
}

bool setText(tVariant& value, std::string_view utf8, const PlatformMemory& memory) {
    const std::u16string text = utf16Of(utf8);
    WCHAR_T* block = memory.copy(text);
    clear(value);
    if (block == nullptr) return false;
    value.wstr.pwstrVal = block;
    value.wstr.wstrLen = static_cast<uint32_t>(text.size());
    value.vt = VTYPE_PWSTR;
    return true;
}

bool setBinary(tVariant& value, std::string_view bytes, const PlatformMemory& memory) {
    clear(value);
    char* block = static_cast<char*>(memory.allocate(bytes.size() == 0 ? 1 : bytes.size()));
    if (block == nullptr) return false;
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    value.str.pstrVal = block;
    value.str.strLen = static_cast<uint32_t>(bytes.size());
    value.vt = VTYPE_BLOB;
    return true;
}

void setFlag(tVariant& value, bool flag) {
    clear(value);
    value.bVal = flag;
    value.vt = VTYPE_BOOL;
}

void setNumber(tVariant& value, int32_t number) {
    clear(value);
    value.lVal = number;
    value.vt = VTYPE_I4;
}

} // namespace dvka
