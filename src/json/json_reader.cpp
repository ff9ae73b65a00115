#include "json/json_reader.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace dorvik {

void skipJsonSpace(JsonCursor& cursor) {
    while (!cursor.atEnd()) {
        const char c = cursor.peek();
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return;
        ++cursor.pos;
    }
}

static void appendUtf8(std::string& out, unsigned codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool readJsonString(JsonCursor& cursor, std::string& out) {
    out.clear();
    if (cursor.atEnd() || cursor.peek() != '"') return false;
    ++cursor.pos;
    const std::string_view text = cursor.text;
    while (cursor.pos < text.size()) {
        const char c = text[cursor.pos++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (cursor.pos >= text.size()) return false;
        const char escape = text[cursor.pos++];
        switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            if (text.size() - cursor.pos < 4) return false;
            // The four characters are consumed whatever they hold; the value stops at the first non-hex one.
            unsigned codePoint = 0;
            for (size_t i = 0; i < 4; ++i) {
                const int digit = hexValue(text[cursor.pos + i]);
                if (digit < 0) break;
                codePoint = codePoint * 16 + static_cast<unsigned>(digit);
            }
            cursor.pos += 4;
            appendUtf8(out, codePoint);
            break;
        }
        default: return false;
        }
    }
    return false;
}

bool skipJsonCompound(JsonCursor& cursor) {
    if (cursor.atEnd()) return false;
    const char open = cursor.peek();
    if (open != '{' && open != '[') return false;
    const char close = open == '{' ? '}' : ']';
    size_t depth = 0;
    std::string scratch;
    while (!cursor.atEnd()) {
        const char c = cursor.peek();
        if (c == '"') {
            if (!readJsonString(cursor, scratch)) return false;
            continue;
        }
        ++cursor.pos;
        if (c == open) {
            ++depth;
        } else if (c == close) {
            if (--depth == 0) return true;
        }
    }
    return false;
}

double parseJsonNumber(std::string_view run) {
    bool negative = false;
    size_t start = 0;
    if (!run.empty() && (run[0] == '+' || run[0] == '-')) {
        negative = run[0] == '-';
        start = 1;
    }
    // A second sign leaves no valid prefix, as with strtod.
    if (start < run.size() && (run[start] == '+' || run[start] == '-')) return 0.0;
    // strtod rounds correctly on every platform but reads the C library's locale: the run goes in with its
    // full stop spelt as that locale's decimal point, so that a till under a comma locale reads 1.5 too.
    const std::string_view point = std::localeconv()->decimal_point;
    std::string text;
    text.reserve(run.size() - start + point.size());
    for (const char c : run.substr(start)) {
        if (c == '.')
            text += point;
        else
            text += c;
    }
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return 0.0;
    if (errno == ERANGE) value = std::fabs(value) < 1.0 ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -value : value;
}

static bool isNumberByte(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

JsonKind readJsonValue(JsonCursor& cursor, std::string& outString, double& outNumber, bool& outBool) {
    skipJsonSpace(cursor);
    if (cursor.atEnd()) return JsonKind::Failure;
    const char c = cursor.peek();
    if (c == '"') return readJsonString(cursor, outString) ? JsonKind::String : JsonKind::Failure;
    if (c == '{' || c == '[') return skipJsonCompound(cursor) ? JsonKind::Compound : JsonKind::Failure;
    const std::string_view rest = cursor.text.substr(cursor.pos);
    if (rest.starts_with("true")) {
        cursor.pos += 4;
        outBool = true;
        return JsonKind::Bool;
    }
    if (rest.starts_with("false")) {
        cursor.pos += 5;
        outBool = false;
        return JsonKind::Bool;
    }
    if (rest.starts_with("null")) {
        cursor.pos += 4;
        return JsonKind::Null;
    }
    size_t length = 0;
    while (length < rest.size() && isNumberByte(rest[length]))
        ++length;
    if (length == 0) return JsonKind::Failure;
    outNumber = parseJsonNumber(rest.substr(0, length));
    cursor.pos += length;
    return JsonKind::Number;
}

bool walkJsonObject(std::string_view text, const std::function<void(const JsonMember&)>& onMember) {
    JsonCursor cursor{text, 0};
    skipJsonSpace(cursor);
    if (cursor.atEnd() || cursor.peek() != '{') return false;
    ++cursor.pos;
    std::string key;
    std::string value;
    for (;;) {
        skipJsonSpace(cursor);
        if (cursor.atEnd()) return false;
        const char c = cursor.peek();
        if (c == '}') return true;
        if (c == ',') {
            ++cursor.pos;
            continue;
        }
        if (!readJsonString(cursor, key)) return false;
        skipJsonSpace(cursor);
        if (cursor.atEnd() || cursor.peek() != ':') return false;
        ++cursor.pos;
        double number = 0.0;
        bool boolean = false;
        value.clear();
        const JsonKind kind = readJsonValue(cursor, value, number, boolean);
        if (kind == JsonKind::Failure) return false;
        onMember(JsonMember{key, kind, value, number, boolean});
    }
}

} // namespace dorvik
