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

inline constexpr const char* kEmptyPoll = "{\"scans\":[],\"frames\":[]}";

} // namespace dvk_vectors
