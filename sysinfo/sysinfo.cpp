// The registry walk behind the about box's system-information button. Kept
// apart from the window and from any real registry so every path through it
// can be tested with a fake Platform.
#include "sysinfo/sysinfo.h"

#include <array>
#include <exception>
#include <stdexcept>

namespace sysinfo {

namespace {

// Hex digits of the stored bytes, last byte first: the little-endian bytes of
// a REG_DWORD read as one number.
std::string hexDigitsLastFirst(std::span<const std::uint8_t> bytes) {
    static constexpr std::string_view digits = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        text += digits[*it >> 4];
        text += digits[*it & 0x0F];
    }
    return text;
}

// Closes the key however the read ends, including by an exception.
class KeyCloser {
public:
    KeyCloser(Platform &platform, Key &key) : m_platform(platform), m_key(key) {}
    ~KeyCloser() {
        // A null handle after a failed open gives an error nobody acts on.
        m_platform.closeKey(m_key);
    }
    KeyCloser(const KeyCloser &) = delete;
    KeyCloser &operator=(const KeyCloser &) = delete;

private:
    Platform &m_platform;
    Key &m_key;
};

}  // namespace

bool GetKeyValue(Platform &platform, Key root, const std::string &keyPath,
                 const std::string &valueName, std::string &value) {
    Key key = 0;
    KeyCloser closer(platform, key);

    // Read access only: asking for more fails for every user who is not an
    // administrator, and reading is all this does.
    if (platform.openKey(root, keyPath, 0, kKeyRead, key) != kSuccess) {
        value.clear();
        return false;
    }

    std::array<std::uint8_t, kValueBufferSize> buffer{};
    std::uint32_t size = kValueBufferSize;
    std::uint32_t type = 0;
    if (platform.queryValue(key, valueName, type, buffer, size) != kSuccess) {
        value.clear();
        return false;
    }

    if (size == 0) {
        throw std::invalid_argument("registry value " + valueName + " is empty");
    }
    const std::span<const std::uint8_t> written(buffer.data(), size);
    // Text is normally stored with its terminating zero, but nothing forces a
    // writer to include it; only a final zero is cut.
    const auto kept = written.back() == 0 ? written.first(size - 1) : written;

    switch (type) {
        case kRegSz:
            value = platform.fromAnsi(
                std::string_view(reinterpret_cast<const char *>(kept.data()), kept.size()));
            break;
        case kRegDword:
            // Left in its "&h" hex form rather than turned into a decimal number:
            // the tool's locations are always text, so nothing reads it as one.
            value = "&h" + hexDigitsLastFirst(kept);
            break;
        default:
            // Read successfully, but not a type this can turn into text.
            break;
    }
    return true;
}

namespace {

// Finds and starts the tool; false when it is not registered where expected.
// Read and start failures throw.
bool startRegisteredTool(Platform &platform) {
    std::string path;
    if (!GetKeyValue(platform, kLocalMachine, std::string(kToolKey), std::string(kToolValue),
                     path)) {
        if (!GetKeyValue(platform, kLocalMachine, std::string(kToolDirKey),
                         std::string(kToolDirValue), path)) {
            return false;
        }
        // Appended as stored: a directory ending in "\" gives "\\", which
        // Windows accepts.
        const std::string candidate = path + std::string(kToolFileName);
        if (!platform.isNormalFile(candidate)) {
            return false;
        }
        path = candidate;
    }
    // The full path from the first location is trusted as registered; a
    // wrong one fails here and reaches the same message.
    platform.startProgram(path, kShowNormal);
    return true;
}

}  // namespace

void StartSysInfo(Platform &platform, const ShowMessage &unavailable) {
    try {
        if (startRegisteredTool(platform)) {
            return;
        }
    } catch (const std::exception &) {
        // Whatever went wrong, the user can only be told the tool is not there.
    }
    unavailable(kUnavailableMessage);
}

}  // namespace sysinfo
