// The profile's JSON form: read leniently, written in the indented style with a fixed key order.
#pragma once

#include <string>
#include <string_view>

#include "profile/scanner_profile.h"

namespace dorvik {

// Applies the recognised keys of `text` to `out`. On failure `out` may hold part of the text, so callers
// parse into a scratch profile and keep it only on success.
bool parseProfile(std::string_view text, ScannerProfile& out);

class JsonBound;
class JsonPut;

// Ends with "}", no line feed: the form hosts receive, alone or inside the tuner state.
std::string profileToJson(const ScannerProfile& profile);
// Its walk (json/json_writer.h), for a text that holds the profile.
void writeProfileJson(JsonBound& out, const ScannerProfile& profile);
void writeProfileJson(JsonPut& out, const ScannerProfile& profile);

// Truncates toward zero into the 32-bit range; NaN gives 0.
int32_t clampToInt32(double value);

} // namespace dorvik
