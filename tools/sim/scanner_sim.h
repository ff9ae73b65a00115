// A simulated keyboard scanner and the host loop around it, built on the public C interface only: the
// scanner turns a payload into the key strokes a configured device would send; the host feeds them to a
// decoder, polls, and hands every frame to a tuner exactly as the poll reports it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dorvik_c.h"

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

struct KeyStroke {
    uint16_t scanCode = 0;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool capsLock = false;
};

struct NamedModel {
    ScannerModel model;
    const char* description;
};

// A few scanners as they are met at tills: "good", "no-gs", "pipe-gs", "short-buffer", "russian",
// "russian-short", "slow", "prefix-aim", "alt-gs", "caps-lock", "double".
const std::vector<NamedModel>& builtInModels();
const ScannerModel* findModel(const std::string& name);

// A model from a JSON object: "name", "prefix", "suffix", "terminator" (strings), "aimIds", "capsLock",
// "doubleSend", "cyrillicLayout" (true/false), "gs" ("real", "alt", "substitute", "dropped"),
// "gsSubstitute" (one character), "bufferLimit", "gapMs" (whole numbers up to 10000). Absent keys keep the
// defaults.
// Nullopt with `error` set when the text is not such an object.
std::optional<ScannerModel> parseModel(const std::string& json, std::string& error);

// The AIM identifier a scanner puts in front of a code of this dvk_barcode_svg kind.
std::string aimFor(const std::string& symbology);

// What the scanner transmits for one code, as characters (before any keyboard layout).
std::string transmittedText(const ScannerModel& model, const std::string& payload,
                            const std::string& symbology);

// The key strokes for one code, US layout.
std::vector<KeyStroke> keyStrokesFor(const ScannerModel& model, const std::string& payload,
                                     const std::string& symbology);

// What a Windows host with the Russian layout receives as text for key strokes meant as US characters.
std::string throughRussianLayout(const std::string& usText);

struct PolledFrame {
    std::string text;
    std::string deviceId;
    uint64_t tMs = 0;
    std::string gapsJson; // the "gapsMs" array as the poll wrote it
};

struct PollResult {
    std::vector<std::string> scans; // each scan event's JSON object
    std::vector<PolledFrame> frames;
};

// Splits a poll text into its scan objects and frames.
PollResult parsePoll(const std::string& json);

// Reads the JSON string value of the first "key" in a text (escapes decoded); empty when absent.
std::string jsonStringField(const std::string& json, const std::string& key);
// The strings of the first "key"'s array value.
std::vector<std::string> jsonStringArrayField(const std::string& json, const std::string& key);
// The bare value (number, true, false, null) of the first "key" as written; empty when absent or quoted.
std::string jsonScalarField(const std::string& json, const std::string& key);
// The raw JSON text of the first "key"'s value when it is an object or array; empty when absent.
std::string jsonCompoundField(const std::string& json, const std::string& key);

struct FindingView {
    std::string level; // "ok", "warn", "fail"
    std::string title;
    std::string detail;
    std::string advice;
};

// The "findings" of a tuner state.
std::vector<FindingView> parseFindings(const std::string& state);

// One scan of a code: the scanner types it (twice for a double-sending model) into the decoder, the host
// ticks and polls. Returns what the poll held. `now` advances past the scan.
PollResult scanOnce(dvk_decoder* decoder, const ScannerModel& model, const std::string& payload,
                    const std::string& symbology, const std::string& deviceId, uint64_t& now);

struct TunerRun {
    std::string finalState; // the state JSON when done
    std::string profile;    // its finished "profile" object
    int framesTaken = 0;    // frames the tuner accepted
};

// Runs a whole set-up: every step's reference scanned by the model (or skipped when `skipAll`), every
// polled frame handed to the tuner.
TunerRun runTuner(const ScannerModel& model, const std::string& deviceId, bool skipAll = false);

} // namespace dvksim
