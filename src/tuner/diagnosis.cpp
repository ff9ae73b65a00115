#include "tuner/diagnosis.h"

#include <algorithm>
#include <string>

#include "tuner/findings.h"

namespace dorvik {

namespace {

using namespace findings;

constexpr char kGs = '\x1d';

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

void diagnoseLaterStep(Tuner& tuner, const TunerStep& step, const StepResult& result) {
    const ScannerProfile& p = tuner.profile;
    if (!result.terminator.empty() && result.terminator != p.terminator) {
        tuner.addFinding(FindingLevel::Warn, std::string(kTerminatorDiffersTitle),
                         (Text() << "На коде «" << step.title << "» сканер завершил передачу иначе ("
                                 << visualizeControls(result.terminator) << "), чем на товарном штрихкоде ("
                                 << visualizeControls(p.terminator) << ").")
                             .take(),
                         std::string(kTerminatorDiffersAdvice));
    }
    if (result.prefix != p.prefix) {
        tuner.addFinding(FindingLevel::Warn, std::string(kPrefixDiffersTitle),
                         quoted("Ожидали ", p.prefix) + quoted(", пришло ", result.prefix) + ".", "");
    }
}

void diagnoseFirstStep(Tuner& tuner, const StepResult& result, const TunerFrame& frame) {
    ScannerProfile& p = tuner.profile;
    p.terminator = result.terminator;
    p.prefix = result.prefix;
    p.suffix = result.suffix;
    p.aimId = !result.aim.empty();
    analyseTyping(tuner, frame);

    if (!result.terminator.empty()) {
        tuner.addFinding(
            FindingLevel::Ok, std::string(kTerminatorTitle),
            (Text() << "Сканер завершает передачу " << terminatorName(result.terminator) << ".").take(), "");
    } else {
        tuner.addFinding(FindingLevel::Warn, std::string(kNoTerminatorTitle),
                         std::string(kNoTerminatorDetail), std::string(kNoTerminatorAdvice));
    }
    if (result.prefix.empty() && result.suffix.empty()) {
        tuner.addFinding(FindingLevel::Ok, std::string(kCleanTitle), std::string(kCleanDetail), "");
    } else {
        std::string detail = "Сканер добавляет";
        if (!result.prefix.empty()) detail += quoted(" префикс ", result.prefix);
        if (!result.suffix.empty()) detail += quoted(" суффикс ", result.suffix);
        detail += ". Касса будет их отрезать.";
        tuner.addFinding(FindingLevel::Ok, std::string(kExtraTitle), std::move(detail), "");
    }
    if (!result.aim.empty()) {
        tuner.addFinding(FindingLevel::Ok, std::string(kAimTitle),
                         (Text() << "Перед кодом идёт метка «" << result.aim
                                 << "». Тип кода не придётся угадывать по длине и составу.")
                             .take(),
                         "");
    }
}

void diagnoseSeparator(Tuner& tuner, const TunerStep& step, const StepResult& result) {
    ScannerProfile& p = tuner.profile;
    if (result.gsMissing) {
        if (!p.gsMissing) {
            tuner.addFinding(
                FindingLevel::Fail, std::string(kGsMissingTitle),
                (Text()
                 << "В коде «" << step.title
                 << "» не пришёл служебный разделитель GS. Касса будет восстанавливать его сама по структуре кода, но часть кодов маркировки так разбирается неоднозначно — такую марку касса в чек не пропустит.")
                    .take(),
                std::string(kGsMissingAdvice));
        }
        p.gsMissing = true;
    } else if (!result.gsSubstitute.empty()) {
        p.gsSubstitute = result.gsSubstitute;
        tuner.addFinding(FindingLevel::Ok, std::string(kGsSubstituteTitle),
                         quoted("Вместо служебного GS сканер шлёт ", result.gsSubstitute) +
                             ". Касса будет подставлять обратно.",
                         "");
    } else if (result.matched) {
        tuner.addFinding(FindingLevel::Ok, std::string(kGsOkTitle), std::string(kGsOkDetail), "");
    }
}

std::string differenceDetail(const StepResult& result) {
    return (Text() << "С позиции " << static_cast<uint64_t>(static_cast<int64_t>(result.firstDiff) + 1))
               .take() +
           quoted(" ожидали ", result.expectedChar) + quoted(", пришло ", result.receivedChar);
}

void raiseVerdict(Tuner& tuner, const TunerStep& step, const StepResult& result) {
    const std::string_view title = step.title;
    const uint64_t length = step.payload.size();
    if (result.matched) {
        if (result.gsMissing) {
            const auto gsCount =
                static_cast<uint64_t>(std::count(step.payload.begin(), step.payload.end(), kGs));
            tuner.addFinding(FindingLevel::Warn, (Text() << title << ": пришёл без разделителя").take(),
                             (Text() << "Остальные " << length - gsCount
                                     << " симв. совпали с эталоном, не пришёл только разделитель GS.")
                                 .take(),
                             "");
        } else {
            ++tuner.passedCount;
            tuner.addFinding(
                FindingLevel::Ok, (Text() << title << ": прочитан верно").take(),
                (Text() << "Принятое совпало с эталоном полностью, " << length << " симв.").take(), "");
        }
        return;
    }
    if (result.truncated) {
        tuner.addFinding(FindingLevel::Fail, (Text() << title << ": код обрезан").take(),
                         (Text() << "Пришло на " << static_cast<uint64_t>(std::max(result.missingCount, 0))
                                 << " симв. меньше, чем в эталоне (ожидали " << length
                                 << "). Обрезанный код маркировки ЕГАИС и Честный Знак не примут.")
                             .take(),
                         std::string(kTruncatedAdvice));
    } else if (result.nonAscii) {
        tuner.addFinding(FindingLevel::Fail, (Text() << title << ": в коде появилась кириллица").take(),
                         std::string(kCyrillicDetail), std::string(kCyrillicAdvice));
    } else if (!result.punctuationDamaged) {
        tuner.addFinding(FindingLevel::Fail, (Text() << title << ": код прочитан с ошибкой").take(),
                         result.firstDiff < 0 ? "Принятое не совпало с эталоном."
                                              : differenceDetail(result) + ".",
                         std::string(kMisreadAdvice));
    } else {
        tuner.addFinding(
            FindingLevel::Fail, (Text() << title << ": испорчены знаки препинания").take(),
            differenceDetail(result) +
                ". Цифры и латиница при этом целы — так выглядит неверная раскладка клавиатуры сканера.",
            std::string(kPunctuationAdvice));
    }
}

} // namespace

void diagnoseStep(Tuner& tuner, const TunerStep& step, const StepResult& result, const TunerFrame& frame) {
    if (tuner.stepIndex != 0) {
        diagnoseLaterStep(tuner, step, result);
    } else {
        diagnoseFirstStep(tuner, result, frame);
    }
    if (result.aimMismatch) {
        tuner.addFinding(FindingLevel::Warn, std::string(kAimMismatchTitle),
                         (Text() << "Код «" << step.title << "» закодирован как " << step.expectedAim
                                 << ", а сканер сообщил " << result.aim << ".")
                             .take(),
                         std::string(kAimMismatchAdvice));
    }
    if (step.payload.find(kGs) != std::string::npos) diagnoseSeparator(tuner, step, result);
    raiseVerdict(tuner, step, result);
}

} // namespace dorvik
