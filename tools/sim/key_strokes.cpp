#include "key_strokes.h"

#include "answers.h"

namespace dvksim {

constexpr char kGs = '\x1d';

std::string aimFor(const std::string& symbology) {
    if (symbology == "ean13") return "]E0";
    if (symbology == "code128") return "]C1";
    if (symbology == "datamatrix") return "]d2";
    return "";
}

std::string transmittedText(const ScannerModel& model, const std::string& payload,
                            const std::string& symbology) {
    std::string code;
    for (const char c : payload) {
        if (c != kGs) {
            code += c;
        } else if (model.gsMode == GsMode::Substitute) {
            code += model.gsSubstitute;
        } else if (model.gsMode != GsMode::Dropped) {
            code += kGs;
        }
    }
    if (model.bufferLimit > 0 && code.size() > model.bufferLimit) code.resize(model.bufferLimit);
    return (model.aimIds ? aimFor(symbology) : "") + model.prefix + code + model.suffix + model.terminator;
}

std::vector<KeyStroke> keyStrokesFor(const ScannerModel& model, const std::string& payload,
                                     const std::string& symbology) {
    std::vector<KeyStroke> strokes;
    for (const char c : transmittedText(model, payload, symbology)) {
        if (c == kGs && model.gsMode == GsMode::AltCode) {
            for (const int digit : {0, 2, 9})
                strokes.push_back(
                    {dvkhost::kKeypadDigitScanCodes[digit], false, false, true, model.capsLock});
            continue;
        }
        if (const auto key = dvkhost::keyFor(c))
            strokes.push_back({key->scanCode, key->shift, key->ctrl, false, model.capsLock});
    }
    return strokes;
}

} // namespace dvksim
