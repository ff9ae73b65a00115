#include "tuner/findings.h"

#include "tuner/tuner_steps.h"

namespace dorvik::findings {

namespace {

constexpr std::string_view kDuplicateTitle = "Сканер отправляет код дважды";
constexpr std::string_view kDuplicateDetail =
    "Один и тот же кадр пришёл два раза подряд. В чек товар попадёт в двойном количестве.";
constexpr std::string_view kDuplicateAdvice =
    "Отключите в сканере дублирующую передачу или увеличьте таймаут повторного чтения (Same code delay).";

constexpr std::string_view kFoundTitle = "Сканер найден";
constexpr std::string_view kFoundDetail =
    "Коды пришли с устройства, которое прочитало эталонный код. Касса будет принимать коды только с него — набор с клавиатуры в чек больше не попадёт.";

constexpr std::string_view kTerminatorDiffersTitle = "Разный конец кода для разных символик";
constexpr std::string_view kTerminatorDiffersAdvice =
    "Проверьте в настройках сканера суффиксы отдельно для каждой символики — они часто задаются независимо.";

constexpr std::string_view kPrefixDiffersTitle = "Разный префикс для разных символик";

constexpr std::string_view kSlowTitle = "Сканер печатает медленно";
constexpr std::string_view kSlowAdvice =
    "Уменьшите в настройках сканера межсимвольную задержку (Inter-character delay) до минимальной.";

constexpr std::string_view kTerminatorTitle = "Признак конца кода";

constexpr std::string_view kNoTerminatorTitle = "Сканер не шлёт признак конца кода";
constexpr std::string_view kNoTerminatorDetail =
    "После кода нет ни Enter, ни Tab. Касса будет закрывать код по паузе — работает, но на долю секунды медленнее.";
constexpr std::string_view kNoTerminatorAdvice =
    "Включите в сканере суффикс Enter (CR) — обычно это отдельный конфигурационный штрихкод в руководстве.";

constexpr std::string_view kCleanTitle = "Код приходит чистым";
constexpr std::string_view kCleanDetail = "Сканер не добавляет ничего лишнего.";

constexpr std::string_view kExtraTitle = "Найдены лишние символы вокруг кода";

constexpr std::string_view kAimTitle = "Сканер сообщает тип кода";

constexpr std::string_view kAimMismatchTitle = "Сканер определил символику иначе";
constexpr std::string_view kAimMismatchAdvice =
    "Чаще всего это значит, что в сканере выключен режим GS1. Обычные штрихкоды при этом читаются нормально, а разделитель полей в маркировке передаётся неверно.";

constexpr std::string_view kGsMissingTitle = "Разделитель полей не передаётся";
constexpr std::string_view kGsMissingAdvice =
    "Включите в сканере передачу GS настроечным штрихкодом из его руководства: «Transmit GS», «GS1 separator», «FNC1 as GS» или «Control + X (Ctrl+ASCII)».";

constexpr std::string_view kGsSubstituteTitle = "Разделитель передаётся заменой";

constexpr std::string_view kGsOkTitle = "Разделитель полей передаётся правильно";
constexpr std::string_view kGsOkDetail =
    "Сканер шлёт настоящий GS (0x1D) — код маркировки разбирается однозначно.";

constexpr std::string_view kTruncatedAdvice =
    "Увеличьте в настройках сканера максимальную длину передаваемых данных. У многих моделей по умолчанию стоит ограничение, которого не хватает на длинные коды.";

constexpr std::string_view kCyrillicDetail = "Символы пришли уже переведёнными через раскладку Windows.";
constexpr std::string_view kCyrillicAdvice =
    "Переведите сканер в режим США (Keyboard country: USA) — при русской раскладке криптохвост кода маркировки портится необратимо.";

constexpr std::string_view kMisreadAdvice =
    "Протрите окно сканера и повторите шаг. Если повторяется — проверьте кабель и режим работы сканера.";

constexpr std::string_view kPunctuationAdvice =
    "В настройках сканера выставьте Keyboard country: USA. Обычные штрихкоды работают и без этого, а маркировка — нет.";

constexpr std::string_view kSkippedDetail =
    "Эта проверка не выполнена — соответствующие настройки взяты по умолчанию.";

constexpr std::string_view kDonePrompt = "Настройка завершена";
constexpr std::string_view kBindingHint =
    " Заодно касса поймёт, какое из устройств ввода — сканер: дальше она будет слушать только его.";

// Joins literal pieces, numbers and visualised bytes into one text.
class Text {
  public:
    Text& operator<<(std::string_view piece) {
        text_ += piece;
        return *this;
    }
    Text& operator<<(uint64_t number) {
        text_ += std::to_string(number);
        return *this;
    }
    std::string take() { return std::move(text_); }

