#include <gtest/gtest.h>

#include <string>

#include "../test_vectors.h"
#include "tuner/step_compare.h"
#include "tuner/tuner.h"
#include "tuner/tuner_state.h"

using namespace dorvik;

namespace {

const std::string kEan = "4600000000008";

std::string titles(const Tuner& t) {
    std::string out;
    const char* levels[] = {"ok", "warn", "fail"};
    for (const Finding& f : t.findings)
        out += levels[static_cast<int>(f.level)] + f.title + "\n";
    return out;
}

bool feed(Tuner& t, const std::string& text, uint64_t tMs = 1000, const char* gaps = "",
          const char* device = "scan") {
    return t.feedFrame(TunerFrame{text, device, tMs, parseGaps(gaps)});
}

const std::string& payload(size_t step) { return tunerSteps()[step].payload; }

} // namespace

TEST(Tuner, NewStateAndSkips) {
    Tuner t("hid", "");
    EXPECT_EQ(tunerStateJson(t),
              std::string(dvk_vectors::kNewTunerStateHead) + dvk_vectors::kDefaultProfileJson + "}");
    t.skipStep();
    const std::string state = tunerStateJson(t);
    EXPECT_NE(
        state.find(std::string("\"findings\":[") + dvk_vectors::kSkippedStep0Finding +
                   "],\"summary\":\"Прочитано верно 0 из 5 кодов, есть 1 замечани(й) — стоит посмотреть.\""),
        std::string::npos)
        << state;
    EXPECT_NE(state.find("\"step\":1,"), std::string::npos);
    EXPECT_NE(
        state.find(
            "\"payload\":\"0104607097291111\\u001d3103000123\",\"payloadVisible\":\"0104607097291111⟨GS⟩3103000123\""),
        std::string::npos);
    for (int i = 0; i < 5; ++i)
        t.skipStep();
    EXPECT_EQ(t.findings.size(), 5u);
    EXPECT_TRUE(t.profile.configured);
    const std::string done = tunerStateJson(t);
    EXPECT_NE(
        done.find(
            "\"step\":5,\"total\":5,\"done\":true,\"prompt\":\"Настройка завершена\",\"hint\":\"\",\"code\":null,"),
        std::string::npos);
    EXPECT_NE(
        done.find("\"summary\":\"Прочитано верно 0 из 5 кодов, есть 5 замечани(й) — стоит посмотреть.\""),
        std::string::npos);
    EXPECT_FALSE(feed(t, kEan + "\r"));
}

TEST(Tuner, TransportsAndBoundHint) {
    EXPECT_EQ(Tuner("serial", "").profile.transport, Transport::Serial);
    for (const char* name : {"none", "Serial", ""})
        EXPECT_EQ(Tuner(name, "").profile.transport, Transport::Hid) << name;
    const Tuner bound("hid", "usb-7");
    EXPECT_EQ(tunerHint(bound), tunerSteps()[0].hint);
    EXPECT_EQ(bound.profile.deviceId, "usb-7");
    const std::string hint0(tunerSteps()[0].hint);
    EXPECT_NE(tunerStateJson(bound).find("\"hint\":\"" + hint0 + "\",\"code\""), std::string::npos);
    Tuner last("hid", "");
    last.stepIndex = 4;
    EXPECT_NE(tunerStateJson(last).find(
                  "\"payload\":\"010460709729111121aA0\\u001d92!\\\"#$%&'()*+,-./:;<=>?@[\\\\]^_`{|}~\""),
              std::string::npos);
}

TEST(Tuner, FeedBindingAndDuplicates) {
    Tuner t("hid", "");
    EXPECT_FALSE(t.feedFrame(TunerFrame{kEan + "\r", "", 10, {}})); // no device id
    EXPECT_FALSE(feed(t, "hello\r", 20));                           // not the reference
    EXPECT_TRUE(feed(t, "]E0" + kEan + "\r", 30, "[5,5]"));
    EXPECT_EQ(t.profile.deviceId, "scan");
    EXPECT_FALSE(feed(t, payload(1) + "\r", 40, "", "other"));
    EXPECT_EQ(t.stepIndex, 1);
    EXPECT_TRUE(feed(t, payload(1) + "\r", 100));
    EXPECT_TRUE(feed(t, payload(1) + "\r", 499)); // 399 ms later: reported once, still completes step 2
    EXPECT_TRUE(feed(t, payload(1) + "\r", 600));
    EXPECT_EQ(titles(t).find("warnСканер отправляет код дважды"),
              titles(t).rfind("warnСканер отправляет код дважды"));
    EXPECT_NE(titles(t).find("warnСканер отправляет код дважды"), std::string::npos);

    Tuner edge("hid", "scan");
    feed(edge, kEan + "\r", 100);
    feed(edge, kEan + "\r", 500);
    feed(edge, kEan + "\r", 500);
    EXPECT_EQ(titles(edge).find("дважды"), std::string::npos);
}

