#include "plimora_table/cli/progress.h"

#include <algorithm>
#include <cstring>

#include "plimora_table/cli/terminal.h"
#include "store/text.h"

namespace cli {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr std::size_t kBarWidth = 30;
// A bar shorter than this says too little to be worth its columns.
constexpr std::size_t kShortestBar = 10;
// The columns a label keeps before the bar gives any up.
constexpr std::size_t kShortestLabel = 24;
// The width of a terminal that does not say.
constexpr std::size_t kAssumedColumns = 80;

}  // namespace

Progress::Progress(std::string label, std::uint64_t total)
    : Progress(std::move(label), total, Sink{stderr, isTerminal(stderr)}) {}

Progress::Progress(std::string label, std::uint64_t total, Sink sink)
    : m_label(store::escapedText(label)),
      m_total(total),
      m_sink(std::move(sink)),
      m_start(m_sink.now()) {}

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
    const std::size_t columns = m_sink.columns ? m_sink.columns : terminalColumns(m_sink.stream);
    // The last column is left free: a terminal that has written there wraps
    // at the next character.
    const std::size_t room = (columns ? columns : kAssumedColumns) - 1;
    std::string line;
    if (m_total == 0) {
        const std::string count = " " + std::to_string(done);
        line = fitted(m_label, room > count.size() ? room - count.size() : 0) + count;
    } else {
        const std::uint64_t total = std::max<std::uint64_t>(m_total, 1);
        const std::uint64_t shown = std::min(done, total);
        char percent[8];
        std::snprintf(percent, sizeof percent, " %3d%%", static_cast<int>(shown * 100 / total));
        // " [" and "]" around the bar, then the percentage.
        const std::size_t frame = 3 + std::strlen(percent);
        const std::size_t labelWidth = std::min(displayWidth(m_label), kShortestLabel);
        std::size_t bar = kBarWidth;
        if (room < labelWidth + frame + bar) {
            bar = room > labelWidth + frame ? room - labelWidth - frame : 0;
        }
        if (bar < kShortestBar) {
            line = fitted(m_label, room > std::strlen(percent) ? room - std::strlen(percent) : 0) +
                   percent;
        } else {
            const auto filled = static_cast<std::size_t>(shown * bar / total);
            line = fitted(m_label, room - frame - bar) + " [" + std::string(filled, '#') +
                   std::string(bar - filled, '.') + "]" + percent;
        }
    }
    if (displayWidth(line) > room) {
        line.clear();
    }
    // Erasing to the end of the line takes away what a longer line before
    // left there.
    std::fprintf(m_sink.stream, "\r%s\033[K", line.c_str());
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
