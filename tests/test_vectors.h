// Exact texts the library promises, shared by every suite that checks them.
#pragma once

namespace dvk_vectors {

inline constexpr const char* kDefaultProfileJson = "{\n"
                                                   "    \"transport\": \"hid\",\n"
                                                   "    \"deviceId\": \"\",\n"
                                                   "    \"deviceName\": \"\",\n"
                                                   "    \"prefix\": \"\",\n"
                                                   "    \"suffix\": \"\",\n"
                                                   "    \"terminator\": \"\",\n"
                                                   "    \"gsSubstitute\": \"\",\n"
                                                   "    \"gsMissing\": false,\n"
                                                   "    \"aimId\": false,\n"
                                                   "    \"burstGapMs\": 60,\n"
                                                   "    \"frameTimeoutMs\": 140,\n"
                                                   "    \"minLength\": 4,\n"
                                                   "    \"baud\": 9600,\n"
                                                   "    \"dataBits\": 8,\n"
                                                   "    \"parity\": \"N\",\n"
                                                   "    \"stopBits\": 1,\n"
                                                   "    \"rtsCts\": false,\n"
                                                   "    \"configured\": false,\n"
                                                   "    \"exclusiveCapture\": false\n"
                                                   "}";

inline constexpr const char* kEan13ScanJson =
    "{\"raw\":\"4600000000008\",\"data\":\"4600000000008\",\"kind\":2,\"kindTitle\":\"EAN-13\",\"aimId\":"
    "\"\","
    "\"deviceId\":\"\",\"tMs\":0,\"fromBoundDevice\":false,\"marked\":false,\"gtin\":\"\",\"serial\":\"\","
    "\"mrc\":\"\",\"cryptoTail\":\"\",\"weightKg\":0,\"itemCode\":\"\",\"gsRepaired\":false,\"gsGuess\":"
    "false,"
    "\"suspect\":false,\"warnings\":[]}";

// A new tuner for "hid" without a device; the profile part is kDefaultProfileJson.
inline constexpr const char* kNewTunerStateHead =
    "{\"step\":0,\"total\":5,\"done\":false,\"prompt\":\"Товарный штрихкод\",\"hint\":\"Базовая проверка: "
    "что сканер "
    "добавляет к коду от себя, чем заканчивает передачу и с какой скоростью печатает. Заодно касса поймёт, "
    "какое из "
    "устройств ввода — сканер: дальше она будет слушать только его.\",\"code\":{\"key\":\"ean13\",\"title\":"
    "\"Товарный штрихкод\",\"hint\":\"Базовая проверка: что сканер добавляет к коду от себя, чем заканчивает "
    "передачу и с какой скоростью печатает.\",\"symbology\":\"ean13\",\"payload\":\"4600000000008\","
    "\"payloadVisible\":\"4600000000008\",\"expectedAim\":\"]E0\",\"gs1\":false,\"optional\":false,"
    "\"length\":13},"
    "\"findings\":[],\"summary\":\"Все проверки пройдены: 0 из 5 кодов, замечаний нет.\",\"profile\":";

inline constexpr const char* kSkippedStep0Finding =
    "{\"level\":\"warn\",\"title\":\"Шаг пропущен: Товарный штрихкод\",\"detail\":\"Эта проверка не "
    "выполнена — "
    "соответствующие настройки взяты по умолчанию.\",\"advice\":\"\"}";

inline constexpr const char* kEmptyPoll = "{\"scans\":[],\"frames\":[]}";

} // namespace dvk_vectors
