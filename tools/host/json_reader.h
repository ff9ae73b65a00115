// The one JSON reader of the tools. The library's answers have a known shape, so a host finds what it needs
// by key rather than building a document; the library's own reader is internal and not for hosts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dvkhost {

// A position in a JSON text, moved on by what is read. Throws std::runtime_error where the text does not
// hold what is asked for. The text must outlive the cursor.
class JsonCursor {
  public:
    explicit JsonCursor(const std::string& text) : text_(text) {}

    // Moves past the next occurrence of `token`; false (not moved) when there is none.
    bool find(const std::string& token);
    // The same, to read on from there: at.past("\"tMs\":").number().
    JsonCursor& past(const std::string& token) {
        find(token);
        return *this;
    }
    bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    void expect(char c);
    void skipSpace();
    // Moves past `w` when the text goes on with it.
    bool word(const std::string& w);

    std::string string();   // a quoted string, escapes decoded (\u as UTF-8)
    uint64_t number();      // the digits here; 0 for none
    std::string token();    // a bare value (number, true, null) as written, up to the next separator
    std::string compound(); // an object or array, as its text

  private:
    const std::string& text_;
    size_t pos_ = 0;
};

// Values of the first "key" in a text, wherever it is nested; empty when absent or of another kind.
std::string jsonStringField(const std::string& json, const std::string& key);
std::vector<std::string> jsonStringArrayField(const std::string& json, const std::string& key);
// A number, true, false or null as written.
std::string jsonScalarField(const std::string& json, const std::string& key);
// An object or array as its text.
std::string jsonCompoundField(const std::string& json, const std::string& key);

} // namespace dvkhost
