#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "cli.h"
#include "platform.h"
#include "remembered_profile.h"

namespace {

std::wstring wide(const std::string& utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), units);
    return out;
}

std::string utf8(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes,
                            nullptr, nullptr);
    return out;
}

// The C runtime's stat with a UTF-8 name: the same errno values, and their texts, as on Linux.
bool statOf(const std::string& path, struct _stat64& info) {
    return _wstat64(wide(path).c_str(), &info) == 0;
}

bool isDirectory(const struct _stat64& info) { return (info.st_mode & _S_IFMT) == _S_IFDIR; }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

} // namespace

namespace platform {

std::filesystem::path pathOf(const std::string& utf8) { return std::filesystem::path(wide(utf8)); }

std::string readProblem(const std::string& path) {
    struct _stat64 info {};
    if (!statOf(path, info)) return std::strerror(errno);
    return isDirectory(info) ? dvkhost::text("file.isDirectory") : "";
}

bool mayExist(const std::string& path) {
    struct _stat64 info {};
    return statOf(path, info) || errno != ENOENT;
}

} // namespace platform

std::string writeProblem(const std::string& path) {
    struct _stat64 info {};
    if (statOf(path, info)) {
        if (isDirectory(info)) return dvkhost::text("file.isDirectory");
        return _waccess(wide(path).c_str(), 2) == 0 ? "" : std::strerror(errno);
    }
    if (errno != ENOENT) return std::strerror(errno);
    size_t slash = path.size();
    while (slash > 0 && !isSeparator(path[slash - 1]))
        --slash;
    // "C:name" lies in the drive's current folder, "\name" and "C:\name" in a root.
    const std::string folder = slash == 0                     ? "."
                               : slash == 1                   ? path.substr(0, 1)
                               : slash == 3 && path[1] == ':' ? path.substr(0, 3)
                                                              : path.substr(0, slash - 1);
    if (!statOf(folder, info)) return dvkhost::text("file.noFolder", {folder});
    if (!isDirectory(info)) return dvkhost::text("file.notFolder", {folder});
    return _waccess(wide(folder).c_str(), 2) == 0 ? "" : folder + ": " + std::strerror(errno);
}

std::string rememberedProfilePath() {
    const wchar_t* roaming = _wgetenv(L"APPDATA");
    if (roaming == nullptr || roaming[0] == L'\0') return "";
    return utf8(roaming) + "\\dorvik\\scanner.json";
}

std::string makeFoldersFor(const std::string& path) {
    // Past the root: "C:\", or the "\\server\share\" of a network path.
    size_t from = 1;
    if (path.size() > 2 && path[1] == ':') from = 3;
    if (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        from = path.find_first_of("/\\", 2);
        from = from == std::string::npos ? path.size() : path.find_first_of("/\\", from + 1);
        if (from == std::string::npos) return "";
        ++from;
    }
    for (size_t slash = path.find_first_of("/\\", from); slash != std::string::npos;
         slash = path.find_first_of("/\\", slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (_wmkdir(wide(folder).c_str()) != 0 && errno != EEXIST)
            return folder + ": " + std::strerror(errno);
    }
    return "";
}
