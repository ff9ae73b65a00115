// Whole set-ups as a host runs them: a simulated scanner types each reference code into a real decoder, the
// polled frames go to the tuner, and the learned profile then decodes that scanner's marking codes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scanner_sim.h"

using namespace dvksim;

namespace {

const std::string kShortFields = "04607097291111 XYZ9876 054321 Ab1z";
const std::string kLongFields =
    "04607097291111 QwE9876543  EE10|Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=";
const std::string kShortCode = "010460709729111121XYZ9876\x1d"
                               "8005054321\x1d"
                               "93Ab1z";
const std::string kLongCode = "010460709729111121QwE9876543\x1d"
                              "91EE10\x1d"
                              "92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=";

std::vector<std::string> findingTitles(const std::string& state) {
    std::vector<std::string> titles;
    const std::string key = "\"title\":";
    const size_t findings = state.find("\"findings\":[");
    for (size_t at = state.find(key, findings); at != std::string::npos; at = state.find(key, at + 1)) {
        const std::string level = jsonStringField(state.substr(state.rfind("{\"level\":", at)), "level");
        titles.push_back(level + " " + jsonStringField(state.substr(at - 1), "title"));
    }
    return titles;
}

struct Expectation {
    const char* name;
    ScannerModel model;
    std::vector<std::string> findings;
    std::string summary;
    std::vector<std::string> profileLines; // lines the learned profile must hold
    bool decodesMarkingCodes = true;
};

// The GS1 fields a decoder reports for a code, as "gtin serial mrc cryptoTail".
std::string decodedFields(const std::string& profile, const ScannerModel& model, const std::string& code,
                          std::string& scan) {
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> d(dvk_decoder_new(), &dvk_decoder_free);
    EXPECT_EQ(dvk_decoder_set_profile(d.get(), profile.c_str()), 1);
    uint64_t now = 5000;
    const PollResult polled = scanOnce(d.get(), model, code, "datamatrix", "usb-scanner", now);
    if (polled.scans.size() != 1) return std::to_string(polled.scans.size()) + " scans";
    scan = polled.scans[0];
    return jsonStringField(scan, "gtin") + " " + jsonStringField(scan, "serial") + " " +
           jsonStringField(scan, "mrc") + " " + jsonStringField(scan, "cryptoTail");
}

} // namespace

