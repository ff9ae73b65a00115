#include <windows.h>

#include "input_source.h"

namespace {

// A key typed on its own at the console (Esc, Ctrl+D) while a device is read; the rest typed there is
// dropped.
char consoleKey() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD pending = 0;
    char key = 0;
    while (GetNumberOfConsoleInputEvents(input, &pending) && pending > 0) {
        INPUT_RECORD records[16];
        DWORD read = 0;
        if (!ReadConsoleInputW(input, records, 16, &read) || read == 0) break;
        for (DWORD i = 0; i < read; ++i) {
            const KEY_EVENT_RECORD& k = records[i].Event.KeyEvent;
            if (records[i].EventType == KEY_EVENT && k.bKeyDown &&
                (k.uChar.UnicodeChar == 0x1B || k.uChar.UnicodeChar == 0x04))
                key = static_cast<char>(k.uChar.UnicodeChar);
        }
    }
    return key;
}

} // namespace

// Windows has no one wait over a COM port and the console: the source waits, the console is looked at after.
bool InputPump::waitAndFeed(int timeoutMs, Round& round) {
    const bool more = source_.feedWithin(link_, decoder_, timeoutMs);
    round.key = source_.takeKey();
    if (keyFd_ >= 0)
        if (const char key = consoleKey()) round.key = key;
    return !more;
}
