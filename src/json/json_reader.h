// The lenient reader behind the profile: one pass over the text, no document tree, compound values
// skipped without recursion so that deep nesting costs nothing.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace dorvik {

struct JsonCursor {
    std::string_view text;
    size_t pos = 0;

    bool atEnd() const { return pos >= text.size(); }
    char peek() const { return text[pos]; }
};

enum class JsonKind { String, Number, Bool, Null, Compound, Failure };

void skipJsonSpace(JsonCursor& cursor);
// The cursor must stand on the opening quote; on success it stands behind the closing one.
bool readJsonString(JsonCursor& cursor, std::string& out);
// Skips an object or array starting at the cursor, counting only its own kind of bracket.
bool skipJsonCompound(JsonCursor& cursor);
JsonKind readJsonValue(JsonCursor& cursor, std::string& outString, double& outNumber, bool& outBool);

// Number text to double in the C locale: the longest valid prefix counts, no valid prefix gives 0.
double parseJsonNumber(std::string_view run);

struct JsonMember {
    std::string_view key;
    JsonKind kind;
    const std::string& string;
    double number;
    bool boolean;
};

// Walks the members of an object (commas optional and repeatable) and hands each one to `onMember`.
// False when the text is not a well-formed object as far as the reader goes.
bool walkJsonObject(std::string_view text, const std::function<void(const JsonMember&)>& onMember);

} // namespace dorvik
