/* The reference Windows host for dorvik_c and its host kit: keyboard scanners through Raw Input, a serial
 * scanner through a COM port, each device through a link of its own into one decoder, a timer for the tick,
 * every poll printed as it comes and every notice of a link (a code cut short, dropped) on stderr.
 *
 *   windows-host [--profile FILE] [--bind DEVICE] [--com COM3] [--scans N]
 *
 * --scans N exits after N scans (for tests); Ctrl+C exits at any time. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host.h"

enum { kTickMs = 20 }; /* the library's time-outs advance only through ticks */

static DWORD mainThread;

static BOOL WINAPI onCtrlC(DWORD event) {
    (void)event;
    return PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
}

/* The whole file as a NUL-terminated text, or null. */
static char* readFile(const char* path) {
    FILE* file = fopen(path, "rb");
    char* text = NULL;
    long size;
    if (file == NULL) return NULL;
    if (fseek(file, 0, SEEK_END) == 0 && (size = ftell(file)) >= 0 && fseek(file, 0, SEEK_SET) == 0 &&
        (text = (char*)malloc((size_t)size + 1)) != NULL) {
        text[fread(text, 1, (size_t)size, file)] = '\0';
    }
    fclose(file);
    return text;
}

/* A number or one-character string of the profile JSON, as dvk_decoder_profile writes it ("key": value). */
static long profileValue(const char* profile, const char* key, long fallback) {
    char quoted[64];
    const char* at;
    snprintf(quoted, sizeof quoted, "\"%s\":", key);
    at = profile ? strstr(profile, quoted) : NULL;
    if (at == NULL) return fallback;
    at += strlen(quoted);
    while (*at == ' ')
        ++at;
    if (*at == '"') return (unsigned char)at[1];
    if (strncmp(at, "true", 4) == 0) return 1;
    if (strncmp(at, "false", 5) == 0) return 0;
    return strtol(at, NULL, 10);
}

static struct SerialSettings serialSettings(dvk_decoder* decoder) {
    char* profile = dvk_decoder_profile(decoder);
    struct SerialSettings s;
    s.baud = (DWORD)profileValue(profile, "baud", 9600);
    s.dataBits = (BYTE)profileValue(profile, "dataBits", 8);
    s.parity = (char)profileValue(profile, "parity", 'N');
    s.stopBits = (BYTE)profileValue(profile, "stopBits", 1);
    s.rtsCts = (int)profileValue(profile, "rtsCts", 0);
    s.burstGapMs = (DWORD)profileValue(profile, "burstGapMs", 60);
    s.frameTimeoutMs = (DWORD)profileValue(profile, "frameTimeoutMs", 140);
    dvk_free(profile);
    return s;
}

/* Polls through a link, prints what came and its notices, and returns the number of scans. One decoder's
 * poll comes through whichever link polls first; each link also keeps what it held back over a drop. */
static int pollAndPrint(dvkh_link* link) {
    char* result = dvkh_link_poll(link);
    char* notices = dvkh_link_notices(link);
    const char* at;
    int scans = 0;
    if (notices != NULL && strcmp(notices, "[]") != 0) fprintf(stderr, "%s\n", notices);
    dvkh_free(notices);
    if (result == NULL || strcmp(result, "{\"scans\":[],\"frames\":[]}") == 0) {
        dvkh_free(result);
        return 0;
    }
    /* Scan events start with "raw"; a quote inside a scanned text is escaped, so this cannot be fooled. */
    for (at = strstr(result, "{\"raw\":"); at != NULL; at = strstr(at + 1, "{\"raw\":"))
        ++scans;
    printf("%s\n", result);
    fflush(stdout);
    dvkh_free(result);
    return scans;
}

/* Every link: the serial port's and each keyboard's. */
static dvkh_link* linkAt(dvkh_link* serialLink, int i) {
    if (serialLink != NULL && i == 0) return serialLink;
    return keyboardLink(serialLink != NULL ? i - 1 : i);
}

