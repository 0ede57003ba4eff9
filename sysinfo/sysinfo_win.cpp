// System information on Windows. Registry text is read with the ANSI calls,
// as the tool's installers write it, and converted to UTF-8 for the rest of
// the program; paths go back to Windows through the wide calls so nothing is
// lost on the way.
#include "sysinfo/sysinfo_win.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <system_error>

namespace sysinfo {

namespace {

HKEY toHandle(Key key) {
    // The predefined roots (HKEY_CLASSES_ROOT and on) are 32-bit values that
    // Windows sign-extends, as HKEY_LOCAL_MACHINE's own definition does.
    if (key >= 0x80000000 && key <= 0x800000FF) {
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(key)));
    }
    return reinterpret_cast<HKEY>(key);
}

[[noreturn]] void throwLastError(const char *what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        throwLastError("WideCharToMultiByte");
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                          length, nullptr, nullptr);
    return text;
}

constexpr DWORD kNotNormal =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) {
        throwLastError("MultiByteToWideChar");
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                          wide.data(), length);
    return wide;
}

long WinPlatform::openKey(Key root, const std::string &keyPath, std::uint32_t options,
                          std::uint32_t access, Key &key) {
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(toHandle(root), keyPath.c_str(), options,
                                        static_cast<REGSAM>(access), &opened);
    key = result == ERROR_SUCCESS ? reinterpret_cast<Key>(opened) : 0;
    return result;
}

long WinPlatform::queryValue(Key key, const std::string &valueName, std::uint32_t &type,
                             std::span<std::uint8_t> data, std::uint32_t &size) {
    DWORD storedType = 0;
    DWORD length = static_cast<DWORD>(data.size());
    const LONG result = ::RegQueryValueExA(toHandle(key), valueName.c_str(), nullptr, &storedType,
                                           data.data(), &length);
    type = storedType;
    size = length;
    return result;
}

long WinPlatform::closeKey(Key key) {
    return ::RegCloseKey(toHandle(key));
}

bool WinPlatform::isNormalFile(const std::string &path) {
    WIN32_FIND_DATAW entry{};
    const HANDLE listing = ::FindFirstFileW(toWide(path).c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool found = false;
    do {
        found = (entry.dwFileAttributes & kNotNormal) == 0;
    } while (!found && ::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    return found;
}

void WinPlatform::startProgram(const std::string &path, int showStyle) {
    const std::wstring application = toWide(path);
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::wstring commandLine = L"\"" + application + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process)) {
        throwLastError(("cannot start " + path).c_str());
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

std::string WinPlatform::fromAnsi(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) {
        throwLastError("MultiByteToWideChar");
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                          length);
    return toUtf8(wide);
}

Platform &systemPlatform() {
    static WinPlatform platform;
    return platform;
}

}  // namespace sysinfo