TEST(Tuner, FindingsOfAStep) {
    struct Case {
        const char* name;
        std::vector<std::string> frames; // fed in order from step 0
        const char* gaps;
        std::string expected; // findings of the last frame, level + title per line
    } cases[] = {
        {"clean first step",
         {kEan + "\r"},
         "[5,7,9]",
         "okСканер найден\nokПризнак конца кода\nokКод приходит чистым\nokТоварный штрихкод: прочитан верно\n"},
        {"slow, no terminator, aim",
         {"]E0X" + kEan + "\t"},
         "[61]",
         "okСканер найден\nwarnСканер печатает медленно\nokПризнак конца кода\nokНайдены лишние символы вокруг кода\n"
         "okСканер сообщает тип кода\nokТоварный штрихкод: прочитан верно\n"},
        {"no terminator",
         {kEan},
         "",
         "okСканер найден\nwarnСканер не шлёт признак конца кода\nokКод приходит чистым\nokТоварный штрихкод: прочитан верно\n"},
        {"gs dropped twice",
         {kEan + "\r", eraseAll(payload(1), 0x1d) + "\r", eraseAll(payload(2), 0x1d) + "\r"},
         "",
         "warnМаркировка: короткий код: пришёл без разделителя\n"},
        {"substitute",
         {kEan + "\r", payload(1).substr(0, 16) + "|" + payload(1).substr(17) + "\r\n"},
         "",
         "warnРазный конец кода для разных символик\nokРазделитель передаётся заменой\nokЛинейный код с разделителем: прочитан верно\n"},
        {"aim mismatch",
         {kEan + "\r", "]d2" + payload(1) + "\r"},
         "",
         "warnСканер определил символику иначе\nokРазделитель полей передаётся правильно\nokЛинейный код с разделителем: прочитан верно\n"},
        {"truncated",
         {kEan + "\r", payload(1) + "\r", payload(2) + "\r", payload(3).substr(0, 64) + "\r"},
         "",
         "failМаркировка: длинный код: код обрезан\n"},
        {"cyrillic",
         {kEan + "\r", payload(1) + "\r", payload(2) + "\r", payload(3),
          "010460709729111121\xd1\x84"
          "A0\x1d"
          "92" +
              payload(4).substr(24)},
         "",
         "failМаркировка: трудные символы: в коде появилась кириллица\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tuner t("hid", "");
        size_t before = 0;
        for (size_t i = 0; i < c.frames.size(); ++i) {
            before = t.findings.size();
            EXPECT_TRUE(feed(t, c.frames[i], 1000 * (i + 1), i == 0 ? c.gaps : ""));
        }
        Tuner last = t;
        last.findings.erase(last.findings.begin(), last.findings.begin() + static_cast<long>(before));
        EXPECT_EQ(titles(last), c.expected);
    }
}

TEST(Tuner, ComposedTexts) {
    Tuner t("hid", "scan");
    feed(t, "X" + kEan + "\t\r", 1000, "[61,2]");
    ASSERT_GE(t.findings.size(), 3u);
    EXPECT_EQ(
        t.findings[0].detail,
        "Максимальная пауза между символами — 61 мс. Это близко к скорости человека, отличить скан от ручного набора сложнее.");
    EXPECT_EQ(t.findings[1].detail, "Сканер завершает передачу Enter (CR).");
    EXPECT_EQ(t.findings[2].detail, "Сканер добавляет префикс «X» суффикс «⟨TAB⟩». Касса будет их отрезать.");
    EXPECT_EQ(t.profile.burstGapMs, 183);
    EXPECT_EQ(t.profile.frameTimeoutMs, 400);

    feed(t, "Y" + payload(1) + "\x1f\r\n", 2000);
    EXPECT_EQ(
        t.findings[4].detail,
        "На коде «Линейный код с разделителем» сканер завершил передачу иначе (⟨CR⟩⟨LF⟩), чем на товарном штрихкоде (⟨CR⟩).");
    EXPECT_EQ(t.findings[5].detail, "Ожидали «X», пришло «Y».");

    Tuner pipe("hid", "scan");
    pipe.stepIndex = 4;
    std::string step4 = payload(4);
    step4[21] = '|';
    feed(pipe, step4 + "\r");
    EXPECT_EQ(pipe.findings.back().detail, "С позиции 22 ожидали «⟨GS⟩», пришло «|».");

    Tuner sub("hid", "scan");
    sub.stepIndex = 1;
    std::string step1 = payload(1);
    step1[16] = '\x1f';
    feed(sub, step1 + "\r");
    EXPECT_EQ(sub.findings[1].detail,
              "Вместо служебного GS сканер шлёт «⟨31⟩». Касса будет подставлять обратно.");
    EXPECT_EQ(sub.profile.gsSubstitute, "\x1f");
}

TEST(Tuner, TypingThresholds) {
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
                 {"", 60, 140, false},
                 {"-5", 30, 100, false},
                 {"99999999999999999999999999", 250, 400, true},
                 {"18446744073709551615", 250, 400, true}};
    for (const auto& c : cases) {
        Tuner t("hid", "scan");
        feed(t, kEan + "\r", 1000, c.gaps);
        EXPECT_EQ(t.profile.burstGapMs, c.burst) << c.gaps;
        EXPECT_EQ(t.profile.frameTimeoutMs, c.timeout) << c.gaps;
        EXPECT_EQ(titles(t).find("медленно") != std::string::npos, c.slow) << c.gaps;
    }
    EXPECT_EQ(parseGaps("[1, 22,x333]-4"), (std::vector<uint64_t>{1, 22, 333, 4}));
    EXPECT_EQ(parseGaps("99999999999999999999999"), std::vector<uint64_t>{UINT64_MAX});
}

TEST(Tuner, SummaryForms) {
    Tuner t("hid", "scan");
    t.passedCount = 4;
    t.addFinding(FindingLevel::Ok, "a", "", "");
    EXPECT_EQ(t.summary(), "Все проверки пройдены: 4 из 5 кодов, замечаний нет.");
    t.addFinding(FindingLevel::Warn, "b", "", "");
    t.addFinding(FindingLevel::Warn, "c", "", "");
    EXPECT_EQ(t.summary(), "Прочитано верно 4 из 5 кодов, есть 2 замечани(й) — стоит посмотреть.");
    t.addFinding(FindingLevel::Fail, "d", "", "");
    EXPECT_EQ(t.summary(),
              "Прочитано верно 4 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера.");
}
