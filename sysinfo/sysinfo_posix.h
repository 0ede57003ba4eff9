// The system-information backend for systems without a registry. It answers
// the tool's first registry location with the first system-information
// program found on the PATH, and reports every other key missing.
#pragma once

#include "sysinfo/sysinfo.h"

#include <array>
#include <string>
#include <string_view>

namespace sysinfo {

class PosixPlatform : public Platform {
public:
    // Looked for in this order; the first name found anywhere on the PATH wins.
    static constexpr std::array<std::string_view, 3> kToolNames = {"hardinfo2", "hardinfo",
                                                                   "kinfocenter"};

    // Full path of the first kToolNames entry that is a regular executable file
    // in an absolute PATH directory, or "" when there is none. Reads PATH
    // anew on every call.
    static std::string findTool();

    // Opening kToolKey under kLocalMachine succeeds when findTool() finds a
    // program; its kToolValue is then that path as REG_SZ with its
    // terminating zero.
    long openKey(Key root, const std::string &keyPath, std::uint32_t options, std::uint32_t access,
                 Key &key) override;
    long queryValue(Key key, const std::string &valueName, std::uint32_t &type,
                    std::span<std::uint8_t> data, std::uint32_t &size) override;
    long closeKey(Key key) override;
    // A regular file whose name does not start with a dot.
    bool isNormalFile(const std::string &path) override;
    // Runs path itself with argv[0] = path and no shell, in its own session,
    // detached: it is never waited for and leaves no zombie behind. The show
    // style has no meaning here. Throws std::system_error when the program
    // cannot be executed.
    void startProgram(const std::string &path, int showStyle) override;

private:
    static constexpr Key kToolKeyHandle = 1;
    std::string m_toolPath;  // what the open kToolKeyHandle reports
    bool m_toolKeyOpen = false;
};

}  // namespace sysinfo
