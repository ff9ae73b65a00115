// Whole set-ups as a host runs them: a simulated scanner types each reference code into a real decoder, the
// polled frames go to the tuner, and the learned profile then decodes that scanner's marking codes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scanner_sim.h"

using namespace dvksim;

namespace {

const std::string kShortCode = "010460709729111121XYZ9876\0358005054321\03593Ab1z"; // \035 is GS
const std::string kLongCode =
    "010460709729111121QwE9876543\03591EE10\03592Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=";

std::vector<std::string> titles(const std::string& state) {
    std::vector<std::string> out;
    for (const FindingView& f : parseFindings(state))
        out.push_back(f.level + " " + f.title);
    return out;
}

// The scan a decoder with this profile makes of a code the scanner types, as "gtin serial mrc cryptoTail".
std::string decoded(const std::string& profile, const ScannerModel& model, const std::string& code) {
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> d(dvk_decoder_new(), &dvk_decoder_free);
    EXPECT_EQ(dvk_decoder_set_profile(d.get(), profile.c_str()), 1);
    uint64_t now = 5000;
    const PollResult polled = scanOnce(d.get(), model, code, "datamatrix", "usb-scanner", now);
    if (polled.scans.size() != 1) return std::to_string(polled.scans.size()) + " scans";
    const std::string& scan = polled.scans[0];
    std::string out;
    for (const char* key : {"gtin", "serial", "mrc", "cryptoTail"})
        out += jsonStringField(scan, key) + " ";
    const bool plain = scan.find("\"kind\":8,") != std::string::npos &&
                       scan.find("\"gsGuess\":false,\"suspect\":false") != std::string::npos;
    return out + (plain ? "" : "not a sure marking code ") +
           (scan.find("\"gsRepaired\":true") != std::string::npos ? "repaired" : "");
}

} // namespace

