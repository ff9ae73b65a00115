#include "analysis/scan_event.h"

#include "json/json_writer.h"

namespace dorvik {

namespace {

constexpr std::string_view title(CodeKind kind) {
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

// The titles are written between quotes as they are, unescaped.
static_assert([] {
    for (int32_t kind = 0; kind <= static_cast<int32_t>(CodeKind::Excise); ++kind) {
        for (const char c : title(static_cast<CodeKind>(kind)))
            if (c == '"' || c == '\\' || (static_cast<unsigned char>(c) < 0x20)) return false;
    }
    return true;
}());

} // namespace

void Warnings::clear() {
    plain_ = 0;
    // Kept only where add() made room for them, so that clearing cannot fail.
    if (spare_.strings.capacity() - spare_.strings.size() >= texts_.size()) {
        for (std::string& text : texts_) {
            text.clear();
            spare_.strings.push_back(std::move(text));
        }
    }
    texts_.clear();
}

void Warnings::add(std::string_view text, bool plain) {
    const size_t at = texts_.size();
    if (spare_.strings.empty()) {
        texts_.emplace_back(text);
        spare_.strings.reserve(texts_.capacity());
    } else {
        // Taken back only once the new warning is in place, so that a failed allocation loses no block.
        std::string& kept = spare_.strings.back();
        kept.assign(text);
        texts_.push_back(std::move(kept));
        spare_.strings.pop_back();
    }
    if (plain && at < 64) plain_ |= uint64_t{1} << at;
}

void ScanEvent::reset() {
    for (std::string* text : {&raw, &data, &aimId, &deviceId, &gtin, &serial, &mrc, &cryptoTail, &itemCode})
        text->clear();
    kind = CodeKind::Unknown;
    tMs = 0;
    fromBoundDevice = marked = gsRepaired = gsGuess = suspect = false;
    weightKg = 0.0;
    warnings.clear();
}

namespace {

template <typename Out>
void walk(Out& out, const ScanEvent& e, std::string_view raw, std::string_view deviceId) {
    out.text("{\"raw\":");
    out.stringAndPart(raw, ",\"data\":", e.data);
    out.text(",\"kind\":");
    out.number(static_cast<int32_t>(e.kind));
    out.text(",\"kindTitle\":\"");
    out.text(title(e.kind));
    out.text("\",\"aimId\":");
    out.string(e.aimId);
    out.text(",\"deviceId\":");
    out.string(deviceId);
    out.text(",\"tMs\":");
    out.number(e.tMs);
    out.text(",\"fromBoundDevice\":");
    out.boolean(e.fromBoundDevice);
    out.text(",\"marked\":");
    out.boolean(e.marked);
    out.text(",\"gtin\":");
    out.string(e.gtin);
    out.text(",\"serial\":");
    out.string(e.serial);
    out.text(",\"mrc\":");
    out.string(e.mrc);
    out.text(",\"cryptoTail\":");
    out.string(e.cryptoTail);
    out.text(",\"weightKg\":");
    out.number(e.weightKg);
    out.text(",\"itemCode\":");
    out.string(e.itemCode);
    out.text(",\"gsRepaired\":");
    out.boolean(e.gsRepaired);
    out.text(",\"gsGuess\":");
    out.boolean(e.gsGuess);
    out.text(",\"suspect\":");
    out.boolean(e.suspect);
    out.text(",\"warnings\":[");
    for (size_t i = 0; i < e.warnings.size(); ++i) {
        if (i > 0) out.text(",");
        if (e.warnings.plain(i))
            out.plainString(e.warnings[i]);
        else
            out.string(e.warnings[i]);
    }
    out.text("]}");
}

} // namespace

void writeScanEventJson(JsonBound& out, const ScanEvent& event, std::string_view raw,
                        std::string_view deviceId) {
    walk(out, event, raw, deviceId);
}

void writeScanEventJson(JsonPut& out, const ScanEvent& event, std::string_view raw,
                        std::string_view deviceId) {
    walk(out, event, raw, deviceId);
}

} // namespace dorvik
