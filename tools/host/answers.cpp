#include "answers.h"

#include <array>

#include "dorvik_c.h"
#include "json_reader.h"

namespace dvkhost {

std::string takeText(char* text) {
    std::string out = text ? text : "";
    dvk_free(text);
    return out;
}

std::optional<TypingKey> keyFor(char c) {
    // Asked once per byte: terminals and simulated scanners type thousands of characters.
    static const std::array<std::optional<TypingKey>, 256> keys = [] {
        std::array<std::optional<TypingKey>, 256> table;
        for (size_t byte = 0; byte < table.size(); ++byte) {
            const std::string answer = takeText(dvk_key_for_char(static_cast<char>(byte)));
            if (jsonScalarField(answer, "ok") != "true") continue;
            table[byte] = TypingKey{static_cast<uint16_t>(JsonCursor(answer).past("\"scancode\":").number()),
                                    jsonScalarField(answer, "shift") == "true",
                                    jsonScalarField(answer, "ctrl") == "true"};
        }
        return table;
    }();
    return keys[static_cast<unsigned char>(c)];
}

PollResult parsePoll(const std::string& json) {
    PollResult result;
    JsonCursor at(json);
    if (!at.find("{\"scans\":[")) return result;
    while (at.peek('{')) {
        result.scans.push_back(at.compound());
        if (at.peek(',')) at.expect(',');
    }
    if (!at.find("\"frames\":[")) return result;
    while (at.peek('{')) {
        PolledFrame frame;
        frame.text = at.past("\"frame\":").string();
        frame.deviceId = at.past("\"deviceId\":").string();
        frame.tMs = at.past("\"tMs\":").number();
        frame.gapsJson = at.past("\"gapsMs\":").compound();
        at.expect('}');
        result.frames.push_back(std::move(frame));
        if (at.peek(',')) at.expect(',');
    }
    return result;
}

std::vector<FindingView> parseFindings(const std::string& state) {
    std::vector<FindingView> findings;
    JsonCursor at(state);
    if (!at.find("\"findings\":[")) return findings;
    while (at.peek('{')) {
        auto next = [&](const char* key) { return at.past(key).string(); };
        FindingView f{next("\"level\":"), next("\"title\":"), next("\"detail\":"), next("\"advice\":")};
        at.expect('}');
        findings.push_back(std::move(f));
        if (at.peek(',')) at.expect(',');
    }
    return findings;
}

} // namespace dvkhost
