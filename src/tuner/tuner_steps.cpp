#include "tuner/tuner_steps.h"

#include "bytes/ascii.h"
#include <array>

namespace dorvik {

namespace {

constexpr std::string_view kEan13 = "4600000000008";
constexpr std::string_view kGtin = "04607097291111";

std::string join(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (const std::string_view piece : pieces)
        out += piece;
    return out;
}

std::string asciiPunctuation() {
    std::string out;
    for (int c = 0x21; c <= 0x7E; ++c) {
        const bool letterOrDigit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letterOrDigit) out += static_cast<char>(c);
    }
    return out;
}

std::array<TunerStep, 5> buildSteps() {
    const std::string gs(1, kGs);
    return {{
        {"ean13", "Товарный штрихкод",
         "Базовая проверка: что сканер добавляет к коду от себя, чем заканчивает передачу и с какой скоростью печатает.",
         "ean13", std::string(kEan13), "]E0", false, false},
        {"gs1_128", "Линейный код с разделителем",
         "Тот же служебный разделитель, что и в маркировке, но в линейном коде. Многие сканеры передают его здесь иначе, чем в квадратном.",
         "code128", join({"01", kGtin, gs, "3103000123"}), "]C1", true, false},
        {"dm_tobacco", "Маркировка: короткий код",
         "Квадратный код с максимальной розничной ценой — как на пачке сигарет. Проверяется передача разделителя полей.",
         "datamatrix", join({"01", kGtin, "21ABCDEFG", gs, "8005123456", gs, "93", "Tq5x"}), "]d2", true,
         false},
        {"dm_long", "Маркировка: длинный код",
         "Полный код с проверочной частью, около 80 символов. Здесь вскрывается обрезка длинных кодов по буферу сканера — самая частая причина, по которой маркировка «не бьётся».",
         "datamatrix",
         join({"01", kGtin, "21AbC1234567", gs, "91EE10", gs, "92",
               "Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8="}),
         "]d2", true, false},
        {"dm_charset", "Маркировка: трудные символы",
         "Знаки препинания и регистр — из них состоит криптохвост. Если сканер настроен на другую раскладку клавиатуры, испортится именно этот код, а обычные штрихкоды будут работать.",
         "datamatrix", join({"01", kGtin, "21", "aA0", gs, "92", asciiPunctuation()}), "]d2", true, false},
    }};
}

} // namespace

std::span<const TunerStep> tunerSteps() {
    static const std::array<TunerStep, 5> steps = buildSteps();
    return steps;
}

std::string visualizeControls(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20) {
            out += c;
            continue;
        }
        switch (byte) {
        case 0x1D: out += "⟨GS⟩"; break;
        case 0x1E: out += "⟨RS⟩"; break;
        case 0x0D: out += "⟨CR⟩"; break;
        case 0x0A: out += "⟨LF⟩"; break;
        case 0x09: out += "⟨TAB⟩"; break;
        default:
            out += "⟨";
            out += std::to_string(byte);
            out += "⟩";
        }
    }
    return out;
}

} // namespace dorvik
