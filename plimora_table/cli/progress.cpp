#include "plimora_table/cli/progress.h"

#include <unistd.h>

#include <algorithm>

namespace cli {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

}  // namespace

Progress::Progress(std::string label, std::uint64_t total)
    : Progress(std::move(label), total, Sink{stderr, isatty(STDERR_FILENO) == 1}) {}

Progress::Progress(std::string label, std::uint64_t total, Sink sink)
    : m_label(std::move(label)), m_total(total), m_sink(std::move(sink)), m_start(m_sink.now()) {}

Progress::~Progress() {
    finish();
}

void Progress::update(std::uint64_t done) {
    if (!m_sink.terminal || m_finished) {
        return;
    }
    const auto now = m_sink.now();
    if (now - m_start < kQuietStart || (m_drawn && now - m_lastDraw < kRedrawEvery)) {
        return;
    }
    m_lastDraw = now;
    draw(done);
}

void Progress::draw(std::uint64_t done) {
    if (m_total == 0) {
        std::fprintf(m_sink.stream, "\r%s %llu", m_label.c_str(),
                     static_cast<unsigned long long>(done));
        std::fflush(m_sink.stream);
        m_drawn = true;
        return;
    }
    const std::uint64_t total = std::max<std::uint64_t>(m_total, 1);
    const std::uint64_t shown = std::min(done, total);
    const int filled = static_cast<int>(shown * kBarWidth / total);
    const int percent = static_cast<int>(shown * 100 / total);
    std::fprintf(m_sink.stream, "\r%s [%s%s] %3d%%", m_label.c_str(),
                 std::string(filled, '#').c_str(), std::string(kBarWidth - filled, '.').c_str(),
                 percent);
    std::fflush(m_sink.stream);
    m_drawn = true;
}

void Progress::finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    if (m_drawn) {
        // Carriage return and erase-line leave the cursor where the bar began.
        std::fputs("\r\033[K", m_sink.stream);
        std::fflush(m_sink.stream);
    }
}

}  // namespace cli
