// A progress bar for long work, on standard error and only when that is a
// terminal, so that redirected output and logs stay clean.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace cli {

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    // Where the bar goes, how wide the terminal is (0: ask it at every draw)
    // and what time it is; tests give their own.
    struct Sink {
        std::FILE *stream = stderr;
        bool terminal = false;
        std::function<Clock::time_point()> now = [] { return Clock::now(); };
        std::size_t columns = 0;
    };

    // A bar labelled label for work of total units, on stderr when stderr is
    // a terminal (and never otherwise). With a total of 0 (not known ahead,
    // as for standard input) it shows the units done instead of a bar. The
    // line stays narrower than the terminal, which keeps it from wrapping:
    // the label loses its middle first (a long file name in it keeps its
    // end) down to 24 columns, then the bar gets shorter, then it goes.
    Progress(std::string label, std::uint64_t total);
    Progress(std::string label, std::uint64_t total, Sink sink);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // Records that done units are finished. Nothing is drawn during the first
    // second (short work shows no bar) and then at most ten times a second.
    void update(std::uint64_t done);

    // Erases the bar if one was drawn; later updates draw nothing. Also done
    // by the destructor.
    void finish();

private:
    void draw(std::uint64_t done);

    std::string m_label;
    std::uint64_t m_total;
    Sink m_sink;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw;
    bool m_drawn = false;
    bool m_finished = false;
};

}  // namespace cli
