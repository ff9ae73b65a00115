// The tools' catalogue: both languages hold the same keys and the same placeholders, the Russian half has no
// English left in it, and text wraps by characters at spaces.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "texts.h"

using namespace dvkhost;

namespace {

bool isLatin(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "{0}" … "{9}".
std::set<std::string> placeholders(const std::string& text) {
    std::set<std::string> found;
    for (size_t i = 0; i + 3 <= text.size(); ++i)
        if (text[i] == '{' && isDigit(text[i + 1]) && text[i + 2] == '}') found.insert(text.substr(i, 3));
    return found;
}

// Words of Latin letters and digits that stand alone: after a space, "(", a guillemet or a quote, and before
// a space, punctuation, a guillemet or a quote (the guillemets' UTF-8 bytes count as such).
std::set<std::string> latinWords(const std::string& text) {
    std::set<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!isLatin(text[i]) || (i > 0 && !std::strchr(" \t\n(\xC2\xAB\"'", text[i - 1]))) continue;
        size_t end = i;
        while (end < text.size() && (isLatin(text[end]) || isDigit(text[end])))
            ++end;
        if (end == text.size() || std::strchr(" \t\n)\xC2\xBB\"',.;:!?", text[end]))
            found.insert(text.substr(i, end - i));
        i = end;
    }
    return found;
}

} // namespace

TEST(Catalogue, BothLanguagesHoldTheSameKeysAndPlaceholders) {
    const auto english = catalogue(Language::English);
    const auto russian = catalogue(Language::Russian);
    ASSERT_EQ(english.size(), russian.size());
    // Typed as they are, or names: options, values, JSON keys, files, key names, abbreviations.
    const std::set<std::string> typedAsItIs = {"dvk",
                                               "tune",
                                               "listen",
                                               "decode",
                                               "svg",
                                               "sheet",
                                               "simulate",
                                               "replay",
                                               "demo",
                                               "version",
                                               "ru",
                                               "en",
                                               "hid",
                                               "serial",
                                               "hidpos",
                                               "sim",
                                               "ean13",
                                               "code128",
                                               "datamatrix",
                                               "real",
                                               "alt",
                                               "substitute",
                                               "dropped",
                                               "true",
                                               "false",
                                               "baud",
                                               "parity",
                                               "rtsCts",
                                               "key",
                                               "bytes",
                                               "tick",
                                               "poll",
                                               "shift",
                                               "ctrl",
                                               "caps",
                                               "dataBits",
                                               "stopBits",
                                               "minLength",
                                               "exclusiveCapture",
                                               "aimId",
                                               "gsMissing",
                                               "gs",
                                               "gsSubstitute",
                                               "input",
                                               "name",
                                               "prefix",
                                               "suffix",
                                               "terminator",
                                               "aimIds",
                                               "bufferLimit",
                                               "gapMs",
                                               "capsLock",
                                               "doubleSend",
                                               "cyrillicLayout",
                                               "hidraw",
                                               "udev",
                                               "root",
                                               "GS",
                                               "GS1",
                                               "AIM",
                                               "HID",
                                               "POS",
                                               "USB",
                                               "GTIN",
                                               "JSON",
                                               "SVG",
                                               "CR",
                                               "LF",
                                               "Tab",
                                               "Esc",
                                               "Enter",
                                               "Ctrl",
                                               "Alt",
                                               "Shift",
                                               "setup",
                                               "Caps",
                                               "Lock",
                                               "Linux",
                                               "Windows",
                                               "COM3",
                                               "Raw",
                                               "Input",
                                               "tMs",
                                               "Decoded",
                                               "Data",
                                               "HOME",
                                               "N",
                                               "C",
                                               "D",
                                               "Z"};
    for (size_t i = 0; i < english.size(); ++i) {
        SCOPED_TRACE(std::string(english[i].key));
        EXPECT_EQ(english[i].key, russian[i].key);
        const std::string en(english[i].text), ru(russian[i].text);
        EXPECT_EQ(placeholders(en), placeholders(ru));
        for (const std::string& word : latinWords(ru))
            EXPECT_TRUE(typedAsItIs.count(word)) << word << " in: " << ru;
    }
}

TEST(Catalogue, TextsWrapByCharactersAtSpaces) {
    struct Case {
        const char* name;
        const char* text;
        int columns;
        const char* wrapped;
    } cases[] = {
        {"Cyrillic counted as characters, not bytes", "передают его здесь иначе", 16,
         "передают его\nздесь иначе"},
        {"a continuation keeps the indent", "   one two three", 10, "   one two\n   three"},
        {"and goes under a second column", "  -o FILE   where to write it", 20,
         "  -o FILE   where to\n"
         "            write it"},
        {"a word wider than the line stays whole", "a verylongword b", 5, "a\nverylongword\nb"},
        {"lines of their own stay apart", "один\n\nдва", 80, "один\n\nдва"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(wrapText(c.text, c.columns), c.wrapped);
    }
    EXPECT_EQ(wrapText("  [ ok ] title words", 12, 9), "  [ ok ]\n         title\n         words");
}
