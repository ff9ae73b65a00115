#include "scanner_model.h"

#include <charconv>
#include <stdexcept>

#include "json_reader.h"
#include "texts.h"

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
    throw std::runtime_error(dvkhost::text("model.gs"));
}

} // namespace

const std::vector<NamedModel>& builtInModels() {
    static const std::vector<NamedModel> models = [] {
        auto named = [](const char* name, ScannerModel m) {
            m.name = name;
            return m;
        };
        return std::vector<NamedModel>{
            {named("good", {}), "model.good"},
            {named("no-gs", {.gsMode = GsMode::Dropped}), "model.no-gs"},
            {named("pipe-gs", {.gsMode = GsMode::Substitute, .gsSubstitute = '|'}), "model.pipe-gs"},
            {named("alt-gs", {.gsMode = GsMode::AltCode}), "model.alt-gs"},
            {named("short-buffer", {.bufferLimit = 64}), "model.short-buffer"},
            {named("russian", {.cyrillicLayout = true}), "model.russian"},
            {named("russian-short", {.bufferLimit = 64, .cyrillicLayout = true}), "model.russian-short"},
            {named("slow", {.terminator = "\t", .gapMs = 70}), "model.slow"},
            {named("prefix-aim", {.prefix = "<", .suffix = ">", .terminator = "\r\n", .aimIds = true}),
             "model.prefix-aim"},
            {named("caps-lock", {.capsLock = true}), "model.caps-lock"},
            {named("double", {.doubleSend = true}), "model.double"},
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
                if (!at.peek('"')) throw std::runtime_error(dvkhost::text("model.text", {key}));
                return at.string();
            };
            auto flag = [&] {
                if (at.word("true")) return true;
                if (at.word("false")) return false;
                throw std::runtime_error(dvkhost::text("model.flag", {key}));
            };
            // The whole token is read, so 1e3, -5, 2.5 or a huge number are refused rather than cut short.
            auto count = [&](uint64_t most) {
                const std::string token = at.token();
                uint64_t value = 0;
                const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
                if (token.empty() || ec != std::errc() || end != token.data() + token.size() || value > most)
                    throw std::runtime_error(dvkhost::text("model.count", {key, std::to_string(most)}));
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
                if (c.size() != 1) throw std::runtime_error(dvkhost::text("model.gsSubstitute"));
                model.gsSubstitute = c[0];
            } else {
                throw std::runtime_error(dvkhost::text("model.unknownKey", {key}));
            }
        }
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
    return model;
}

} // namespace dvksim
