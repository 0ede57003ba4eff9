#include "plimora_table/cli/terminal.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <vector>

#include "store/text.h"

namespace cli {

namespace {

// A terminal set up for Chinese draws "…" two columns wide, others one; it
// is given two so that the text fits either.
constexpr std::string_view kEllipsis = "…";
constexpr std::size_t kEllipsisWidth = 2;

// East Asian wide and full-width characters, as terminals draw them.
bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool isZeroWidth(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || c == 0x2060 ||
           c == 0xFEFF || (c >= 0xFE00 && c <= 0xFE0F);
}

struct Piece {
    std::size_t offset;
    std::size_t length;
    std::size_t width;
};

std::vector<Piece> pieces(std::string_view text) {
    std::vector<Piece> all;
    for (std::size_t at = 0; at < text.size();) {
        const store::Utf8Character character = store::decodeUtf8(text, at);
        const std::size_t length = character.length == 0 ? 1 : character.length;
        std::size_t width = 1;
        if (character.length > 0 && isWide(character.point)) {
            width = 2;
        } else if (character.length > 0 && isZeroWidth(character.point)) {
            width = 0;
        }
        all.push_back({at, length, width});
        at += length;
    }
    return all;
}

}  // namespace

#ifdef _WIN32
bool isTerminal(std::FILE *stream) {
    return ::_isatty(::_fileno(stream)) != 0;
}

std::size_t terminalColumns(std::FILE *stream) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(handle, &info)) {
        return 0;
    }
    // The visible window, not the buffer, which is often far wider.
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}
#else
bool isTerminal(std::FILE *stream) {
    return ::isatty(::fileno(stream)) == 1;
}

std::size_t terminalColumns(std::FILE *stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}
#endif

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (const Piece &piece : pieces(text)) {
        width += piece.width;
    }
    return width;
}

std::string fitted(std::string_view text, std::size_t columns) {
    const std::vector<Piece> all = pieces(text);
    std::size_t width = 0;
    for (const Piece &piece : all) {
        width += piece.width;
    }
    if (width <= columns) {
        return std::string(text);
    }
    if (columns < kEllipsisWidth) {
        return std::string();
    }
    const std::size_t room = columns - kEllipsisWidth;
    const std::size_t headRoom = room / 2;
    std::size_t head = 0;
    std::size_t headWidth = 0;
    while (head < all.size() && headWidth + all[head].width <= headRoom) {
        headWidth += all[head++].width;
    }
    std::size_t tail = all.size();
    std::size_t tailWidth = 0;
    while (tail > head && tailWidth + all[tail - 1].width <= room - headWidth) {
        tailWidth += all[--tail].width;
    }
    const std::size_t headEnd = head == 0 ? 0 : all[head - 1].offset + all[head - 1].length;
    const std::size_t tailStart = tail == all.size() ? text.size() : all[tail].offset;
    return std::string(text.substr(0, headEnd)) + std::string(kEllipsis) +
           std::string(text.substr(tailStart));
}

}  // namespace cli