static HWND messageWindow(void) {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = DefWindowProcA; /* WM_INPUT is handled in the loop, then passed on */
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "dorvik_c host";
    if (!RegisterClassA(&windowClass)) return NULL;
    return CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                           windowClass.hInstance, NULL);
}

int main(int argc, char** argv) {
    const char *profilePath = NULL, *bind = NULL, *port = NULL;
    long wantedScans = 0, scans = 0;
    dvk_decoder* decoder;
    dvkh_link *serialLink = NULL, *link;
    HWND window;
    MSG message;
    int i;
    for (i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--profile") == 0)
            profilePath = argv[i + 1];
        else if (strcmp(argv[i], "--bind") == 0)
            bind = argv[i + 1];
        else if (strcmp(argv[i], "--com") == 0)
            port = argv[i + 1];
        else if (strcmp(argv[i], "--scans") == 0)
            wantedScans = strtol(argv[i + 1], NULL, 10);
        else
            break;
    }
    if (i != argc) {
        fprintf(stderr, "usage: windows-host [--profile FILE] [--bind DEVICE] [--com COM3] [--scans N]\n");
        return 2;
    }

    decoder = dvk_decoder_new();
    if (decoder == NULL) return 1;
    if (profilePath != NULL) {
        char* profile = readFile(profilePath);
        if (profile == NULL || !dvk_decoder_set_profile(decoder, profile)) {
            fprintf(stderr, "%s is not a scanner profile\n", profilePath);
            return 1;
        }
        free(profile);
    }
    dvk_decoder_bind(decoder, bind);
    mainThread = GetCurrentThreadId();
    SetConsoleCtrlHandler(onCtrlC, TRUE);

    /* Raw Input needs a window; a message-only one is enough. Without one (a service, or a desktop-less
     * session) the serial path still works. */
    window = messageWindow();
    if (window == NULL || !keyboardStart(window))
        fprintf(stderr, "no Raw Input: keyboard scanners are not read\n");
    if (port != NULL) {
        const struct SerialSettings settings = serialSettings(decoder);
        serialLink = dvkh_link_new(decoder, port, 0); /* after the profile: the link reads its terminator */
        if (serialLink == NULL || !serialStart(port, &settings, mainThread)) return 1;
    }
    SetTimer(NULL, 0, kTickMs, NULL);
    printf("dorvik_c %s: reading%s%s\n", dvk_version(), port ? " " : "", port ? port : "");
    fflush(stdout);

    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (message.message == WM_INPUT) {
            keyboardInput(decoder, (HRAWINPUT)message.lParam);
        } else if (message.message == WM_APP_SERIAL) {
            struct SerialChunk* chunk = (struct SerialChunk*)message.lParam;
            dvkh_link_bytes(serialLink, chunk->bytes, (int32_t)chunk->length, chunk->tMs);
            free(chunk);
        } else if (message.message == WM_APP_SERIAL_END) {
            dvkh_link_end(serialLink, (uint64_t)message.lParam);
        } else if (message.message == WM_TIMER && message.hwnd == NULL) {
            const ULONGLONG now = GetTickCount64();
            for (i = 0; (link = linkAt(serialLink, i)) != NULL; ++i)
                dvkh_link_tick(link, now);
            for (i = 0; (link = linkAt(serialLink, i)) != NULL; ++i)
                scans += pollAndPrint(link);
            if (wantedScans > 0 && scans >= wantedScans) break;
        }
        DispatchMessageA(&message);
    }
    /* The input ends here: what each link still holds is closed or dropped, and printed. */
    for (i = 0; (link = linkAt(serialLink, i)) != NULL; ++i)
        dvkh_link_end(link, GetTickCount64());
    for (i = 0; (link = linkAt(serialLink, i)) != NULL; ++i)
        pollAndPrint(link);
    for (i = 0; (link = linkAt(serialLink, i)) != NULL; ++i)
        dvkh_link_free(link);
    dvk_decoder_free(decoder);
    return 0;
}
