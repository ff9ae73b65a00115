#include <windows.h>

#include "input_source.h"

namespace {

volatile LONG stopAsked = 0;

// Runs on a thread of its own; the loop sees the request within a round and prints what is queued.
BOOL WINAPI onControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    InterlockedExchange(&stopAsked, 1);
    return TRUE;
}

} // namespace

void installStopHandlers() { SetConsoleCtrlHandler(onControl, TRUE); }

bool stopRequested() { return InterlockedCompareExchange(&stopAsked, 0, 0) != 0; }

uint64_t monotonicMs() { return GetTickCount64(); }