  private:
    std::string text_;
};

std::string quoted(std::string_view before, std::string_view bytes) {
    return (Text() << before << "«" << visualizeControls(bytes) << "»").take();
}

std::string_view terminatorName(std::string_view terminator) {
    if (terminator == "\r\n") return "CR+LF";
    if (terminator == "\r") return "Enter (CR)";
    if (terminator == "\t") return "табуляцией";
    return "LF";
}

std::string differenceDetail(const StepResult& result) {
    return (Text() << "С позиции " << static_cast<uint64_t>(static_cast<int64_t>(result.firstDiff) + 1))
               .take() +
           quoted(" ожидали ", result.expectedChar) + quoted(", пришло ", result.receivedChar);
}

Finding make(FindingLevel level, std::string title, std::string detail, std::string_view advice = {}) {
    return Finding{level, std::move(title), std::move(detail), std::string(advice)};
}

} // namespace

Finding duplicateFrame() {
    return make(FindingLevel::Warn, std::string(kDuplicateTitle), std::string(kDuplicateDetail),
                kDuplicateAdvice);
}

Finding scannerFound() { return make(FindingLevel::Ok, std::string(kFoundTitle), std::string(kFoundDetail)); }

Finding stepSkipped(std::string_view stepTitle) {
    return make(FindingLevel::Warn, (Text() << "Шаг пропущен: " << stepTitle).take(),
                std::string(kSkippedDetail));
}

Finding slowTyping(uint64_t maxGapMs) {
    return make(FindingLevel::Warn, std::string(kSlowTitle),
                (Text() << "Максимальная пауза между символами — " << maxGapMs
                        << " мс. Это близко к скорости человека, отличить скан от ручного набора сложнее.")
                    .take(),
                kSlowAdvice);
}

Finding terminator(std::string_view terminator) {
    return make(FindingLevel::Ok, std::string(kTerminatorTitle),
                (Text() << "Сканер завершает передачу " << terminatorName(terminator) << ".").take());
}

Finding noTerminator() {
    return make(FindingLevel::Warn, std::string(kNoTerminatorTitle), std::string(kNoTerminatorDetail),
                kNoTerminatorAdvice);
}

Finding cleanFrame() { return make(FindingLevel::Ok, std::string(kCleanTitle), std::string(kCleanDetail)); }

Finding extraAroundCode(std::string_view prefix, std::string_view suffix) {
    std::string detail = "Сканер добавляет";
    if (!prefix.empty()) detail += quoted(" префикс ", prefix);
    if (!suffix.empty()) detail += quoted(" суффикс ", suffix);
    detail += ". Касса будет их отрезать.";
    return make(FindingLevel::Ok, std::string(kExtraTitle), std::move(detail));
}

Finding aimReported(std::string_view aim) {
    return make(FindingLevel::Ok, std::string(kAimTitle),
                (Text() << "Перед кодом идёт метка «" << aim
                        << "». Тип кода не придётся угадывать по длине и составу.")
                    .take());
}

Finding terminatorDiffers(std::string_view stepTitle, std::string_view got, std::string_view learned) {
    return make(FindingLevel::Warn, std::string(kTerminatorDiffersTitle),
                (Text() << "На коде «" << stepTitle << "» сканер завершил передачу иначе ("
                        << visualizeControls(got) << "), чем на товарном штрихкоде ("
                        << visualizeControls(learned) << ").")
                    .take(),
                kTerminatorDiffersAdvice);
}

Finding prefixDiffers(std::string_view learned, std::string_view got) {
    return make(FindingLevel::Warn, std::string(kPrefixDiffersTitle),
                quoted("Ожидали ", learned) + quoted(", пришло ", got) + ".");
}

Finding aimMismatch(std::string_view stepTitle, std::string_view expectedAim, std::string_view aim) {
    return make(FindingLevel::Warn, std::string(kAimMismatchTitle),
                (Text() << "Код «" << stepTitle << "» закодирован как " << expectedAim
                        << ", а сканер сообщил " << aim << ".")
                    .take(),
                kAimMismatchAdvice);
}

Finding gsMissing(std::string_view stepTitle) {
    return make(
        FindingLevel::Fail, std::string(kGsMissingTitle),
        (Text()
         << "В коде «" << stepTitle
         << "» не пришёл служебный разделитель GS. Касса будет восстанавливать его сама по структуре кода, но часть кодов маркировки так разбирается неоднозначно — такую марку касса в чек не пропустит.")
            .take(),
        kGsMissingAdvice);
}

Finding gsSubstitute(std::string_view substitute) {
    return make(FindingLevel::Ok, std::string(kGsSubstituteTitle),
                quoted("Вместо служебного GS сканер шлёт ", substitute) +
                    ". Касса будет подставлять обратно.");
}

Finding gsOk() { return make(FindingLevel::Ok, std::string(kGsOkTitle), std::string(kGsOkDetail)); }

Finding readCorrectly(std::string_view stepTitle, uint64_t length) {
    return make(FindingLevel::Ok, (Text() << stepTitle << ": прочитан верно").take(),
                (Text() << "Принятое совпало с эталоном полностью, " << length << " симв.").take());
}

Finding readWithoutSeparator(std::string_view stepTitle, uint64_t othersMatched) {
    return make(FindingLevel::Warn, (Text() << stepTitle << ": пришёл без разделителя").take(),
                (Text() << "Остальные " << othersMatched
                        << " симв. совпали с эталоном, не пришёл только разделитель GS.")
                    .take());
}

Finding truncated(std::string_view stepTitle, uint64_t missing, uint64_t length) {
    return make(FindingLevel::Fail, (Text() << stepTitle << ": код обрезан").take(),
                (Text() << "Пришло на " << missing << " симв. меньше, чем в эталоне (ожидали " << length
                        << "). Обрезанный код маркировки ЕГАИС и Честный Знак не примут.")
                    .take(),
                kTruncatedAdvice);
}

Finding cyrillic(std::string_view stepTitle) {
    return make(FindingLevel::Fail, (Text() << stepTitle << ": в коде появилась кириллица").take(),
                std::string(kCyrillicDetail), kCyrillicAdvice);
}

Finding misread(std::string_view stepTitle, const StepResult& result) {
    return make(FindingLevel::Fail, (Text() << stepTitle << ": код прочитан с ошибкой").take(),
                result.firstDiff < 0 ? "Принятое не совпало с эталоном." : differenceDetail(result) + ".",
                kMisreadAdvice);
}

Finding punctuationDamaged(std::string_view stepTitle, const StepResult& result) {
    return make(FindingLevel::Fail, (Text() << stepTitle << ": испорчены знаки препинания").take(),
                differenceDetail(result) +
                    ". Цифры и латиница при этом целы — так выглядит неверная раскладка клавиатуры сканера.",
                kPunctuationAdvice);
}

std::string summary(uint64_t passed, uint64_t total, uint64_t fails, uint64_t warnings) {
    const std::string core = (Text() << passed << " из " << total << " кодов").take();
    if (fails > 0) {
        return (Text() << "Прочитано верно " << core << ". " << fails
                       << " проблем(ы) требуют перенастройки самого сканера.")
            .take();
    }
    if (warnings > 0)
        return (Text() << "Прочитано верно " << core << ", есть " << warnings
                       << " замечани(й) — стоит посмотреть.")
            .take();
    return (Text() << "Все проверки пройдены: " << core << ", замечаний нет.").take();
}

std::string_view donePrompt() { return kDonePrompt; }

std::string_view bindingHint() { return kBindingHint; }

} // namespace dorvik::findings
