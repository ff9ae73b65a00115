#include "texts.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace dvkhost {

namespace {

// The 1C add-in sets it from the platform's thread while its reader thread writes texts.
std::atomic<Language> current = Language::English;

// A continuation goes under the text of the line: past its indent, and past a first column set off by two
// spaces or more ("  --baud N    the port's speed").
size_t continuationIndent(std::string_view line, size_t lead) {
    const size_t gap = line.find("  ", lead);
    if (gap == std::string_view::npos) return lead;
    const size_t text = line.find_first_not_of(' ', gap);
    return text == std::string_view::npos || text > line.size() / 2 ? lead : columnsOf(line.substr(0, text));
}

void wrapLine(std::string_view line, size_t columns, int hangingIndent, std::string& out) {
    const size_t lead = line.find_first_not_of(' ');
    if (lead == std::string_view::npos) return;
    const std::string indent(
        hangingIndent >= 0 ? static_cast<size_t>(hangingIndent) : continuationIndent(line, lead), ' ');
    std::string current(line.substr(0, lead));
    size_t width = lead;
    bool wordOnLine = false;
    for (size_t at = lead; at < line.size();) {
        const size_t wordStart = line.find_first_not_of(' ', at);
        if (wordStart == std::string_view::npos) break;
        const size_t wordEnd = std::min(line.find(' ', wordStart), line.size());
        const std::string_view gap = line.substr(at, wordStart - at);
        const std::string_view word = line.substr(wordStart, wordEnd - wordStart);
        at = wordEnd;
        const size_t wordWidth = columnsOf(word);
        if (wordOnLine && width + gap.size() + wordWidth > columns) {
            out += current + '\n';
            current = indent;
            width = indent.size();
            wordOnLine = false;
        }
        if (wordOnLine) {
            current += gap;
            width += gap.size();
        }
        current += word;
        width += wordWidth;
        wordOnLine = true;
    }
    out += current;
}

} // namespace

size_t columnsOf(std::string_view text) {
    size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

Language languageOfLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        return std::string_view(value).substr(0, 2) == "ru" ? Language::Russian : Language::English;
    }
    return Language::English;
}

bool languageNamed(std::string_view name, Language& language) {
    if (name != "ru" && name != "en") return false;
    language = name == "ru" ? Language::Russian : Language::English;
    return true;
}

void useLanguage(Language language) { current = language; }
Language languageInUse() { return current; }

std::string text(std::string_view key, std::initializer_list<std::string_view> args) {
    std::string_view found = key;
    for (const CatalogueEntry& entry : catalogue(current))
        if (entry.key == key) found = entry.text;
    std::string out;
    for (size_t i = 0; i < found.size(); ++i) {
        const bool placeholder = i + 2 < found.size() && found[i] == '{' && found[i + 2] == '}' &&
                                 found[i + 1] >= '0' && found[i + 1] <= '9';
        const size_t index = placeholder ? static_cast<size_t>(found[i + 1] - '0') : args.size();
        if (index < args.size()) {
            out += args.begin()[index];
            i += 2;
        } else {
            out += found[i];
        }
    }
    return out;
}

std::string wrapText(std::string_view text, int columns, int hangingIndent) {
    std::string out;
    const size_t width = columns > 1 ? static_cast<size_t>(columns) : 1;
    for (size_t at = 0; at <= text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        wrapLine(text.substr(at, end - at), width, hangingIndent, out);
        if (end == text.size()) break;
        out += '\n';
        at = end + 1;
    }
    return out;
}

} // namespace dvkhost
