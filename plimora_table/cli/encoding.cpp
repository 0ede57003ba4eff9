#include "plimora_table/cli/encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cerrno>

namespace cli {

std::optional<std::size_t> firstNonUtf8(std::string_view text) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                low = 0xA0;  // no overlong forms
            } else if (lead == 0xED) {
                high = 0x9F;  // no surrogates
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                low = 0x90;
            } else if (lead == 0xF4) {
                high = 0x8F;  // nothing above U+10FFFF
            }
        } else {
            return i;
        }
        if (i + length > size || bytes[i + 1] < low || bytes[i + 1] > high) {
            return i;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) {
                return i;
            }
        }
        i += length;
    }
    return std::nullopt;
}

bool looksLikeGbk(std::string_view text) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (bytes[i] < 0x80) {
            continue;
        }
        if (bytes[i] == 0x80 || bytes[i] == 0xFF || i + 1 == text.size()) {
            return false;
        }
        const unsigned char trail = bytes[i + 1];
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) {
            return false;
        }
        any = true;
        ++i;
    }
    return any;
}

std::string notUtf8Message(std::string_view line) {
    const auto offset = firstNonUtf8(line).value_or(0);
    const std::string where = "（这一行第 " + std::to_string(offset + 1) + " 个字节）";
    if (looksLikeGbk(line)) {
        return "文字编码不是 UTF-8，看起来是 GBK/GB18030" + where + "；请把文件另存为 UTF-8 再试";
    }
    return "文字编码不是 UTF-8" + where + "；请把文件另存为 UTF-8 再试";
}

#ifdef _WIN32

std::optional<std::string> utf8ToGb18030(std::string_view utf8) {
    // Windows' code page 54936 is GB18030.
    constexpr UINT kGb18030 = 54936;
    if (utf8.empty()) {
        return std::string();
    }
    if (firstNonUtf8(utf8)) {
        return std::nullopt;
    }
    const int size = static_cast<int>(utf8.size());
    const int wideSize =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), wideSize);
    const int outSize =
        ::WideCharToMultiByte(kGb18030, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    if (outSize <= 0) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(outSize), '\0');
    ::WideCharToMultiByte(kGb18030, 0, wide.data(), wideSize, out.data(), outSize, nullptr,
                          nullptr);
    return out;
}

#else

std::optional<std::string> utf8ToGb18030(std::string_view utf8) {
    // glibc's iconv.
    const iconv_t converter = ::iconv_open("GB18030", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    // GB18030 never takes more than four bytes for what UTF-8 writes in at
    // least one, and only ASCII keeps one byte.
    std::string out(utf8.size() * 2 + 4, '\0');
    char *in = const_cast<char *>(utf8.data());
    std::size_t inLeft = utf8.size();
    char *to = out.data();
    std::size_t toLeft = out.size();
    const std::size_t rc = ::iconv(converter, &in, &inLeft, &to, &toLeft);
    ::iconv_close(converter);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - toLeft);
    return out;
}

#endif

}  // namespace cli
