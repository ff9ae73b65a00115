#include <gtest/gtest.h>

#include <array>
#include <string>

#include "analysis/check_digit.h"
#include "analysis/classify.h"
#include "analysis/element_string.h"

using namespace dorvik;

namespace {

constexpr const char* kLengthWarning =
    "Длина как у товарного штрихкода, но контрольная цифра не сходится — проверьте префикс и суффикс сканера";
constexpr const char* kNoCrypto = "В коде нет проверочной части (91/92/93) — возможно, сканер обрезал хвост";
constexpr const char* kBadGtin = "Контрольная цифра GTIN не сходится — код прочитан с ошибкой";
const std::string kTail44(44, 'x');

ScanEvent classify(const std::string& data, const std::string& aim = "") {
    ScanEvent e;
    e.data = data;
    e.aimId = aim;
    classifyCode(e);
    return e;
}

} // namespace

TEST(CheckDigit, EveryLengthAndEveryWrongPosition) {
    for (const std::string good : {"46000002", "036000291452", "4600000000008", "04607097291111"}) {
        EXPECT_TRUE(gtinCheckOk(good)) << good;
        EXPECT_EQ(gtinCheckDigit(good.substr(0, good.size() - 1)), good.back()) << good;
        for (size_t i = 0; i < good.size(); ++i) {
            std::string bad = good;
            bad[i] = static_cast<char>('0' + (bad[i] - '0' + 5) % 10); // +5 changes every weighted sum
            EXPECT_FALSE(gtinCheckOk(bad)) << bad;
        }
    }
    // The bytes just beside the digits, and one at each end of the shortest and the longest length.
    for (const char* no : {"", "4600000000", "460000000000A", "46000000000080", "460000:000008",
                           "4600000/00008", "/6000002", "4600000:", "/4607097291111"})
        EXPECT_FALSE(gtinCheckOk(no)) << no;
    // One digit to fifteen; none, sixteen, or a byte beside the digits has none.
    EXPECT_EQ(gtinCheckDigit("1"), '7');
    EXPECT_EQ(gtinCheckDigit("100000000000000"), '7');
    for (const char* no : {"", "1000000000000000", "46000/0", "4600:00"})
        EXPECT_EQ(gtinCheckDigit(no), '\0') << no;
}

TEST(Classify, ExciseStampBoundaries) {
    struct Case {
        size_t length;
        int format;
        bool truncated;
    } cases[] = {{59, 0, false},  {60, 1, true},  {67, 1, true},  {68, 1, false},  {69, 0, false},
                 {119, 0, false}, {120, 2, true}, {149, 2, true}, {150, 2, false}, {151, 0, false}};
    for (const auto& c : cases) {
        const std::string stamp = std::string(c.length - 1, 'A') + "7";
        const ExciseStampInfo info = exciseStampInfo(stamp);
        EXPECT_EQ(info.format, c.format) << c.length;
        EXPECT_EQ(info.truncated, c.truncated) << c.length;
    }
    EXPECT_EQ(exciseStampInfo(std::string(67, 'A') + "a").format, 0);
    EXPECT_EQ(exciseStampInfo(std::string(67, 'A') + "-").format, 0);

    const ScanEvent short65 = classify(std::string(65, 'Z'), "]d2");
    EXPECT_EQ(short65.kind, CodeKind::Excise);
    EXPECT_TRUE(short65.suspect);
    EXPECT_EQ(
        short65.warnings.texts(),
        std::vector<std::string>{
            "Акцизная марка пришла обрезанной (65 симв. вместо 68) — увеличьте максимальную длину кода в настройках сканера"});
    EXPECT_EQ(classify(std::string(130, '1')).warnings[0].find("(130 симв. вместо 150)") != std::string::npos,
              true);
    EXPECT_TRUE(classify(std::string(68, '1')).warnings.empty());
}

