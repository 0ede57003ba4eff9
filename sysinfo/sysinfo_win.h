// The system-information backend for Windows: the real registry, a directory
// listing for the file test and CreateProcessW for the start.
#pragma once

#include "sysinfo/sysinfo.h"

#include <string>
#include <string_view>

namespace sysinfo {

class WinPlatform : public Platform {
public:
    // RegOpenKeyExA, RegQueryValueExA and RegCloseKey. The predefined roots
    // (kLocalMachine and its kind) are passed on as the same handles.
    long openKey(Key root, const std::string &keyPath, std::uint32_t options, std::uint32_t access,
                 Key &key) override;
    long queryValue(Key key, const std::string &valueName, std::uint32_t &type,
                    std::span<std::uint8_t> data, std::uint32_t &size) override;
    long closeKey(Key key) override;
    // A directory entry matching path (UTF-8) that is neither a directory nor
    // hidden nor a system file.
    bool isNormalFile(const std::string &path) override;
    // CreateProcessW with the path (UTF-8) as the application name, so the
    // path is never split at a space, and the quoted path as the command
    // line. The process and thread handles are closed at once.
    void startProgram(const std::string &path, int showStyle) override;
    // CP_ACP to UTF-8.
    std::string fromAnsi(std::string_view bytes) override;
};

// UTF-8 to UTF-16 for the wide Windows calls. Throws std::system_error on
// text that is not UTF-8.
std::wstring toWide(std::string_view utf8);

}  // namespace sysinfo
