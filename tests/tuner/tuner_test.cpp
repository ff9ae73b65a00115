#include <gtest/gtest.h>

#include <string>

#include "tuner/diagnosis.h"
#include "tuner/findings.h"
#include "tuner/step_compare.h"
#include "tuner/tuner.h"
#include "tuner/tuner_state.h"
#include "tuner/typing.h"

using namespace dorvik;

namespace {

const std::string kEan = "4600000000008";
const std::string& payload(size_t step) { return tunerSteps()[step].payload; }

std::string with(std::string text, size_t at, char c) {
    text[at] = c;
    return text;
}

std::string replaced(std::string s, char from, char to) {
    std::replace(s.begin(), s.end(), from, to);
    return s;
}

// "level title: detail" per finding; the advice only where the case asks for it.
std::string describe(const std::vector<Finding>& findings, bool advice = false) {
    const char* levels[] = {"ok", "warn", "fail"};
    std::string out;
    for (const Finding& f : findings)
        out += std::string(levels[static_cast<int>(f.level)]) + " " + f.title + ": " + f.detail +
               (advice ? " | " + f.advice : "") + "\n";
    return out;
}

// The fields that differ from a fresh result, one word each.
std::string describe(const StepResult& r) {
    std::string out;
    auto add = [&](bool on, const std::string& word) { out += on ? word + " " : ""; };
    add(r.matched != 0, "matched");
    add(!r.prefix.empty(), "prefix=" + r.prefix);
    add(!r.suffix.empty(), "suffix=" + visualizeControls(r.suffix));
    add(!r.terminator.empty(), "term=" + visualizeControls(r.terminator));
    add(!r.aim.empty(), "aim=" + r.aim);
    add(r.aimMismatch, "aimMismatch");
    add(r.truncated, "truncated=" + std::to_string(r.missingCount));
    add(r.gsMissing, "gsMissing");
    add(!r.gsSubstitute.empty(), "sub=" + r.gsSubstitute);
    add(r.punctuationDamaged, "punctuation");
    add(r.nonAscii, "nonAscii");
    add(r.firstDiff >= 0, "diff=" + std::to_string(r.firstDiff) + ":" + visualizeControls(r.expectedChar) +
                              ">" + visualizeControls(r.receivedChar));
    return out;
}

const std::string kGsOk =
    "ok Разделитель полей передаётся правильно: Сканер шлёт настоящий GS (0x1D) — код маркировки разбирается однозначно.\n";
const std::string kRead1 =
    "ok Линейный код с разделителем: прочитан верно: Принятое совпало с эталоном полностью, 27 симв.\n";
const std::string kRead0 =
    "ok Товарный штрихкод: прочитан верно: Принятое совпало с эталоном полностью, 13 симв.\n";

} // namespace