TEST(TunerEndToEnd, SimulatedScanners) {
    const std::string found = "ok Сканер найден";
    const std::string cr = "ok Признак конца кода";
    const std::string clean = "ok Код приходит чистым";
    const std::string gsOk = "ok Разделитель полей передаётся правильно";
    const std::vector<std::string> read = {
        "ok Товарный штрихкод: прочитан верно", "ok Линейный код с разделителем: прочитан верно",
        "ok Маркировка: короткий код: прочитан верно", "ok Маркировка: длинный код: прочитан верно",
        "ok Маркировка: трудные символы: прочитан верно"};
    const std::string sub = "ok Разделитель передаётся заменой";
    const std::string allFine = "Все проверки пройдены: 5 из 5 кодов, замечаний нет.";

    const Expectation cases[] = {
        {"perfect",
         {},
         {found, cr, clean, read[0], gsOk, read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]},
         allFine,
         {"\"terminator\": \"\\r\"", "\"burstGapMs\": 30", "\"frameTimeoutMs\": 100", "\"gsMissing\": false",
          "\"configured\": true", "\"deviceId\": \"usb-scanner\""}},
        {"gs as alt code",
         {.gsMode = GsMode::AltCode},
         {found, cr, clean, read[0], gsOk, read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]},
         allFine,
         {}},
        {"drops gs",
         {.gsMode = GsMode::Dropped},
         {found, cr, clean, read[0], "fail Разделитель полей не передаётся",
          "warn Линейный код с разделителем: пришёл без разделителя",
          "warn Маркировка: короткий код: пришёл без разделителя",
          "warn Маркировка: длинный код: пришёл без разделителя",
          "warn Маркировка: трудные символы: пришёл без разделителя"},
         "Прочитано верно 1 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера.",
         {"\"gsMissing\": true"}},
        {"pipe for gs",
         {.gsMode = GsMode::Substitute, .gsSubstitute = '|'},
         {found, cr, clean, read[0], sub, read[1], sub, read[2], sub, read[3],
          "fail Маркировка: трудные символы: код прочитан с ошибкой"},
         "Прочитано верно 4 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера.",
         {"\"gsSubstitute\": \"|\""}},
        {"buffer of 64",
         {.bufferLimit = 64},
         {found, cr, clean, read[0], gsOk, read[1], gsOk, read[2],
          "fail Маркировка: длинный код: код обрезан", gsOk, read[4]},
         "Прочитано верно 4 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера.",
         {},
         false},
        {"prefix, suffix, aim",
         {.prefix = "<", .suffix = ">", .terminator = "\r\n", .aimIds = true},
         {found, cr, "ok Найдены лишние символы вокруг кода", "ok Сканер сообщает тип кода", read[0], gsOk,
          read[1], gsOk, read[2], gsOk, read[3], gsOk, read[4]},
         allFine,
         {"\"prefix\": \"<\"", "\"suffix\": \">\"", "\"terminator\": \"\\r\\n\"", "\"aimId\": true"}},
        {"slow typing",
         {.terminator = "\t", .gapMs = 70},
         {found, "warn Сканер печатает медленно", cr, clean, read[0], gsOk, read[1], gsOk, read[2], gsOk,
          read[3], gsOk, read[4]},
         "Прочитано верно 5 из 5 кодов, есть 1 замечани(й) — стоит посмотреть.",
         {"\"burstGapMs\": 210", "\"frameTimeoutMs\": 400", "\"terminator\": \"\\t\""}},
        {"no terminator",
         {.terminator = ""},
         {found, "warn Сканер не шлёт признак конца кода", clean, read[0], gsOk, read[1], gsOk, read[2], gsOk,
          read[3], gsOk, read[4]},
         "Прочитано верно 5 из 5 кодов, есть 1 замечани(й) — стоит посмотреть.",
         {"\"terminator\": \"\""}},
        {"cyrillic layout",
         {.cyrillicLayout = true},
         {found, cr, clean, read[0], gsOk, read[1],
          "fail Маркировка: короткий код: в коде появилась кириллица",
          "fail Маркировка: длинный код: в коде появилась кириллица",
          "fail Маркировка: трудные символы: в коде появилась кириллица"},
         "Прочитано верно 2 из 5 кодов. 3 проблем(ы) требуют перенастройки самого сканера.",
         {},
         false},
        {"caps lock",
         {.capsLock = true},
         {found, cr, clean, read[0], gsOk, read[1], "fail Маркировка: короткий код: код прочитан с ошибкой",
          "fail Маркировка: длинный код: код прочитан с ошибкой",
          "fail Маркировка: трудные символы: код прочитан с ошибкой"},
         "Прочитано верно 2 из 5 кодов. 3 проблем(ы) требуют перенастройки самого сканера.",
         {},
         false},
    };
    for (const Expectation& c : cases) {
        SCOPED_TRACE(c.name);
        const TunerRun run = runTuner(c.model, "usb-scanner");
        EXPECT_EQ(findingTitles(run.finalState), c.findings);
        EXPECT_EQ(jsonStringField(run.finalState, "summary"), c.summary);
        for (const std::string& line : c.profileLines)
            EXPECT_NE(run.profile.find(line), std::string::npos) << line;
        if (!c.decodesMarkingCodes) continue;
        for (const auto& [code, fields] :
             {std::pair{kShortCode, kShortFields}, std::pair{kLongCode, kLongFields}}) {
            std::string scan;
            EXPECT_EQ(decodedFields(run.profile, c.model, code, scan), fields) << scan;
            EXPECT_NE(scan.find("\"kind\":8,"), std::string::npos) << scan;
            EXPECT_NE(scan.find("\"gsGuess\":false,\"suspect\":false"), std::string::npos) << scan;
            EXPECT_EQ(scan.find("\"gsRepaired\":true") != std::string::npos,
                      c.model.gsMode == GsMode::Dropped)
                << scan;
        }
    }
}

TEST(TunerEndToEnd, DoubleSendAndSkippedSetUp) {
    const TunerRun twice = runTuner({.doubleSend = true}, "usb-scanner");
    const std::vector<std::string> titles = findingTitles(twice.finalState);
    ASSERT_GE(titles.size(), 5u);
    EXPECT_EQ(titles[4], "warn Сканер отправляет код дважды");
    EXPECT_EQ(std::count(titles.begin(), titles.end(), "warn Сканер отправляет код дважды"), 1);

    const TunerRun skipped = runTuner({}, "usb-scanner", true);
    EXPECT_EQ(findingTitles(skipped.finalState),
              (std::vector<std::string>{
                  "warn Шаг пропущен: Товарный штрихкод", "warn Шаг пропущен: Линейный код с разделителем",
                  "warn Шаг пропущен: Маркировка: короткий код", "warn Шаг пропущен: Маркировка: длинный код",
                  "warn Шаг пропущен: Маркировка: трудные символы"}));
    EXPECT_EQ(jsonStringField(skipped.finalState, "summary"),
              "Прочитано верно 0 из 5 кодов, есть 5 замечани(й) — стоит посмотреть.");
    EXPECT_NE(skipped.profile.find("\"configured\": true"), std::string::npos);
    std::string scan;
    EXPECT_EQ(decodedFields(skipped.profile, {}, kLongCode, scan), kLongFields);
}
