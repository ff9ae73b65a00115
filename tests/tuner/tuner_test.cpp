#include <gtest/gtest.h>

#include <string>

#include "../test_vectors.h"
#include "tuner/diagnosis.h"
#include "tuner/findings.h"
#include "tuner/tuner.h"
#include "tuner/tuner_state.h"
#include "tuner/typing.h"

using namespace dorvik;

namespace {

const std::string& payload(size_t step) { return tunerSteps()[step].payload; }

std::string with(std::string text, size_t at, char c) {
    text[at] = c;
    return text;
}

// "level title: detail" per finding; the advice only where the case asks for it.
std::string describe(const std::vector<Finding>& findings, bool advice = false) {
    const char* levels[] = {"ok", "warn", "fail"};
    std::string out;
    for (const Finding& f : findings) {
        out += std::string(levels[static_cast<int>(f.level)]) + " " + f.title + ": " + f.detail;
        if (advice) out += " | " + f.advice;
        out += "\n";
    }
    return out;
}

} // namespace

// One frame through the comparison and the diagnosis: what is raised, what is learned, whether it passed.
TEST(DiagnoseStep, Table) {
    const ScannerProfile crLearned{.terminator = "\r"};
    struct Case {
        const char* name;
        size_t step;
        std::string frame;
        ScannerProfile learned;
        std::string findings;
        ScannerProfile profile;
        bool passed;
        const char* gaps = "";
    } cases[] = {
        {"first step learns the framing and the pace",
         0,
         "]E0<" + payload(0) + ">\t",
         {},
         "warn Сканер печатает медленно: Максимальная пауза между символами — 61 мс. Это близко к скорости "
         "человека, отличить скан от ручного набора сложнее.\n"
         "ok Признак конца кода: Сканер завершает передачу табуляцией.\n"
         "ok Найдены лишние символы вокруг кода: Сканер добавляет префикс «<» суффикс «>». Касса будет их "
         "отрезать.\n"
         "ok Сканер сообщает тип кода: Перед кодом идёт метка «]E0». Тип кода не придётся угадывать по длине "
         "и составу.\n"
         "ok Товарный штрихкод: прочитан верно: Принятое совпало с эталоном полностью, 13 симв.\n",
         {.burstGapMs = 183,
          .frameTimeoutMs = 400,
          .prefix = "<",
          .suffix = ">",
          .terminator = "\t",
          .aimId = true},
         true,
         "5 61"},
        {"first step without a terminator, CR LF and LF named",
         0,
         payload(0),
         {},
         "warn Сканер не шлёт признак конца кода: После кода нет ни Enter, ни Tab. Касса будет закрывать код по "
         "паузе — работает, но на долю секунды медленнее.\n"
         "ok Код приходит чистым: Сканер не добавляет ничего лишнего.\n"
         "ok Товарный штрихкод: прочитан верно: Принятое совпало с эталоном полностью, 13 симв.\n",
         {.burstGapMs = 30, .frameTimeoutMs = 100},
         true,
         "9"},
        {"later step: another terminator and prefix",
         1,
         "Y" + payload(1) + "\r\n",
         {.prefix = "X", .terminator = "\r"},
         "warn Разный конец кода для разных символик: На коде «Линейный код с разделителем» сканер завершил "
         "передачу иначе (⟨CR⟩⟨LF⟩), чем на товарном штрихкоде (⟨CR⟩).\n"
         "warn Разный префикс для разных символик: Ожидали «X», пришло «Y».\n"
         "ok Разделитель полей передаётся правильно: Сканер шлёт настоящий GS (0x1D) — код маркировки "
         "разбирается однозначно.\n"
         "ok Линейный код с разделителем: прочитан верно: Принятое совпало с эталоном полностью, 27 симв.\n",
         {.prefix = "X", .terminator = "\r"},
         true},
        {"later step without a terminator is not a different one", 1, payload(1), crLearned,
         "ok Разделитель полей передаётся правильно: Сканер шлёт настоящий GS (0x1D) — код маркировки "
         "разбирается однозначно.\n"
         "ok Линейный код с разделителем: прочитан верно: Принятое совпало с эталоном полностью, 27 симв.\n",
         crLearned, true},
        {"aim mismatch", 1, "]d2" + payload(1) + "\r", crLearned,
         "warn Сканер определил символику иначе: Код «Линейный код с разделителем» закодирован как ]C1, а сканер "
         "сообщил ]d2.\n"
         "ok Разделитель полей передаётся правильно: Сканер шлёт настоящий GS (0x1D) — код маркировки "
         "разбирается однозначно.\n"
         "ok Линейный код с разделителем: прочитан верно: Принятое совпало с эталоном полностью, 27 симв.\n",
         crLearned, true},
        {"substitute learned",
         1,
         with(payload(1), 16, '\x1f') + "\r",
         crLearned,
         "ok Разделитель передаётся заменой: Вместо служебного GS сканер шлёт «⟨31⟩». Касса будет подставлять "
         "обратно.\n"
         "ok Линейный код с разделителем: прочитан верно: Принятое совпало с эталоном полностью, 27 симв.\n",
         {.terminator = "\r", .gsSubstitute = "\x1f"},
         true},
        {"gs lost: raised with the count of the others",
         2,
         eraseAll(payload(2), '\x1d') + "\r",
         crLearned,
         "fail Разделитель полей не передаётся: В коде «Маркировка: короткий код» не пришёл служебный "
         "разделитель GS. Касса будет восстанавливать его сама по структуре кода, но часть кодов маркировки "
         "так разбирается неоднозначно — такую марку касса в чек не пропустит.\n"
         "warn Маркировка: короткий код: пришёл без разделителя: Остальные 41 симв. совпали с эталоном, не "
         "пришёл только разделитель GS.\n",
         {.terminator = "\r", .gsMissing = true},
         false},
        {"gs lost again: not raised twice",
         3,
         eraseAll(payload(3), '\x1d') + "\r",
         {.terminator = "\r", .gsMissing = true},
         "warn Маркировка: длинный код: пришёл без разделителя: Остальные 80 симв. совпали с эталоном, не "
         "пришёл только разделитель GS.\n",
         {.terminator = "\r", .gsMissing = true},
         false},
        {"truncated", 3, payload(3).substr(0, 64) + "\r", crLearned,
         "fail Маркировка: длинный код: код обрезан: Пришло на 18 симв. меньше, чем в эталоне (ожидали 82). "
         "Обрезанный код маркировки ЕГАИС и Честный Знак не примут.\n",
         crLearned, false},
        {"a separator replaced is a misread, not punctuation", 4, with(payload(4), 21, '|') + "\r", crLearned,
         "fail Маркировка: трудные символы: код прочитан с ошибкой: С позиции 22 ожидали «⟨GS⟩», пришло «|».\n",
         crLearned, false},
        {"punctuation damaged", 4, with(payload(4), 25, '@') + "\r", crLearned,
         "fail Маркировка: трудные символы: испорчены знаки препинания: С позиции 26 ожидали «\"», пришло «@». "
         "Цифры и латиница при этом целы — так выглядит неверная раскладка клавиатуры сканера.\n",
         crLearned, false},
        {"misread with and without a position",
         0,
         with(payload(0), 5, '9') + "\r",
         {},
         "ok Признак конца кода: Сканер завершает передачу Enter (CR).\n"
         "ok Код приходит чистым: Сканер не добавляет ничего лишнего.\n"
         "fail Товарный штрихкод: код прочитан с ошибкой: С позиции 6 ожидали «0», пришло «9».\n",
         crLearned,
         false},
        {"cyrillic", 4, "010460709729111121\xd1\x84" + payload(4).substr(20) + "\r", crLearned,
         "fail Маркировка: трудные символы: в коде появилась кириллица: Символы пришли уже переведёнными через "
         "раскладку Windows.\n",
         crLearned, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TunerStep& step = tunerSteps()[c.step];
        const TunerFrame frame{c.frame, "dev", 1000, parseGaps(c.gaps)};
        const StepOutcome out =
            diagnoseStep(step, compareWithReference(step.payload, c.frame, step.expectedAim), frame,
                         c.learned, c.step == 0);
        EXPECT_EQ(describe(out.findings), c.findings);
        EXPECT_EQ(out.profile, c.profile);
        EXPECT_EQ(out.passed, c.passed);
    }
    // Nothing comparable arrived: a verdict without a position, with its advice.
    const StepOutcome empty =
        diagnoseStep(tunerSteps()[1], StepResult{.terminator = "\r"}, {}, crLearned, false);
    EXPECT_EQ(
        describe({empty.findings.back()}, true),
        "fail Линейный код с разделителем: код прочитан с ошибкой: Принятое не совпало с эталоном. | Протрите "
        "окно сканера и повторите шаг. Если повторяется — проверьте кабель и режим работы сканера.\n");
}

TEST(DiagnoseStep, TypingPace) {
    struct Case {
        const char* gaps;
        int32_t burst, timeout;
        bool slow;
    } cases[] = {{"5,7,9", 30, 100, false},
                 {"[20]", 60, 160, false},
                 {"50", 150, 340, false},
                 {"60", 180, 400, false},
                 {"61", 183, 400, true},
                 {"84", 250, 400, true},
                 {"18446744073709551615", 250, 400, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gaps);
        const auto pace = typingPace(parseGaps(c.gaps));
        ASSERT_TRUE(pace.has_value());
        EXPECT_EQ(pace->burstGapMs, c.burst);
        EXPECT_EQ(pace->frameTimeoutMs, c.timeout);
        EXPECT_EQ(pace->slow, c.slow);
    }
    EXPECT_FALSE(typingPace({}).has_value());
    EXPECT_EQ(parseGaps("[1, 22,x333]-4"), (std::vector<uint64_t>{1, 22, 333, 4}));
    EXPECT_EQ(parseGaps("99999999999999999999999"), std::vector<uint64_t>{UINT64_MAX});
}

TEST(Tuner, BindingDuplicatesSkipsAndState) {
    Tuner t("hid", "");
    EXPECT_EQ(tunerStateJson(t),
              std::string(dvk_vectors::kNewTunerStateHead) + dvk_vectors::kDefaultProfileJson + "}");
    EXPECT_FALSE(t.feedFrame({payload(0) + "\r", "", 10, {}})); // no device id
    EXPECT_FALSE(t.feedFrame({"hello\r", "scan", 20, {}}));     // not the reference
    EXPECT_TRUE(t.feedFrame({"]E0" + payload(0) + "\r", "scan", 30, {}}));
    EXPECT_EQ(t.profile().deviceId, "scan");
    EXPECT_EQ(
        describe({t.findings().front()}, true),
        "ok Сканер найден: Коды пришли с устройства, которое прочитало эталонный код. Касса будет принимать "
        "коды только с него — набор с клавиатуры в чек больше не попадёт. | \n");
    EXPECT_FALSE(t.feedFrame({payload(1) + "\r", "other", 40, {}}));
    // 399 ms after the same frame: reported once, and the frame still completes its step.
    EXPECT_TRUE(t.feedFrame({payload(1) + "\r", "scan", 100, {}}));
    EXPECT_TRUE(t.feedFrame({payload(1) + "\r", "scan", 499, {}}));
    EXPECT_TRUE(t.feedFrame({payload(1) + "\r", "scan", 600, {}}));
    const std::string all = describe(t.findings(), true);
    const std::string twice =
        "warn Сканер отправляет код дважды: Один и тот же кадр пришёл два раза подряд. В "
        "чек товар попадёт в двойном количестве. | Отключите в сканере дублирующую передачу "
        "или увеличьте таймаут повторного чтения (Same code delay).\n";
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
    EXPECT_NE(tunerStateJson(t).find("\"step\":5,\"total\":5,\"done\":true,\"prompt\":\"Настройка "
                                     "завершена\",\"hint\":\"\",\"code\":null,"),
              std::string::npos);
    EXPECT_EQ(describe({t.findings().back()}),
              "warn Шаг пропущен: Маркировка: трудные символы: Эта проверка не выполнена — соответствующие "
              "настройки взяты по умолчанию.\n");

    // The same frame at the same time or 400 ms later is no double send.
    Tuner edge("hid", "scan");
    for (const uint64_t tMs : {100, 500, 500})
        edge.feedFrame({payload(0) + "\r", "scan", tMs, {}});
    EXPECT_EQ(describe(edge.findings()).find("дважды"), std::string::npos);
}

TEST(Tuner, TransportsAndSummaries) {
    EXPECT_EQ(Tuner("serial", "").profile().transport, Transport::Serial);
    EXPECT_EQ(Tuner("sim", "").profile().transport, Transport::Sim);
    for (const char* name : {"none", "Serial", ""})
        EXPECT_EQ(Tuner(name, "").profile().transport, Transport::Hid) << name;
    EXPECT_EQ(tunerHint(Tuner("hid", "usb-7")), tunerSteps()[0].hint);

    EXPECT_EQ(findings::summary(4, 5, 0, 0), "Все проверки пройдены: 4 из 5 кодов, замечаний нет.");
    EXPECT_EQ(findings::summary(4, 5, 0, 2),
              "Прочитано верно 4 из 5 кодов, есть 2 замечани(й) — стоит посмотреть.");
    EXPECT_EQ(findings::summary(4, 5, 1, 2),
              "Прочитано верно 4 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера.");
}
