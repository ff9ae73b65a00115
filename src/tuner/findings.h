// The fixed texts of the findings a tuner raises. Composed texts are joined where they are raised.
#pragma once

#include <string_view>

namespace dorvik::findings {

inline constexpr std::string_view kDuplicateTitle = "Сканер отправляет код дважды";
inline constexpr std::string_view kDuplicateDetail =
    "Один и тот же кадр пришёл два раза подряд. В чек товар попадёт в двойном количестве.";
inline constexpr std::string_view kDuplicateAdvice =
    "Отключите в сканере дублирующую передачу или увеличьте таймаут повторного чтения (Same code delay).";

inline constexpr std::string_view kFoundTitle = "Сканер найден";
inline constexpr std::string_view kFoundDetail =
    "Коды пришли с устройства, которое прочитало эталонный код. Касса будет принимать коды только с него — набор с клавиатуры в чек больше не попадёт.";

inline constexpr std::string_view kTerminatorDiffersTitle = "Разный конец кода для разных символик";
inline constexpr std::string_view kTerminatorDiffersAdvice =
    "Проверьте в настройках сканера суффиксы отдельно для каждой символики — они часто задаются независимо.";

inline constexpr std::string_view kPrefixDiffersTitle = "Разный префикс для разных символик";

inline constexpr std::string_view kSlowTitle = "Сканер печатает медленно";
inline constexpr std::string_view kSlowAdvice =
    "Уменьшите в настройках сканера межсимвольную задержку (Inter-character delay) до минимальной.";

inline constexpr std::string_view kTerminatorTitle = "Признак конца кода";

inline constexpr std::string_view kNoTerminatorTitle = "Сканер не шлёт признак конца кода";
inline constexpr std::string_view kNoTerminatorDetail =
    "После кода нет ни Enter, ни Tab. Касса будет закрывать код по паузе — работает, но на долю секунды медленнее.";
inline constexpr std::string_view kNoTerminatorAdvice =
    "Включите в сканере суффикс Enter (CR) — обычно это отдельный конфигурационный штрихкод в руководстве.";

inline constexpr std::string_view kCleanTitle = "Код приходит чистым";
inline constexpr std::string_view kCleanDetail = "Сканер не добавляет ничего лишнего.";

inline constexpr std::string_view kExtraTitle = "Найдены лишние символы вокруг кода";

inline constexpr std::string_view kAimTitle = "Сканер сообщает тип кода";

inline constexpr std::string_view kAimMismatchTitle = "Сканер определил символику иначе";
inline constexpr std::string_view kAimMismatchAdvice =
    "Чаще всего это значит, что в сканере выключен режим GS1. Обычные штрихкоды при этом читаются нормально, а разделитель полей в маркировке передаётся неверно.";

inline constexpr std::string_view kGsMissingTitle = "Разделитель полей не передаётся";
inline constexpr std::string_view kGsMissingAdvice =
    "Включите в сканере передачу GS настроечным штрихкодом из его руководства: «Transmit GS», «GS1 separator», «FNC1 as GS» или «Control + X (Ctrl+ASCII)».";

inline constexpr std::string_view kGsSubstituteTitle = "Разделитель передаётся заменой";

inline constexpr std::string_view kGsOkTitle = "Разделитель полей передаётся правильно";
inline constexpr std::string_view kGsOkDetail =
    "Сканер шлёт настоящий GS (0x1D) — код маркировки разбирается однозначно.";

inline constexpr std::string_view kTruncatedAdvice =
    "Увеличьте в настройках сканера максимальную длину передаваемых данных. У многих моделей по умолчанию стоит ограничение, которого не хватает на длинные коды.";

inline constexpr std::string_view kCyrillicDetail =
    "Символы пришли уже переведёнными через раскладку Windows.";
inline constexpr std::string_view kCyrillicAdvice =
    "Переведите сканер в режим США (Keyboard country: USA) — при русской раскладке криптохвост кода маркировки портится необратимо.";

inline constexpr std::string_view kMisreadAdvice =
    "Протрите окно сканера и повторите шаг. Если повторяется — проверьте кабель и режим работы сканера.";

inline constexpr std::string_view kPunctuationAdvice =
    "В настройках сканера выставьте Keyboard country: USA. Обычные штрихкоды работают и без этого, а маркировка — нет.";

inline constexpr std::string_view kSkippedDetail =
    "Эта проверка не выполнена — соответствующие настройки взяты по умолчанию.";

} // namespace dorvik::findings
