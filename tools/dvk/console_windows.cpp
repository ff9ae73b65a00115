#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform.h"
#include "terminal_codes.h"

namespace {

std::string utf8Of(const wchar_t* wide) {
    const int length = static_cast<int>(wcslen(wide));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// A console shows characters, not bytes: the code page would garble Cyrillic in cmd.exe, so UTF-16 goes in.
void write(FILE* stream, DWORD which, std::string_view text) {
    const HANDLE handle = GetStdHandle(which);
    if (!isConsole(handle)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::fflush(stream);
    // In pieces that end between characters; a stray byte shows as U+FFFD.
    while (!text.empty()) {
        size_t piece = text.size() < 16384 ? text.size() : 16384;
        while (piece < text.size() && piece > 16380 &&
               (static_cast<unsigned char>(text[piece]) & 0xC0) == 0x80)
            --piece;
        const int bytes = static_cast<int>(piece);
        std::wstring wide(static_cast<size_t>(bytes), L'\0');
        const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, wide.data(), bytes);
        DWORD written = 0;
        if (units <= 0 || !WriteConsoleW(handle, wide.data(), static_cast<DWORD>(units), &written, nullptr))
            return;
        text.remove_prefix(static_cast<size_t>(bytes));
    }
}

} // namespace

namespace platform {

std::vector<std::string> startUp(int /*argc*/, char** /*argv*/) {
    // Bytes as written: no CR before LF, no end at Ctrl+Z; the outputs are those of the Linux build.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The colours of the codes drawn for a scanner to read off the screen.
    for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = GetStdHandle(which);
        DWORD mode = 0;
        if (isConsole(handle) && GetConsoleMode(handle, &mode))
            SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    // argv holds the ANSI code page's rendering; the wide command line holds what was typed.
    std::vector<std::string> args;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            args.push_back(utf8Of(wide[i]));
        LocalFree(wide);
    }
    return args;
}

dvkhost::Language userLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN ? dvkhost::Language::Russian
                                                                     : dvkhost::Language::English;
}

void writeOut(std::string_view text) { write(stdout, STD_OUTPUT_HANDLE, text); }
void writeError(std::string_view text) { write(stderr, STD_ERROR_HANDLE, text); }
bool flushOut() { return std::fflush(stdout) == 0; }
bool inputIsTerminal() { return isConsole(GetStdHandle(STD_INPUT_HANDLE)); }
std::string helpNote() {
    std::string note = "\n";
    return note += dvkhost::text("help.windows");
}

std::string systemError(unsigned long code) {
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = length > 0 ? utf8Of(message) : "error " + std::to_string(code);
    if (message != nullptr) LocalFree(message);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace platform

int terminalColumns() {
    // Standard output's console, else standard input's (output piped on, the person still typing).
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    if (platform::inputIsTerminal()) {
        const HANDLE screen =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        if (screen != INVALID_HANDLE_VALUE) {
            const bool known = GetConsoleScreenBufferInfo(screen, &info) != 0;
            CloseHandle(screen);
            if (known) return info.srWindow.Right - info.srWindow.Left + 1;
        }
    }
    return 80;
}