TEST(StepCompare, Table) {
    const std::string ref31 = "ABCDEFGHIJ\035KLMNOPQRSTUVWXYZ0123"; // \035 is GS
    struct Case {
        std::string ref, frame, aimExpected, want;
    } cases[] = {
        {kEan, kEan + "\r", "]E0", "matched term=⟨CR⟩ "},
        {kEan, "]E0" + kEan + "\r\n", "]E0", "matched term=⟨CR⟩⟨LF⟩ aim=]E0 "},
        {kEan, "]E0" + kEan, "]C1", "matched aim=]E0 aimMismatch "},
        {kEan, "]E0" + kEan, "", "matched aim=]E0 "},
        {kEan, "P" + kEan + "SS\r", "", "matched prefix=P suffix=SS term=⟨CR⟩ "},
        {kEan, kEan + "\n\r", "", "matched suffix=⟨LF⟩ term=⟨CR⟩ "},
        {kEan, kEan + "\t", "", "matched term=⟨TAB⟩ "},
        {kEan, kEan + "\n", "", "matched term=⟨LF⟩ "},
        {payload(1), "]C1" + replaced(payload(1), '\035', '^') + "\r", "]C1",
         "matched term=⟨CR⟩ aim=]C1 sub=^ "},
        {payload(1), "]C1" + replaced(payload(1), '\035', ']'), "]C1", "matched aim=]C1 sub=] "},
        {"AB\035CD", "~AB#CD", "", "matched prefix=~ sub=# "},
        {payload(1), eraseAll(payload(1), '\035') + "\r", "", "matched term=⟨CR⟩ gsMissing "},
        {payload(4), replaced(payload(4), '\035', '|'), "", "diff=21:⟨GS⟩>| "},
        {ref31, ref31.substr(0, 25), "", "truncated=6 "},
        {ref31, eraseAll(ref31, '\035').substr(0, 25), "", "truncated=5 gsMissing "},
        {"A.B.C.D", "A/B.C.D", "", "punctuation diff=1:.>/ "},
        {"1.2.3", "1/4.3", "", "punctuation diff=1:.>/ "},
        {"1.2.3", "1/4.4", "", "diff=1:.>/ "}, // two digits and a mark: a misread
        {"AzB", "A.B", "", "diff=1:z>. "},     // a letter lost is no layout fault
        {"AbcD", "Фbc", "", "nonAscii diff=0:A>\xd0 "},
        {"]E0", "]E0", "]E0", "matched "}, // a frame no longer than an AIM identifier keeps it
        {kEan, "", "", "truncated=13 "},
        // Arrived with its GS but one digit lost: compared against the reference itself, not as a lost GS.
        {payload(1), "010467097291111\0353103000123", "", "truncated=1 diff=5:0>7 "},
        {payload(1), "01046070972911123103000123", "", "gsMissing diff=15:1>2 "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(compareWithReference(c.ref, c.frame, c.aimExpected)), c.want) << c.frame;
    EXPECT_EQ(detectTerminator(""), "");
    EXPECT_EQ(visualizeControls(std::string("\x1e\x04\x1c\x7f", 4) + '\0' + "\xd0\x96"),
              "⟨RS⟩⟨4⟩⟨28⟩\x7f⟨0⟩\xd0\x96");
    for (const auto& [frame, looks] :
         {std::pair{"]E0" + kEan + "\r", true}, {"xx460000yy", true}, {"46000\r", false}, {"\r", false}})
        EXPECT_EQ(looksLikeReference(kEan, frame), looks) << frame;
    EXPECT_TRUE(looksLikeReference(payload(1), eraseAll(payload(1), '\035')));
    EXPECT_FALSE(looksLikeReference("", kEan));
}

// One frame through the comparison and the diagnosis: what is raised, what is learned, whether it passed.
TEST(DiagnoseStep, Table) {
    const ScannerProfile cr{.terminator = "\r"};
    struct Case {
        size_t step;
        std::string frame;
        ScannerProfile learned;
        ScannerProfile profile;
        bool passed;
        const char* gaps;
        std::string findings;
    } cases[] = {
        // clang-format off
        // The first step learns the framing and the pace.
        {0, "]E0<" + payload(0) + ">\t", {}, {.burstGapMs = 183, .frameTimeoutMs = 400, .prefix = "<", .suffix = ">", .terminator = "\t", .aimId = true}, true, "5 61",
         "warn Сканер печатает медленно: Максимальная пауза между символами — 61 мс. Это близко к скорости человека, отличить скан от ручного набора сложнее.\n"
         "ok Признак конца кода: Сканер завершает передачу табуляцией.\n"
         "ok Найдены лишние символы вокруг кода: Сканер добавляет префикс «<» суффикс «>». Касса будет их отрезать.\n"
         "ok Сканер сообщает тип кода: Перед кодом идёт метка «]E0». Тип кода не придётся угадывать по длине и составу.\n" + kRead0},
        {0, payload(0), {}, {.burstGapMs = 30, .frameTimeoutMs = 100}, true, "9",
         "warn Сканер не шлёт признак конца кода: После кода нет ни Enter, ни Tab. Касса будет закрывать код по паузе — работает, но на долю секунды медленнее.\n"
         "ok Код приходит чистым: Сканер не добавляет ничего лишнего.\n" + kRead0},
        {0, with(payload(0), 5, '9') + "\r", {}, cr, false, "",
         "ok Признак конца кода: Сканер завершает передачу Enter (CR).\n"
         "ok Код приходит чистым: Сканер не добавляет ничего лишнего.\n"
         "fail Товарный штрихкод: код прочитан с ошибкой: С позиции 6 ожидали «0», пришло «9».\n"},
        // Later steps are held against what the first one learned; no terminator is not a different one.
        {1, "Y" + payload(1) + "\r\n", {.prefix = "X", .terminator = "\r"}, {.prefix = "X", .terminator = "\r"}, true, "",
         "warn Разный конец кода для разных символик: На коде «Линейный код с разделителем» сканер завершил передачу иначе (⟨CR⟩⟨LF⟩), чем на товарном штрихкоде (⟨CR⟩).\n"
         "warn Разный префикс для разных символик: Ожидали «X», пришло «Y».\n" + kGsOk + kRead1},
        {1, payload(1), cr, cr, true, "", kGsOk + kRead1},
        {1, "]d2" + payload(1) + "\r", cr, cr, true, "",
         "warn Сканер определил символику иначе: Код «Линейный код с разделителем» закодирован как ]C1, а сканер сообщил ]d2.\n" + kGsOk + kRead1},
        {1, with(payload(1), 16, '\x1f') + "\r", cr, {.terminator = "\r", .gsSubstitute = "\x1f"}, true, "",
         "ok Разделитель передаётся заменой: Вместо служебного GS сканер шлёт «⟨31⟩». Касса будет подставлять обратно.\n" + kRead1},
        // A lost GS is raised once, with the count of the others.
        {2, eraseAll(payload(2), '\035') + "\r", cr, {.terminator = "\r", .gsMissing = true}, false, "",
         "fail Разделитель полей не передаётся: В коде «Маркировка: короткий код» не пришёл служебный разделитель GS. Касса будет восстанавливать его сама по структуре кода, но часть кодов маркировки так разбирается неоднозначно — такую марку касса в чек не пропустит.\n"
         "warn Маркировка: короткий код: пришёл без разделителя: Остальные 41 симв. совпали с эталоном, не пришёл только разделитель GS.\n"},
        {3, eraseAll(payload(3), '\035') + "\r", {.terminator = "\r", .gsMissing = true}, {.terminator = "\r", .gsMissing = true}, false, "",
         "warn Маркировка: длинный код: пришёл без разделителя: Остальные 80 симв. совпали с эталоном, не пришёл только разделитель GS.\n"},
        {3, payload(3).substr(0, 64) + "\r", cr, cr, false, "",
         "fail Маркировка: длинный код: код обрезан: Пришло на 18 симв. меньше, чем в эталоне (ожидали 82). Обрезанный код маркировки ЕГАИС и Честный Знак не примут.\n"},
        // A separator replaced is a misread, not punctuation.
        {4, with(payload(4), 21, '|') + "\r", cr, cr, false, "", "fail Маркировка: трудные символы: код прочитан с ошибкой: С позиции 22 ожидали «⟨GS⟩», пришло «|».\n"},
        {4, with(payload(4), 25, '@') + "\r", cr, cr, false, "",
         "fail Маркировка: трудные символы: испорчены знаки препинания: С позиции 26 ожидали «\"», пришло «@». Цифры и латиница при этом целы — так выглядит неверная раскладка клавиатуры сканера.\n"},
        {4, "010460709729111121\xd1\x84" + payload(4).substr(20) + "\r", cr, cr, false, "",
         "fail Маркировка: трудные символы: в коде появилась кириллица: Символы пришли уже переведёнными через раскладку Windows.\n"},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        const TunerStep& step = tunerSteps()[c.step];
        const StepOutcome out =
            diagnoseStep(step, compareWithReference(step.payload, c.frame, step.expectedAim),
                         {c.frame, "dev", 1000, parseGaps(c.gaps)}, c.learned, c.step == 0);
        EXPECT_EQ(describe(out.findings), c.findings);
        EXPECT_EQ(out.profile, c.profile);
        EXPECT_EQ(out.passed, c.passed);
    }
    // Nothing comparable arrived: a verdict without a position, with its advice.
    const StepOutcome empty = diagnoseStep(tunerSteps()[1], StepResult{.terminator = "\r"}, {}, cr, false);
    EXPECT_EQ(
        describe({empty.findings.back()}, true),
        "fail Линейный код с разделителем: код прочитан с ошибкой: Принятое не совпало с эталоном. | Протрите окно сканера и повторите шаг. Если повторяется — проверьте кабель и режим работы сканера.\n");

    struct Pace {
        const char* gaps;
        int32_t burst, timeout;
        bool slow;
    } paces[] = {{"5,7,9", 30, 100, false},
                 {"[20]", 60, 160, false},
                 {"50", 150, 340, false},
                 {"60", 180, 400, false},
                 {"61", 183, 400, true},
                 {"84", 250, 400, true},
                 {"18446744073709551615", 250, 400, true}};
    for (const auto& c : paces) {
        const auto pace = typingPace(parseGaps(c.gaps));
        ASSERT_TRUE(pace.has_value());
        EXPECT_EQ(std::tuple(pace->burstGapMs, pace->frameTimeoutMs, pace->slow),
                  std::tuple(c.burst, c.timeout, c.slow))
            << c.gaps;
    }
    EXPECT_FALSE(typingPace({}).has_value());
    EXPECT_EQ(parseGaps("[10, 22,x303]-4,0"), (std::vector<uint64_t>{10, 22, 303, 4, 0}));
    EXPECT_EQ(parseGaps("99999999999999999999999"), std::vector<uint64_t>{UINT64_MAX});
}

TEST(Tuner, BindingDuplicatesSkipsAndState) {
    Tuner t("hid", "");
    EXPECT_FALSE(t.feedFrame({payload(0) + "\r", "", 10, {}})); // no device id
    EXPECT_FALSE(t.feedFrame({"hello\r", "scan", 20, {}}));     // not the reference
    EXPECT_TRUE(t.feedFrame({"]E0" + payload(0) + "\r", "scan", 30, {}}));
    EXPECT_EQ(t.profile().deviceId, "scan");
    EXPECT_EQ(
        describe({t.findings().front()}, true),
        "ok Сканер найден: Коды пришли с устройства, которое прочитало эталонный код. Касса будет принимать коды только с него — набор с клавиатуры в чек больше не попадёт. | \n");
    EXPECT_FALSE(t.feedFrame({payload(1) + "\r", "other", 40, {}}));
    // 399 ms after the same frame: reported once, and the frame still completes its step.
    for (const uint64_t tMs : {100, 499, 600})
        EXPECT_TRUE(t.feedFrame({payload(1) + "\r", "scan", tMs, {}}));
    const std::string all = describe(t.findings(), true);
    const std::string twice =
        "warn Сканер отправляет код дважды: Один и тот же кадр пришёл два раза подряд. В чек товар попадёт в двойном количестве. | Отключите в сканере дублирующую передачу или увеличьте таймаут повторного чтения (Same code delay).\n";
    EXPECT_NE(all.find(twice), std::string::npos);
    EXPECT_EQ(all.find(twice), all.rfind(twice));
    EXPECT_EQ(t.stepIndex(), 4);
    EXPECT_EQ(t.passedCount(), 2);

    t.skipStep();
    EXPECT_TRUE(t.isDone());
    EXPECT_TRUE(t.profile().configured);
    EXPECT_FALSE(t.feedFrame({payload(0) + "\r", "scan", 5000, {}}));
    const size_t count = t.findings().size();
    t.skipStep();
    EXPECT_EQ(t.findings().size(), count);
    EXPECT_NE(
        tunerStateJson(t).find(
            "\"step\":5,\"total\":5,\"done\":true,\"prompt\":\"Настройка завершена\",\"hint\":\"\",\"code\":null,"),
        std::string::npos);
    EXPECT_EQ(
        describe({t.findings().back()}),
        "warn Шаг пропущен: Маркировка: трудные символы: Эта проверка не выполнена — соответствующие настройки взяты по умолчанию.\n");

    // The same frame at the same time or 400 ms later is no double send.
    Tuner edge("hid", "scan");
    for (const uint64_t tMs : {100, 500, 500})
        edge.feedFrame({payload(0) + "\r", "scan", tMs, {}});
    EXPECT_EQ(describe(edge.findings()).find("дважды"), std::string::npos);

    EXPECT_EQ(Tuner("Serial", "").profile().transport, Transport::Hid);
}
