#include <gtest/gtest.h>

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
        for (size_t i = 0; i < good.size(); ++i) {
            std::string bad = good;
            bad[i] = static_cast<char>('0' + (bad[i] - '0' + 5) % 10); // +5 changes every weighted sum
            EXPECT_FALSE(gtinCheckOk(bad)) << bad;
        }
    }
    for (const char* no : {"", "4600000000", "460000000000A", "46000000000080"})
        EXPECT_FALSE(gtinCheckOk(no)) << no;
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
        short65.warnings,
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
        {"4600000000008", "", CodeKind::Ean13, false},
        {"46000002", "", CodeKind::Ean8, false},
        {"036000291452", "]E0", CodeKind::UpcA, false},
        {"04607097291111", "", CodeKind::Itf14, false},
        {"2012345012340", "", CodeKind::Code128, true},
        {"2012345012340", "]E0", CodeKind::Ean13, true},
        {"04607097291112", "]I1", CodeKind::Itf14, true},
        {"036000291453", "", CodeKind::Code128, false},
        {"46000003", "]E0", CodeKind::Ean8, false},
        {"1234567890123456", "", CodeKind::Loyalty, false},
        {"1234567890123456", "]Q1", CodeKind::Loyalty, false},
        {"010460709729111199", "", CodeKind::Loyalty, false},
        {"0104607097291111", "", CodeKind::Gs1_128, false},
        {"0104607097291111", "]C1", CodeKind::Code128, false},
        {"HELLO", "]A0", CodeKind::Code39, false},
        {"HELLO", "]X0", CodeKind::Code128, false},
        {"HELLO", "]q0", CodeKind::Code128, false},
        {"0104607097291111\x1d"
         "3103000123",
         "]C1", CodeKind::Code128, false},
        {"4600000000008\x1d", "", CodeKind::Code128, false},
        {"", "]d2", CodeKind::Unknown, false},
    };
    for (const auto& c : cases) {
        const ScanEvent e = classify(c.data, c.aim);
        EXPECT_EQ(e.kind, c.kind) << c.data << " " << c.aim;
        EXPECT_EQ(e.suspect, c.warned) << c.data;
        EXPECT_EQ(e.warnings.size(), c.warned ? 1u : 0u) << c.data;
        if (c.warned) {
            EXPECT_EQ(e.warnings[0], kLengthWarning);
        }
    }
    const ScanEvent weight = classify("2012345012349");
    EXPECT_EQ(weight.kind, CodeKind::Weight);
    EXPECT_EQ(weight.itemCode, "12345");
    EXPECT_DOUBLE_EQ(weight.weightKg, 1.234);
    EXPECT_EQ(classify("2012345000000").weightKg, 0.0);
}

TEST(ElementString, Parse) {
    struct Case {
        std::string text;
        std::string pairs; // "ai=value;" each
    } cases[] = {
        {"\x1d"
         "0104607097291111\x1d\x1d"
         "10AB\x1d",
         "01=04607097291111;10=AB;"},
        {"010460709729111121\x1d"
         "91X",
         "01=04607097291111;21=;91=X;"},
        {"01046070972911", ""},
        {"0104607097291111\x1d"
         "3103000123",
         ""},
        {"80051234567003123456789011012345", "8005=123456;7003=1234567890;11=012345;"},
        {"80051234", ""},
        {"010460709729111121ABCDEFG8005123456", "01=04607097291111;21=ABCDEFG8005123456;"},
        {"20AB9192", "20=AB;91=92;"},
    };
    for (const auto& c : cases) {
        std::string pairs;
        for (const ElementPair& p : parseElementString(c.text))
            pairs += std::string(p.ai) + "=" + std::string(p.value) + ";";
        EXPECT_EQ(pairs, c.pairs) << c.text;
    }
}

TEST(ElementString, MarkingCodes) {
    const std::string gtin = "0104607097291111";
    struct Case {
        std::string data;
        CodeKind kind;
        std::string serial, mrc, tail;
        std::vector<std::string> warnings;
    } cases[] = {
        {gtin +
             "21AbC1234567\x1d"
             "91EE10\x1d"
             "92" +
             kTail44,
         CodeKind::DataMatrix,
         "AbC1234567",
         "",
         "EE10|" + kTail44,
         {}},
        {gtin + "21AbC1234567", CodeKind::DataMatrix, "AbC1234567", "", "", {kNoCrypto}},
        {gtin + "21ABCDEFG\x1d"
                "8005123456\x1d"
                "93Ab1z",
         CodeKind::DataMatrix,
         "ABCDEFG",
         "123456",
         "Ab1z",
         {}},
        {gtin + "10ABC", CodeKind::Gs1_128, "", "", "", {}},
        {"010460709729111221\x1d", CodeKind::DataMatrix, "", "", "", {kNoCrypto, kBadGtin}},
        {gtin + "91A\x1d"
                "91B\x1d"
                "93C",
         CodeKind::Gs1_128,
         "",
         "",
         "A|B|C",
         {}},
        {"10AB\x1d"
         "21X",
         CodeKind::Gs1_128,
         "X",
         "",
         "",
         {}},
    };
    for (const auto& c : cases) {
        const ScanEvent e = classify(c.data);
        EXPECT_EQ(e.kind, c.kind) << c.data;
        EXPECT_EQ(e.marked, c.kind == CodeKind::DataMatrix) << c.data;
        EXPECT_EQ(e.serial, c.serial) << c.data;
        EXPECT_EQ(e.mrc, c.mrc) << c.data;
        EXPECT_EQ(e.cryptoTail, c.tail) << c.data;
        EXPECT_EQ(e.warnings, c.warnings) << c.data;
        EXPECT_EQ(e.suspect, !c.warnings.empty()) << c.data;
    }
    EXPECT_EQ(classify(gtin + "21X\x1d"
                              "91Y",
                       "]C1")
                  .kind,
              CodeKind::DataMatrix);
    EXPECT_EQ(classify(gtin + "10X", "]C1").kind, CodeKind::Code128);
}
