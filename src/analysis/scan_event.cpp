#include "analysis/scan_event.h"

#include <charconv>
#include <cstring>

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

namespace {

// The object is walked twice with the same code, so that its key order is written once: first to
// measure it, then to write it into the block grown to that size.
class Measure {
  public:
    void text(std::string_view literal) { size_ += literal.size(); }
    void string(std::string_view value) { size_ += jsonStringSize(value); }
    void number(std::string_view digits) { size_ += digits.size(); }
    void boolean(bool value) { size_ += value ? 4 : 5; }
    size_t size() const { return size_; }

  private:
    size_t size_ = 0;
};

class Put {
  public:
    explicit Put(char* at) : at_(at) {}
    void text(std::string_view literal) {
        std::memcpy(at_, literal.data(), literal.size());
        at_ += literal.size();
    }
    void string(std::string_view value) { at_ = putJsonString(at_, value); }
    void number(std::string_view digits) { text(digits); }
    void boolean(bool value) { text(value ? "true" : "false"); }

  private:
    char* at_;
};

// The numbers, formatted once for both walks.
struct Numbers {
    explicit Numbers(const ScanEvent& e) {
        kindEnd = std::to_chars(kind, kind + sizeof kind, static_cast<int32_t>(e.kind)).ptr;
        tMsEnd = std::to_chars(tMs, tMs + sizeof tMs, e.tMs).ptr;
        weightEnd = putDouble(weight, e.weightKg);
    }
    char kind[12];
    char tMs[21];
    char weight[kDoubleRoom];
    char* kindEnd;
    char* tMsEnd;
    char* weightEnd;
};

template <typename Out> void walk(Out& out, const ScanEvent& e, const Numbers& n) {
    out.text("{\"raw\":");
    out.string(e.raw);
    out.text(",\"data\":");
    out.string(e.data);
    out.text(",\"kind\":");
    out.number({n.kind, n.kindEnd});
    out.text(",\"kindTitle\":");
    out.string(kindTitle(e.kind));
    out.text(",\"aimId\":");
    out.string(e.aimId);
    out.text(",\"deviceId\":");
    out.string(e.deviceId);
    out.text(",\"tMs\":");
    out.number({n.tMs, n.tMsEnd});
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
    out.number({n.weight, n.weightEnd});
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
        out.string(e.warnings[i]);
    }
    out.text("]}");
}

} // namespace

void appendScanEventJson(std::string& out, const ScanEvent& e) {
    const Numbers numbers(e);
    Measure measure;
    walk(measure, e, numbers);
    const size_t start = out.size();
    out.resize(start + measure.size());
    Put put(out.data() + start);
    walk(put, e, numbers);
}

std::string scanEventToJson(const ScanEvent& event) {
    std::string out;
    appendScanEventJson(out, event);
    return out;
}

} // namespace dorvik
