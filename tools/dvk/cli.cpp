#include "cli.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform.h"
#include "terminal_codes.h"
#include "texts.h"

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <typename T> std::optional<T> parseNumber(const std::string& text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

} // namespace

int fail(const std::string& message) {
    platform::writeError("dvk: " + message + "\n");
    return 2;
}

std::string wrapped(const std::string& text, int hangingIndent) {
    return dvkhost::wrapText(text, terminalColumns(), hangingIndent) + "\n";
}

void say(const std::string& text, int hangingIndent) { platform::writeOut(wrapped(text, hangingIndent)); }

void printLine(std::string_view text) {
    std::string line(text);
    platform::writeOut(line += '\n');
}

int failArgument(const std::string& arg, const std::string& command) {
    return fail(dvkhost::text(isOption(arg) ? "arg.unknownOption" : "arg.unexpected", {arg, command}));
}

int failNoValue(const std::string& option) { return fail(dvkhost::text("arg.noValue", {option})); }

std::optional<std::string> unescapeText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case 'e': out += '\x1b'; break;
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'x': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && i + 1 < text.size() && hexDigit(text[i + 1]) >= 0) {
                value = value * 16 + hexDigit(text[++i]);
                ++digits;
            }
            if (digits == 0) return std::nullopt;
            out += static_cast<char>(value);
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

std::optional<std::string> readTextArgument(const std::string& arg) {
    std::optional<std::string> text;
    if (arg == "-") {
        text = std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        text = unescapeText(arg);
    }
    if (text && text->size() > 0x7FFFFFFF) return std::nullopt;
    return text;
}

std::optional<std::string> readFile(const std::string& path, std::string* why) {
    auto failed = [&](const std::string& reason) -> std::optional<std::string> {
        if (why) *why = reason;
        return std::nullopt;
    };
    const std::string problem = platform::readProblem(path);
    if (!problem.empty()) return failed(problem);
    std::ifstream in(platform::pathOf(path), std::ios::binary);
    if (!in) return failed(dvkhost::text("file.cannotOpen"));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return failed(dvkhost::text("file.readError"));
    return content.str();
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(platform::pathOf(path), std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

std::optional<int32_t> parseInt(const std::string& text) { return parseNumber<int32_t>(text); }
std::optional<uint64_t> parseUint(const std::string& text) { return parseNumber<uint64_t>(text); }

bool isOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

std::string jsonQuote(const std::string& text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}
