// What sets one keyboard scanner apart from another, as far as a till can tell, and the ones met at tills.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dvksim {

enum class GsMode { CtrlBracket, AltCode, Substitute, Dropped };

struct ScannerModel {
    std::string name = "custom";
    std::string prefix;
    std::string suffix;
    std::string terminator = "\r"; // "\r", "\r\n", "\n", "\t" or ""
    bool aimIds = false;           // sends the AIM identifier of the symbology first
    GsMode gsMode = GsMode::CtrlBracket;
    char gsSubstitute = '|';
    size_t bufferLimit = 0; // characters of code the scanner keeps; 0 = no limit
    bool capsLock = false;  // the host's Caps Lock is on and the scanner does not compensate
    uint64_t gapMs = 4;     // pause between key strokes
    bool doubleSend = false;
    bool cyrillicLayout = false; // the host's layout is Russian: frames come from the host's text input
};

struct NamedModel {
    ScannerModel model;
    const char* descriptionKey; // of its description in the tools' catalogue (texts.h)
};

// "good", "no-gs", "pipe-gs", "short-buffer", "russian", "russian-short", "slow", "prefix-aim", "alt-gs",
// "caps-lock", "double".
const std::vector<NamedModel>& builtInModels();
const ScannerModel* findModel(const std::string& name);

// A model from a JSON object: "name", "prefix", "suffix", "terminator" (strings), "aimIds", "capsLock",
// "doubleSend", "cyrillicLayout" (true/false), "gs" ("real", "alt", "substitute", "dropped"),
// "gsSubstitute" (one character), "bufferLimit", "gapMs" (whole numbers up to 10000). Absent keys keep the
// defaults.
// Nullopt with `error` set when the text is not such an object.
std::optional<ScannerModel> parseModel(const std::string& json, std::string& error);

} // namespace dvksim
