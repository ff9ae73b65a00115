/* Exact texts the library promises, for the C host suite on Linux and under Wine. */
#ifndef DVK_TEST_VECTORS_H
#define DVK_TEST_VECTORS_H

/* The default profile as dvk_decoder_profile writes it. */
#define DVK_VEC_DEFAULT_PROFILE \
    "{\n    \"transport\": \"hid\",\n    \"deviceId\": \"\",\n    \"deviceName\": \"\",\n" \
    "    \"prefix\": \"\",\n    \"suffix\": \"\",\n    \"terminator\": \"\",\n" \
    "    \"gsSubstitute\": \"\",\n    \"gsMissing\": false,\n    \"aimId\": false,\n" \
    "    \"burstGapMs\": 60,\n    \"frameTimeoutMs\": 140,\n    \"minLength\": 4,\n" \
    "    \"baud\": 9600,\n    \"dataBits\": 8,\n    \"parity\": \"N\",\n    \"stopBits\": 1,\n" \
    "    \"rtsCts\": false,\n    \"configured\": false,\n    \"exclusiveCapture\": false\n}"

/* dvk_decode_frame(NULL, "4600000000008", -1, NULL). */
#define DVK_VEC_EAN13_SCAN \
    "{\"raw\":\"4600000000008\",\"data\":\"4600000000008\",\"kind\":2,\"kindTitle\":\"EAN-13\"," \
    "\"aimId\":\"\",\"deviceId\":\"\",\"tMs\":0,\"fromBoundDevice\":false,\"marked\":false," \
    "\"gtin\":\"\",\"serial\":\"\",\"mrc\":\"\",\"cryptoTail\":\"\",\"weightKg\":0,\"itemCode\":\"\"," \
    "\"gsRepaired\":false,\"gsGuess\":false,\"suspect\":false,\"warnings\":[]}"

/* dvk_decode_frame(NULL, "2012345012349", -1, NULL): "%.10g" with a full stop. */
#define DVK_VEC_WEIGHT_SCAN \
    "{\"raw\":\"2012345012349\",\"data\":\"2012345012349\",\"kind\":10,\"kindTitle\":\"весовой ШК\"," \
    "\"aimId\":\"\",\"deviceId\":\"\",\"tMs\":0,\"fromBoundDevice\":false,\"marked\":false," \
    "\"gtin\":\"\",\"serial\":\"\",\"mrc\":\"\",\"cryptoTail\":\"\",\"weightKg\":1.234," \
    "\"itemCode\":\"12345\",\"gsRepaired\":false,\"gsGuess\":false,\"suspect\":false,\"warnings\":[]}"

/* dvk_decode_frame with {"gsMissing":true} of DVK_VEC_REPAIRED_FRAME from device "usb". */
#define DVK_VEC_REPAIRED_SCAN \
    "{\"raw\":\"]d2010460709729111121AbC123456791EE1092Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=\\r\\n\"," \
    "\"data\":\"010460709729111121AbC1234567\\u001d91EE10\\u001d92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=\"," \
    "\"kind\":8,\"kindTitle\":\"DataMatrix (маркировка)\",\"aimId\":\"]d2\",\"deviceId\":\"usb\"," \
    "\"tMs\":0,\"fromBoundDevice\":false,\"marked\":true,\"gtin\":\"04607097291111\"," \
    "\"serial\":\"AbC1234567\",\"mrc\":\"\"," \
    "\"cryptoTail\":\"EE10|Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=\",\"weightKg\":0," \
    "\"itemCode\":\"\",\"gsRepaired\":true,\"gsGuess\":false,\"suspect\":false," \
    "\"warnings\":[\"Разделитель GS не передан сканером — границы полей восстановлены по структуре кода\"]}"

/* A new tuner for "hid" without a device, up to its profile. */
#define DVK_VEC_NEW_TUNER_STATE_HEAD \
    "{\"step\":0,\"total\":5,\"done\":false,\"prompt\":\"Товарный штрихкод\"," \
    "\"hint\":\"Базовая проверка: что сканер добавляет к коду от себя, чем заканчивает передачу и с какой скоростью печатает. Заодно касса поймёт, какое из устройств ввода — сканер: дальше она будет слушать только его.\"," \
    "\"code\":{\"key\":\"ean13\",\"title\":\"Товарный штрихкод\"," \
    "\"hint\":\"Базовая проверка: что сканер добавляет к коду от себя, чем заканчивает передачу и с какой скоростью печатает.\"," \
    "\"symbology\":\"ean13\",\"payload\":\"4600000000008\",\"payloadVisible\":\"4600000000008\"," \
    "\"expectedAim\":\"]E0\",\"gs1\":false,\"optional\":false,\"length\":13},\"findings\":[]," \
    "\"summary\":\"Все проверки пройдены: 0 из 5 кодов, замечаний нет.\",\"profile\":"

/* The finding of skipping step 0. */
#define DVK_VEC_SKIPPED_STEP0_FINDING \
    "{\"level\":\"warn\",\"title\":\"Шаг пропущен: Товарный штрихкод\"," \
    "\"detail\":\"Эта проверка не выполнена — соответствующие настройки взяты по умолчанию.\"," \
    "\"advice\":\"\"}"

/* dvk_barcode_svg("datamatrix", "A", 1, 0, 1, 0). */
#define DVK_VEC_SVG_A \
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\" width=\"10\" height=\"10\" shape-rendering=\"crispEdges\"><rect width=\"100%\" height=\"100%\" fill=\"#fff\"/><path fill=\"#000\" d=\"M0 0h1v1h-1zM2 0h1v1h-1zM4 0h1v1h-1zM6 0h1v1h-1zM8 0h1v1h-1zM0 1h2v1h-2zM3 1h2v1h-2zM8 1h2v1h-2zM0 2h1v1h-1zM4 2h2v1h-2zM7 2h1v1h-1zM0 3h1v1h-1zM3 3h2v1h-2zM6 3h1v1h-1zM8 3h2v1h-2zM0 4h1v1h-1zM3 4h1v1h-1zM5 4h1v1h-1zM0 5h1v1h-1zM3 5h1v1h-1zM6 5h1v1h-1zM8 5h2v1h-2zM0 6h2v1h-2zM3 6h1v1h-1zM6 6h2v1h-2zM0 7h2v1h-2zM4 7h4v1h-4zM9 7h1v1h-1zM0 8h2v1h-2zM6 8h1v1h-1zM0 9h10v1h-10z\"/></svg>"

#define DVK_VEC_REPAIRED_FRAME \
    "]d2010460709729111121AbC123456791EE1092Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=\r\n"
#define DVK_VEC_NEW_TUNER_STATE DVK_VEC_NEW_TUNER_STATE_HEAD DVK_VEC_DEFAULT_PROFILE "}"
#define DVK_VEC_EMPTY_POLL "{\"scans\":[],\"frames\":[]}"
#define DVK_VEC_KEY_A "{\"ok\":true,\"scancode\":30,\"shift\":true,\"ctrl\":false}"
#define DVK_VEC_KEY_GS "{\"ok\":true,\"scancode\":27,\"shift\":false,\"ctrl\":true}"
#define DVK_VEC_KEY_NONE "{\"ok\":false,\"scancode\":0,\"shift\":false,\"ctrl\":false}"

#endif
