// The tools' own texts for people, in English and in Russian, from one catalogue (catalogue.cpp). The
// library's texts (findings, warnings, step titles) come in its answers and are shown as they are.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace dvkhost {

enum class Language { English, Russian };

// Russian when the first of LC_ALL, LC_MESSAGES and LANG that is set (and not empty) begins with "ru", as
// the C library chooses the language of its messages; English otherwise.
Language languageOfLocale();
// "ru" or "en" (as --lang takes them); false for anything else.
bool languageNamed(std::string_view name, Language& language);
void useLanguage(Language language);
Language languageInUse();

// The text of `key` in the language in use with {0}, {1}, ... replaced by `args`; the key itself when the
// catalogue has no such text, which the catalogue's tests rule out for every key the tools use.
std::string text(std::string_view key, std::initializer_list<std::string_view> args = {});

struct CatalogueEntry {
    std::string_view key;
    std::string_view text;
};
std::span<const CatalogueEntry> catalogue(Language language);

// The columns `text` takes on a terminal: its UTF-8 characters (the tools write no double-width ones).
size_t columnsOf(std::string_view text);

// `text` wrapped at spaces so that no line is wider than `columns` characters (UTF-8 characters, not
// bytes). A continuation line takes the indent of the line it continues, or `hangingIndent` spaces when it
// is not negative. A word wider than the line stays whole on a line of its own.
std::string wrapText(std::string_view text, int columns, int hangingIndent = -1);

} // namespace dvkhost
