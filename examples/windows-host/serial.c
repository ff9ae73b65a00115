/* A serial scanner on a COM port: the port set up from the profile, read on a thread of its own; the main
 * thread hands each chunk to the port's link (dvkh_link_bytes). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host.h"

struct Reader {
    HANDLE port;
    DWORD mainThread;
};

static DWORD WINAPI readLoop(LPVOID argument) {
    const struct Reader* reader = (const struct Reader*)argument;
    for (;;) {
        struct SerialChunk* chunk = (struct SerialChunk*)malloc(sizeof *chunk);
        if (chunk == NULL) return 1;
        if (!ReadFile(reader->port, chunk->bytes, sizeof chunk->bytes, &chunk->length, NULL)) {
            fprintf(stderr, "serial port read failed (error %lu)\n", GetLastError());
            free(chunk);
            /* The port is lost: a code still waiting for its terminator is dropped, not passed on. */
            PostThreadMessageA(reader->mainThread, WM_APP_SERIAL_END, 0, (LPARAM)GetTickCount64());
            return 1;
        }
        chunk->tMs = GetTickCount64();
        /* The time-outs end a read at the scanner's first pause: one chunk is one burst. */
        if (chunk->length == 0 || !PostThreadMessageA(reader->mainThread, WM_APP_SERIAL, 0, (LPARAM)chunk))
            free(chunk);
    }
}

int serialStart(const char* port, const struct SerialSettings* settings, DWORD mainThread) {
    static struct Reader reader;
    char path[64];
    DCB dcb;
    COMMTIMEOUTS timeouts;
    HANDLE thread;
    snprintf(path, sizeof path, "\\\\.\\%s", port); /* COM10 and above only open by this name */
    reader.port = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (reader.port == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %s (error %lu)\n", port, GetLastError());
        return 0;
    }
    reader.mainThread = mainThread;

    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    GetCommState(reader.port, &dcb);
    dcb.BaudRate = settings->baud;
    dcb.ByteSize = settings->dataBits;
    dcb.Parity = settings->parity == 'E'   ? EVENPARITY
                 : settings->parity == 'O' ? ODDPARITY
                 : settings->parity == 'M' ? MARKPARITY
                 : settings->parity == 'S' ? SPACEPARITY
                                           : NOPARITY;
    dcb.StopBits = settings->stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.fOutxCtsFlow = settings->rtsCts != 0;
    dcb.fRtsControl = settings->rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE; /* many scanners draw power or take "ready" from DTR */
    dcb.fOutX = dcb.fInX = FALSE;
    if (!SetCommState(reader.port, &dcb))
        fprintf(stderr, "%s: the line settings were not taken (error %lu)\n", port, GetLastError());

    /* A read returns once the line has been quiet for the profile's burst gap, or after the frame time-out
     * when nothing came, so that the thread never sleeps through data. */
    timeouts.ReadIntervalTimeout = settings->burstGapMs;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = settings->frameTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(reader.port, &timeouts)) {
        fprintf(stderr, "%s: cannot set the time-outs (error %lu)\n", port, GetLastError());
        return 0;
    }
    thread = CreateThread(NULL, 0, readLoop, &reader, 0, NULL);
    if (thread == NULL) return 0;
    CloseHandle(thread); /* it runs until the process ends */
    return 1;
}