TEST(TunerEndToEnd, SimulatedScanners) {
    const std::string found = "ok Сканер найден", cr = "ok Признак конца кода",
                      clean = "ok Код приходит чистым";
    const std::string gsOk = "ok Разделитель полей передаётся правильно",
                      sub = "ok Разделитель передаётся заменой";
    const std::string read[] = {
        "ok Товарный штрихкод: прочитан верно", "ok Линейный код с разделителем: прочитан верно",
        "ok Маркировка: короткий код: прочитан верно", "ok Маркировка: длинный код: прочитан верно",
        "ok Маркировка: трудные символы: прочитан верно"};
    const std::string allFine = "Все проверки пройдены: 5 из 5 кодов, замечаний нет.";
    const std::string oneWarning = "Прочитано верно 5 из 5 кодов, есть 1 замечани(й) — стоит посмотреть.";
    const std::string fourAndOne =
        "Прочитано верно 4 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера.";
    const std::string twoAndThree =
        "Прочитано верно 2 из 5 кодов. 3 проблем(ы) требуют перенастройки самого сканера.";
    struct Case {
        ScannerModel model;
        std::vector<std::string> findings;
        std::string summary;
        std::vector<std::string> profileLines; // lines the learned profile must hold
        bool decodesMarkingCodes = true;
    } cases[] = {
        // clang-format off
        {{}, {found, cr, clean, read[0], gsOk, read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]}, allFine,
         {"\"terminator\": \"\\r\"", "\"burstGapMs\": 30", "\"frameTimeoutMs\": 100", "\"gsMissing\": false", "\"configured\": true", "\"deviceId\": \"usb-scanner\""}},
        {{.gsMode = GsMode::AltCode}, {found, cr, clean, read[0], gsOk, read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]}, allFine, {}},
        {{.gsMode = GsMode::Dropped},
         {found, cr, clean, read[0], "fail Разделитель полей не передаётся", "warn Линейный код с разделителем: пришёл без разделителя", "warn Маркировка: короткий код: пришёл без разделителя",
          "warn Маркировка: длинный код: пришёл без разделителя", "warn Маркировка: трудные символы: пришёл без разделителя"},
         "Прочитано верно 1 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера.", {"\"gsMissing\": true"}},
        {{.gsMode = GsMode::Substitute, .gsSubstitute = '|'},
         {found, cr, clean, read[0], sub, read[1], sub, read[2], sub, read[3], "fail Маркировка: трудные символы: код прочитан с ошибкой"}, fourAndOne, {"\"gsSubstitute\": \"|\""}},
        {{.bufferLimit = 64}, {found, cr, clean, read[0], gsOk, read[1], gsOk, read[2], "fail Маркировка: длинный код: код обрезан", gsOk, read[4]}, fourAndOne, {}, false},
        {{.prefix = "<", .suffix = ">", .terminator = "\r\n", .aimIds = true},
         {found, cr, "ok Найдены лишние символы вокруг кода", "ok Сканер сообщает тип кода", read[0], gsOk, read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]}, allFine,
         {"\"prefix\": \"<\"", "\"suffix\": \">\"", "\"terminator\": \"\\r\\n\"", "\"aimId\": true"}},
        {{.terminator = "\t", .gapMs = 70}, {found, "warn Сканер печатает медленно", cr, clean, read[0], gsOk, read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]}, oneWarning,
         {"\"burstGapMs\": 210", "\"frameTimeoutMs\": 400", "\"terminator\": \"\\t\""}},
        {{.terminator = ""}, {found, "warn Сканер не шлёт признак конца кода", clean, read[0], gsOk, read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]}, oneWarning, {"\"terminator\": \"\""}},
        {{.cyrillicLayout = true},
         {found, cr, clean, read[0], gsOk, read[1], "fail Маркировка: короткий код: в коде появилась кириллица", "fail Маркировка: длинный код: в коде появилась кириллица",
          "fail Маркировка: трудные символы: в коде появилась кириллица"}, twoAndThree, {}, false},
        {{.capsLock = true},
         {found, cr, clean, read[0], gsOk, read[1], "fail Маркировка: короткий код: код прочитан с ошибкой", "fail Маркировка: длинный код: код прочитан с ошибкой",
          "fail Маркировка: трудные символы: код прочитан с ошибкой"}, twoAndThree, {}, false},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.summary);
        const TunerRun run = runTuner(c.model, "usb-scanner");
        EXPECT_EQ(titles(run.finalState), c.findings);
        EXPECT_EQ(jsonStringField(run.finalState, "summary"), c.summary);
        for (const std::string& line : c.profileLines)
            EXPECT_NE(run.profile.find(line), std::string::npos) << line;
        if (!c.decodesMarkingCodes) continue;
        const std::string repaired = c.model.gsMode == GsMode::Dropped ? "repaired" : "";
        EXPECT_EQ(decoded(run.profile, c.model, kShortCode),
                  "04607097291111 XYZ9876 054321 Ab1z " + repaired);
        EXPECT_EQ(decoded(run.profile, c.model, kLongCode),
                  "04607097291111 QwE9876543  EE10|Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8= " + repaired);
    }

    const std::vector<std::string> twice = titles(runTuner({.doubleSend = true}, "usb-scanner").finalState);
    ASSERT_GE(twice.size(), 5u);
    EXPECT_EQ(twice[4], "warn Сканер отправляет код дважды");
    EXPECT_EQ(std::count(twice.begin(), twice.end(), twice[4]), 1);

    const TunerRun skipped = runTuner({}, "usb-scanner", true);
    EXPECT_EQ(jsonStringField(skipped.finalState, "summary"),
              "Прочитано верно 0 из 5 кодов, есть 5 замечани(й) — стоит посмотреть.");
    EXPECT_NE(skipped.profile.find("\"configured\": true"), std::string::npos);
    EXPECT_EQ(decoded(skipped.profile, {}, kLongCode),
              "04607097291111 QwE9876543  EE10|Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8= ");
}
