// The about box's "系统信息" button: finds the operating system's
// system-information tool through two registry locations and starts it.
// The algorithm runs against an abstract Platform so it can be tested with a
// fake registry; the real backends live in sysinfo_win.cpp (Windows registry)
// and sysinfo_posix.cpp (no registry: the tool is looked up on the PATH).
// Nothing here depends on Qt; the caller shows the message box.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace sysinfo {

// An open registry key, or one of the predefined roots. 0 is "no key".
using Key = std::uintptr_t;

// Registry numbers, spelled out here because <windows.h> is not available to
// the core and its macros of the same names would collide with it.
inline constexpr Key kLocalMachine = 0x80000002;       // HKEY_LOCAL_MACHINE
inline constexpr std::uint32_t kKeyRead = 0x20019;     // KEY_READ
inline constexpr std::uint32_t kRegSz = 1;             // REG_SZ
inline constexpr std::uint32_t kRegExpandSz = 2;       // REG_EXPAND_SZ
inline constexpr std::uint32_t kRegDword = 4;          // REG_DWORD
inline constexpr long kSuccess = 0;                    // ERROR_SUCCESS
inline constexpr long kFileNotFound = 2;               // ERROR_FILE_NOT_FOUND
inline constexpr long kMoreData = 234;                 // ERROR_MORE_DATA
inline constexpr int kShowNormal = 1;                  // SW_SHOWNORMAL
inline constexpr std::size_t kValueBufferSize = 1024;  // bytes read from a value

// Where the tool is registered, tried in this order.
inline constexpr std::string_view kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr std::string_view kToolValue = "PATH";  // the tool's full path
inline constexpr std::string_view kToolDirKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr std::string_view kToolDirValue = "MSINFO";  // the tool's directory
inline constexpr std::string_view kToolFileName = "\\MSINFO32.EXE";

inline constexpr std::string_view kUnavailableMessage = "此时系统信息不可用";

// What the algorithm needs from the operating system. The registry calls
// follow the Win32 functions of the same role: they return kSuccess or a
// Win32 error number and never throw.
class Platform {
public:
    virtual ~Platform() = default;

    // Opens keyPath under root. On success stores the new handle in key;
    // otherwise sets key to 0.
    virtual long openKey(Key root, const std::string &keyPath, std::uint32_t options,
                         std::uint32_t access, Key &key) = 0;

    // Reads valueName of key into data. On entry size is data.size(); on
    // success type is the stored type and size the number of bytes written.
    // A value longer than data gives kMoreData and leaves data's contents
    // undefined.
    virtual long queryValue(Key key, const std::string &valueName, std::uint32_t &type,
                            std::span<std::uint8_t> data, std::uint32_t &size) = 0;

    // Closes a handle from openKey. A 0 handle gives an error, nothing else.
    virtual long closeKey(Key key) = 0;

    // True when path names an existing normal file: not a directory, not
    // hidden, not a system file.
    virtual bool isNormalFile(const std::string &path) = 0;

    // Starts the program at path itself (the path is never split into a
    // command line), in a window of the given show style, without waiting for
    // it. Throws std::system_error when it cannot be started.
    virtual void startProgram(const std::string &path, int showStyle) = 0;

    // Converts text stored in the system's ANSI code page to UTF-8. Systems
    // without code pages keep the bytes as they are.
    virtual std::string fromAnsi(std::string_view bytes) { return std::string(bytes); }
};

// The platform of the running system: the registry on Windows, the PATH
// elsewhere. Lives as long as the program.
Platform &systemPlatform();

// Shows a message with an OK button only and no icon, and returns once the
// user has closed it.
using ShowMessage = std::function<void(std::string_view message)>;

// Reads valueName of keyPath under root into value and returns true when it
// could be read. Text (REG_SZ) becomes UTF-8 without its terminating zero; a
// REG_DWORD becomes "&h" followed by its hex digits, most significant first;
// a value of any other type is read but leaves value as it was. A key or value
// that is missing, or longer than kValueBufferSize bytes, sets value to "" and
// returns false. Throws std::invalid_argument for a value of zero bytes. The
// key is always closed.
bool GetKeyValue(Platform &platform, Key root, const std::string &keyPath,
                 const std::string &valueName, std::string &value);

// Starts the system-information tool: the full path registered at kToolKey,
// or else kToolFileName in the directory registered at kToolDirKey when that
// file exists. When the tool cannot be found or started, calls unavailable
// once with kUnavailableMessage. Does not throw.
void StartSysInfo(Platform &platform, const ShowMessage &unavailable);

}  // namespace sysinfo
