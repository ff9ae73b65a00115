#include "scanner_model.h"

#include <charconv>
#include <stdexcept>

#include "json_reader.h"

namespace dvksim {

namespace {

// Beyond these a model file describes no scanner: codes are a few hundred characters, keys come in ms.
constexpr uint64_t kMostBufferLimit = 10000;
constexpr uint64_t kMostGapMs = 10000;

GsMode gsModeNamed(const std::string& mode) {
    if (mode == "real") return GsMode::CtrlBracket;
    if (mode == "alt") return GsMode::AltCode;
    if (mode == "substitute") return GsMode::Substitute;
    if (mode == "dropped") return GsMode::Dropped;
    throw std::runtime_error("\"gs\" must be real, alt, substitute or dropped");
}

} // namespace

const std::vector<NamedModel>& builtInModels() {
    static const std::vector<NamedModel> models = [] {
        auto named = [](const char* name, ScannerModel m) {
            m.name = name;
            return m;
        };
        return std::vector<NamedModel>{
            {named("good", {}), "sends GS as Ctrl+], ends codes with Enter"},
            {named("no-gs", {.gsMode = GsMode::Dropped}), "drops the GS separator"},
            {named("pipe-gs", {.gsMode = GsMode::Substitute, .gsSubstitute = '|'}),
             "sends '|' in place of GS"},
            {named("alt-gs", {.gsMode = GsMode::AltCode}), "types GS as Alt + keypad 0 2 9"},
            {named("short-buffer", {.bufferLimit = 64}), "keeps only 64 characters of a code"},
            {named("russian", {.cyrillicLayout = true}), "types into a Russian keyboard layout"},
            {named("russian-short", {.bufferLimit = 64, .cyrillicLayout = true}),
             "Russian layout and a 64-character buffer"},
            {named("slow", {.terminator = "\t", .gapMs = 70}),
             "types slowly (70 ms a key), ends codes with Tab"},
            {named("prefix-aim", {.prefix = "<", .suffix = ">", .terminator = "\r\n", .aimIds = true}),
             "AIM identifiers, prefix '<', suffix '>', CR LF"},
            {named("caps-lock", {.capsLock = true}), "the till's Caps Lock is on"},
            {named("double", {.doubleSend = true}), "sends every code twice"},
        };
    }();
    return models;
}

const ScannerModel* findModel(const std::string& name) {
    for (const NamedModel& named : builtInModels())
        if (named.model.name == name) return &named.model;
    return nullptr;
}

std::optional<ScannerModel> parseModel(const std::string& json, std::string& error) {
    ScannerModel model;
    try {
        dvkhost::JsonCursor at(json);
        at.skipSpace();
        at.expect('{');
        for (;;) {
            at.skipSpace();
            if (at.peek('}')) break;
            if (at.peek(',')) {
                at.expect(',');
                continue;
            }
            const std::string key = at.string();
            at.skipSpace();
            at.expect(':');
            at.skipSpace();
            auto text = [&] {
                if (!at.peek('"')) throw std::runtime_error("\"" + key + "\" must be a text in quotes");
                return at.string();
            };
            auto flag = [&] {
                if (at.word("true")) return true;
                if (at.word("false")) return false;
                throw std::runtime_error("\"" + key + "\" must be true or false");
            };
            // The whole token is read, so 1e3, -5, 2.5 or a huge number are refused rather than cut short.
            auto count = [&](uint64_t most) {
                const std::string token = at.token();
                uint64_t value = 0;
                const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
                if (token.empty() || ec != std::errc() || end != token.data() + token.size() || value > most)
                    throw std::runtime_error("\"" + key + "\" must be a whole number from 0 to " +
                                             std::to_string(most));
                return value;
            };
            if (key == "name")
                model.name = text();
            else if (key == "prefix")
                model.prefix = text();
            else if (key == "suffix")
                model.suffix = text();
            else if (key == "terminator")
                model.terminator = text();
            else if (key == "aimIds")
                model.aimIds = flag();
            else if (key == "capsLock")
                model.capsLock = flag();
            else if (key == "doubleSend")
                model.doubleSend = flag();
            else if (key == "cyrillicLayout")
                model.cyrillicLayout = flag();
            else if (key == "bufferLimit")
                model.bufferLimit = count(kMostBufferLimit);
            else if (key == "gapMs")
                model.gapMs = count(kMostGapMs);
            else if (key == "gs")
                model.gsMode = gsModeNamed(text());
            else if (key == "gsSubstitute") {
                const std::string c = text();
                if (c.size() != 1) throw std::runtime_error("\"gsSubstitute\" must be one character");
                model.gsSubstitute = c[0];
            } else {
                throw std::runtime_error("unknown key \"" + key + "\"");
            }
        }
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
    return model;
}

} // namespace dvksim
