#include "analysis/scan_event.h"

#include "json/json_writer.h"

namespace dorvik {

std::string_view kindTitle(CodeKind kind) {
    switch (kind) {
    case CodeKind::Ean8: return "EAN-8";
    case CodeKind::Ean13: return "EAN-13";
    case CodeKind::UpcA: return "UPC-A";
    case CodeKind::Itf14: return "ITF-14";
    case CodeKind::Code39: return "Code 39";
    case CodeKind::Code128: return "Code 128";
    case CodeKind::Gs1_128: return "GS1-128";
    case CodeKind::DataMatrix: return "DataMatrix (маркировка)";
    case CodeKind::Qr: return "QR";
    case CodeKind::Weight: return "весовой ШК";
    case CodeKind::Loyalty: return "карта лояльности";
    case CodeKind::Excise: return "акцизная марка (ЕГАИС)";
    default: return "неизвестный";
    }
}

void appendScanEventJson(std::string& out, const ScanEvent& e) {
    out += "{\"raw\":";
    appendJsonString(out, e.raw);
    out += ",\"data\":";
    appendJsonString(out, e.data);
    out += ",\"kind\":";
    appendInt(out, static_cast<int32_t>(e.kind));
    out += ",\"kindTitle\":";
    appendJsonString(out, kindTitle(e.kind));
    out += ",\"aimId\":";
    appendJsonString(out, e.aimId);
    out += ",\"deviceId\":";
    appendJsonString(out, e.deviceId);
    out += ",\"tMs\":";
    appendUint(out, e.tMs);
    out += ",\"fromBoundDevice\":";
    appendBool(out, e.fromBoundDevice);
    out += ",\"marked\":";
    appendBool(out, e.marked);
    out += ",\"gtin\":";
    appendJsonString(out, e.gtin);
    out += ",\"serial\":";
    appendJsonString(out, e.serial);
    out += ",\"mrc\":";
    appendJsonString(out, e.mrc);
    out += ",\"cryptoTail\":";
    appendJsonString(out, e.cryptoTail);
    out += ",\"weightKg\":";
    appendDouble(out, e.weightKg);
    out += ",\"itemCode\":";
    appendJsonString(out, e.itemCode);
    out += ",\"gsRepaired\":";
    appendBool(out, e.gsRepaired);
    out += ",\"gsGuess\":";
    appendBool(out, e.gsGuess);
    out += ",\"suspect\":";
    appendBool(out, e.suspect);
    out += ",\"warnings\":[";
    for (size_t i = 0; i < e.warnings.size(); ++i) {
        if (i > 0) out += ',';
        appendJsonString(out, e.warnings[i]);
    }
    out += "]}";
}

std::string scanEventToJson(const ScanEvent& event) {
    std::string out;
    out.reserve(400 + 2 * (event.raw.size() + event.data.size()));
    appendScanEventJson(out, event);
    return out;
}

} // namespace dorvik
