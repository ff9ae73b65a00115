#include "json_reader.h"

#include <cstring>
#include <stdexcept>

#include "texts.h"

namespace dvkhost {

bool JsonCursor::find(const std::string& token) {
    const size_t at = text_.find(token, pos_);
    if (at == std::string::npos) return false;
    pos_ = at + token.size();
    return true;
}

void JsonCursor::expect(char c) {
    if (!peek(c)) throw std::runtime_error(text("json.expected", {std::string(1, c)}));
    ++pos_;
}

void JsonCursor::skipSpace() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t'))
        ++pos_;
}

bool JsonCursor::word(const std::string& w) {
    if (text_.compare(pos_, w.size(), w) != 0) return false;
    pos_ += w.size();
    return true;
}

std::string JsonCursor::string() {
    expect('"');
    std::string out;
    while (pos_ < text_.size() && text_[pos_] != '"') {
        char c = text_[pos_++];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos_ >= text_.size()) throw std::runtime_error(text("json.unterminated"));
        c = text_[pos_++];
        switch (c) {
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            if (pos_ + 4 > text_.size()) throw std::runtime_error(text("json.shortEscape"));
            const unsigned code = static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16));
            pos_ += 4;
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else if (code < 0x800) {
                out += static_cast<char>(0xC0 | (code >> 6));
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (code >> 12));
                out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            }
            break;
        }
        default: out += c;
        }
    }
    if (pos_ >= text_.size()) throw std::runtime_error(text("json.unterminated"));
    expect('"');
    return out;
}

uint64_t JsonCursor::number() {
    uint64_t value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
        value = value * 10 + static_cast<uint64_t>(text_[pos_++] - '0');
    return value;
}

std::string JsonCursor::token() {
    const size_t start = pos_;
    while (pos_ < text_.size() && std::strchr(",}] \t\r\n\"", text_[pos_]) == nullptr)
        ++pos_;
    return text_.substr(start, pos_ - start);
}

std::string JsonCursor::compound() {
    const size_t start = pos_;
    int depth = 0;
    do {
        if (peek('"')) {
            string();
            continue;
        }
        const char c = text_.at(pos_++);
        if (c == '{' || c == '[') ++depth;
        if (c == '}' || c == ']') --depth;
    } while (depth > 0);
    return text_.substr(start, pos_ - start);
}

std::string jsonStringField(const std::string& json, const std::string& key) {
    JsonCursor at(json);
    if (!at.find("\"" + key + "\":")) return "";
    at.skipSpace();
    return at.peek('"') ? at.string() : "";
}

std::vector<std::string> jsonStringArrayField(const std::string& json, const std::string& key) {
    std::vector<std::string> out;
    JsonCursor at(json);
    if (!at.find("\"" + key + "\":[")) return out;
    while (at.peek('"')) {
        out.push_back(at.string());
        if (at.peek(',')) at.expect(',');
    }
    return out;
}

std::string jsonScalarField(const std::string& json, const std::string& key) {
    JsonCursor at(json);
    if (!at.find("\"" + key + "\":")) return "";
    at.skipSpace();
    return at.peek('"') || at.peek('{') || at.peek('[') ? "" : at.token();
}

std::string jsonCompoundField(const std::string& json, const std::string& key) {
    JsonCursor at(json);
    if (!at.find("\"" + key + "\":")) return "";
    at.skipSpace();
    return at.peek('{') || at.peek('[') ? at.compound() : "";
}

} // namespace dvkhost
