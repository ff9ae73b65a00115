// Windows without a C run-time: kernel32 alone (and msvcrt's mem* for what the compiler emits), so that
// the host is built with Microsoft's C++ layout by clang and linked by lld-link.
#include "os.h"

#define WINAPI __stdcall
#define IMPORT extern "C" __declspec(dllimport)
typedef void* HANDLE;
typedef unsigned long DWORD;
typedef int BOOL;
static_assert(sizeof(DWORD) == 4);

IMPORT HANDLE WINAPI GetStdHandle(DWORD which);
IMPORT BOOL WINAPI WriteFile(HANDLE h, const void* data, DWORD size, DWORD* written, void* overlapped);
IMPORT BOOL WINAPI ReadFile(HANDLE h, void* data, DWORD size, DWORD* got, void* overlapped);
IMPORT HANDLE WINAPI CreateFileW(const wchar_t* path, DWORD access, DWORD share, void* security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile);
IMPORT DWORD WINAPI GetFileSize(HANDLE h, DWORD* high);
IMPORT BOOL WINAPI CloseHandle(HANDLE h);
IMPORT unsigned long long WINAPI GetTickCount64();
IMPORT void WINAPI Sleep(DWORD ms);
IMPORT DWORD WINAPI GetCurrentThreadId();
IMPORT void WINAPI InitializeCriticalSection(void* cs);
IMPORT void WINAPI EnterCriticalSection(void* cs);
IMPORT void WINAPI LeaveCriticalSection(void* cs);
IMPORT HANDLE WINAPI LoadLibraryW(const wchar_t* path);
IMPORT void* WINAPI GetProcAddress(HANDLE library, const char* name);
IMPORT __declspec(noreturn) void WINAPI ExitProcess(unsigned status);
IMPORT int WINAPI MultiByteToWideChar(unsigned codePage, DWORD flags, const char* text, int size,
                                      wchar_t* out, int room);
IMPORT HANDLE WINAPI GetProcessHeap();
IMPORT void* WINAPI HeapAlloc(HANDLE heap, DWORD flags, size_t size);
IMPORT BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, void* p);

namespace {

wchar_t* widen(const char* text) {
    const int room = MultiByteToWideChar(65001, 0, text, -1, nullptr, 0);
    wchar_t* out =
        static_cast<wchar_t*>(os::alloc(static_cast<size_t>(room > 0 ? room : 1) * sizeof(wchar_t)));
    out[0] = 0;
    if (room > 0) MultiByteToWideChar(65001, 0, text, -1, out, room);
    return out;
}

} // namespace

namespace os {

void* alloc(size_t size) {
    void* p = HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
    if (p == nullptr) ExitProcess(3);
    return p;
}

void release(void* p) {
    if (p != nullptr) HeapFree(GetProcessHeap(), 0, p);
}

void write_out(const char* text, size_t size) {
    HANDLE out = GetStdHandle(static_cast<DWORD>(-11));
    while (size > 0) {
        DWORD n = 0;
        if (!WriteFile(out, text, static_cast<DWORD>(size), &n, nullptr) || n == 0) ExitProcess(3);
        text += n;
        size -= n;
    }
}

size_t read_in(char* buffer, size_t room) {
    DWORD n = 0;
    if (!ReadFile(GetStdHandle(static_cast<DWORD>(-10)), buffer, static_cast<DWORD>(room), &n, nullptr))
        return 0;
    return n;
}

char* read_file(const char* path, size_t* size) {
    wchar_t* wide = widen(path);
    HANDLE h = CreateFileW(wide, 0x80000000u /* GENERIC_READ */, 1 /* FILE_SHARE_READ */, nullptr,
                           3 /* OPEN_EXISTING */, 0x80 /* FILE_ATTRIBUTE_NORMAL */, nullptr);
    release(wide);
    if (h == reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1))) return nullptr;
    const DWORD length = GetFileSize(h, nullptr);
    char* text = static_cast<char*>(alloc(length + 1u));
    DWORD got = 0, n = 0;
    while (got < length && ReadFile(h, text + got, length - got, &n, nullptr) && n > 0)
        got += n;
    CloseHandle(h);
    text[got] = '\0';
    *size = got;
    return text;
}

uint64_t now_ms() { return GetTickCount64(); }
void sleep_ms(unsigned ms) { Sleep(ms); }
uintptr_t thread_id() { return GetCurrentThreadId(); }

struct Lock {
    alignas(8) unsigned char section[64]; // a CRITICAL_SECTION: 40 bytes on x64, 24 on x86
};

Lock* lock_new() {
    Lock* l = static_cast<Lock*>(alloc(sizeof(Lock)));
    InitializeCriticalSection(l->section);
    return l;
}

void lock(Lock* l) { EnterCriticalSection(l->section); }
void unlock(Lock* l) { LeaveCriticalSection(l->section); }

void* load_library(const char* path) {
    wchar_t* wide = widen(path);
    void* library = LoadLibraryW(wide);
    release(wide);
    return library;
}

void* symbol(void* library, const char* name) { return GetProcAddress(library, name); }

void exit(int status) { ExitProcess(static_cast<unsigned>(status)); }

} // namespace os

// What Microsoft's C++ run-time would otherwise provide.
extern "C" int _fltused = 0;
extern "C" int __cdecl _purecall() { os::exit(4); }
void operator delete(void* p) noexcept { os::release(p); }
void operator delete(void* p, size_t) noexcept { os::release(p); }

extern "C" int __cdecl mainCRTStartup() { os::exit(host_main()); }