TEST(Classify, RetailWeightLoyaltyAndAimHints) {
    struct Case {
        std::string data, aim;
        CodeKind kind;
        bool warned;
    } cases[] = {
        // clang-format off
        {"4600000000008", "", CodeKind::Ean13, false},  {"46000002", "", CodeKind::Ean8, false},           {"036000291452", "]E0", CodeKind::UpcA, false},
        {"04607097291111", "", CodeKind::Itf14, false}, {"2012345012340", "", CodeKind::Code128, true},    {"2012345012340", "]E0", CodeKind::Ean13, true},
        {"04607097291112", "]I1", CodeKind::Itf14, true}, {"036000291453", "", CodeKind::Code128, false}, {"46000003", "]E0", CodeKind::Ean8, false},
        {"1234567890123456", "", CodeKind::Loyalty, false}, {"1234567890123456", "]Q1", CodeKind::Loyalty, false}, {"010460709729111105", "", CodeKind::Loyalty, false},
        {"0104607097291111", "", CodeKind::Gs1_128, false}, {"0104607097291111", "]C1", CodeKind::Code128, false}, {"HELLO", "]A0", CodeKind::Code39, false},
        {"HELLO", "]X0", CodeKind::Code128, false},     {"HELLO", "]q0", CodeKind::Code128, false},        {"0104607097291111\0353103000123", "]C1", CodeKind::Code128, false},
        {"4600000000008\035", "", CodeKind::Code128, false}, {"", "]d2", CodeKind::Unknown, false},
        // clang-format on
    };
    for (const auto& c : cases) {
        const ScanEvent e = classify(c.data, c.aim);
        EXPECT_EQ(e.kind, c.kind) << c.data << " " << c.aim;
        EXPECT_EQ(e.suspect, c.warned) << c.data;
        EXPECT_EQ(e.warnings.texts(),
                  c.warned ? std::vector<std::string>{kLengthWarning} : std::vector<std::string>{})
            << c.data;
    }
    const ScanEvent weight = classify("2012345012349");
    EXPECT_EQ(weight.kind, CodeKind::Weight);
    EXPECT_EQ(weight.itemCode, "12345");
    EXPECT_DOUBLE_EQ(weight.weightKg, 1.234);
    EXPECT_EQ(classify("2012345000000").weightKg, 0.0);
}

TEST(ElementString, ParseAndMarkingCodes) {
    const std::pair<std::string, std::string> parsed[] = {
        // "ai=value;" each
        {"\0350104607097291111\035\03510AB\035", "01=04607097291111;10=AB;"},
        {"010460709729111121\03591X", "01=04607097291111;21=;91=X;"},
        {"01046070972911", ""},
        {"0104607097291111\0353103000123", "01=04607097291111;3103=000123;"},
        {"01046070972911112112\035240ABC\0353350001234", "01=04607097291111;21=12;240=ABC;3350=001234;"},
        {"0104607097291111\0350512", ""},       // no AI begins with 05
        {"0104607097291111\0353106000123", ""}, // 3106 lies outside the run 3100-3105
        {"0104607097291111310", ""},            // the text ends inside a four-digit AI
        {"8042" + std::string(32, '7') + "99x", "8042=" + std::string(32, '7') + ";99=x;"},
        {"80051234567003123456789011012345", "8005=123456;7003=1234567890;11=012345;"},
        {"80051234", ""},
        {"010460709729111121ABCDEFG8005123456", "01=04607097291111;21=ABCDEFG8005123456;"},
        {"20AB9192", "20=AB;91=92;"}};
    for (const auto& [text, want] : parsed) {
        std::string pairs;
        for (const ElementPair& p : parseElementString(text))
            pairs += std::string(p.ai) + "=" + std::string(p.value) + ";";
        EXPECT_EQ(pairs, want) << text;
    }
    const std::string gtin = "0104607097291111";
    struct Case {
        std::string data;
        CodeKind kind;
        std::string serial, mrc, tail;
        std::vector<std::string> warnings;
    } cases[] = {
        // clang-format off
        {gtin + "21AbC1234567\03591EE10\03592" + kTail44, CodeKind::DataMatrix, "AbC1234567", "", "EE10|" + kTail44, {}},
        {gtin + "21AbC1234567", CodeKind::DataMatrix, "AbC1234567", "", "", {kNoCrypto}},
        {gtin + "21ABCDEFG\0358005123456\03593Ab1z", CodeKind::DataMatrix, "ABCDEFG", "123456", "Ab1z", {}},
        {gtin + "10ABC", CodeKind::Gs1_128, "", "", "", {}},
        {"010460709729111221\035", CodeKind::DataMatrix, "", "", "", {kNoCrypto, kBadGtin}},
        {gtin + "91A\03591B\03593C", CodeKind::Gs1_128, "", "", "A|B|C", {}},
        {"10AB\03521X", CodeKind::Gs1_128, "X", "", "", {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const ScanEvent e = classify(c.data);
        EXPECT_EQ(std::tuple(e.kind, e.marked, e.serial, e.mrc, e.cryptoTail, e.warnings.texts(), e.suspect),
                  std::tuple(c.kind, c.kind == CodeKind::DataMatrix, c.serial, c.mrc, c.tail, c.warnings,
                             !c.warnings.empty()))
            << c.data;
    }
    EXPECT_EQ(classify(gtin + "21X\03591Y", "]C1").kind, CodeKind::DataMatrix);
    const ScanEvent weighed = classify(gtin + "\0353103000123");
    EXPECT_EQ(std::tuple(weighed.kind, weighed.gtin, weighed.suspect),
              std::tuple(CodeKind::Gs1_128, gtin.substr(2), false));
    EXPECT_EQ(classify(gtin + "10X", "]C1").kind, CodeKind::Code128);
}

TEST(Classify, TobaccoPackCode) {
    struct Case {
        std::string data, aim;
        CodeKind kind;
        std::string serial, tail;
    } cases[] = {
        // clang-format off
        {"04606203098187o&zWeIIAAAAs7c8", "", CodeKind::DataMatrix, "o&zWeII", "s7c8"},
        {"04606203098187o&zWeIIAAAAs7c8", "]Q1", CodeKind::DataMatrix, "o&zWeII", "s7c8"},
        {"04606203098188o&zWeIIAAAAs7c8", "", CodeKind::Code128, "", ""},      // GTIN check digit wrong
        {"04606203098187o&zWeIIAAAAs7c", "", CodeKind::Code128, "", ""},       // 28 bytes
        {"04606203098187o&zWeIIAAAAs7c8x", "", CodeKind::Code128, "", ""},     // 30 bytes
        {"04606203098187o&zWe IAAAAs7c8", "", CodeKind::Code128, "", ""},      // a space
        {"04606203098187\035&zWeIIAAAAs7c8", "", CodeKind::Code128, "", ""},   // GS
        {"04606203098187123456789012345", "", CodeKind::Loyalty, "", ""},      // digits only
        // An element string of 29 bytes that parses stays one.
        {"0104607097291111" "21ABCDEFGHIJK", "", CodeKind::DataMatrix, "ABCDEFGHIJK", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        const ScanEvent e = classify(c.data, c.aim);
        const bool pack = c.kind == CodeKind::DataMatrix && c.tail.size() == 4;
        EXPECT_EQ(std::tuple(e.kind, e.marked, e.gtin, e.serial, e.mrc, e.cryptoTail, e.suspect),
                  std::tuple(c.kind, c.kind == CodeKind::DataMatrix,
                             pack                             ? c.data.substr(0, 14)
                             : c.kind == CodeKind::DataMatrix ? "04607097291111"
                                                              : "",
                             c.serial, std::string(), c.tail, c.kind == CodeKind::DataMatrix && !pack))
            << c.data;
    }
}
