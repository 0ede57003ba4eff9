// startup_bench [--runs N] [--program PATH] [--bare PATH] [--display :N] [--settle MS]
//
// Start-up of the program beside a bare Qt program that shows one QLabel
// (bare_label), measured side by side in one run: the time from the start of
// each to the first paint of its window, and its peak resident memory. The
// two are started alternately, N rounds (20 by default) after one round that
// is not counted, the first of each round taking turns; the medians, their
// ratios and the median of the rounds' own ratios are printed with the load
// average before and after, as the machine may be shared.
//
// How first paint is seen from outside. The bench is an X client of its own
// on the same display. It watches the root window for new windows
// (SubstructureNotify) and puts a DAMAGE object on each as it is created,
// before it can be mapped. The first DamageNotify from a window whose
// _NET_WM_PID is the child's is the moment the X server has the program's
// first pixels: the bench takes the time when that event arrives. Nothing is
// added to the programs, and both are watched alike. Qt paints a window from
// its backing store in one piece and gives the window no background for the
// server to fill, so the first damage is a whole frame. To keep that honest
// the bench reads the window back at the first damage and again after the
// settle time and prints in how many rounds the two differ, and by how many
// pixels at most. (The lookup window differs by its text cursor, about 30
// pixels, which it draws when the window manager gives it the focus.) Now and
// then the server clears a new window to one colour before the program draws
// it; a damage that leaves the window one colour is skipped and counted.
//
// Peak memory is ru_maxrss from wait4() after the child has been stopped
// with SIGTERM, MS milliseconds (300 by default) after its first paint.
//
// Without --display the bench starts its own Xvfb (1024x768x24) with openbox
// on a free display, so that nothing else draws there and the windows are
// mapped by a window manager as on a desktop; without openbox on the PATH it
// goes on without one and says so. The children get the bench's environment
// with DISPLAY set and QT_QPA_PLATFORM removed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

#include "bench/child_run.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRuns = 20;
constexpr int kDefaultSettleMs = 300;
constexpr int kPaintTimeoutMs = 20000;
// Between two starts, so that the window manager has let go of the last
// window before the next one comes.
constexpr int kPauseMs = 150;

struct Options {
    int runs = kDefaultRuns;
    int settleMs = kDefaultSettleMs;
    std::string program = PLIMORA_PROGRAM;
    std::string bare = BARE_LABEL;
    std::string display;  // empty: start an Xvfb of our own
};

struct Sample {
    double paintMs = 0;
    double maxRssMiB = 0;
    double cpuMs = 0;        // user and system time until stopped
    long changedPixels = 0;  // pixels that differ between the first paint and the settle time
    std::string title;       // of the window painted first
    int blankFrames = 0;     // changes before the first paint that left the window one colour
};

using bench::loadAverage;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    if (n == 0) {
        return 0;
    }
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The number of pixels in which two read-backs of one window differ; every
// pixel when the window changed its size or was gone.
long differingPixels(const std::vector<unsigned long> &a, const std::vector<unsigned long> &b) {
    if (a.size() != b.size()) {
        return static_cast<long>(std::max(a.size(), b.size()));
    }
    long count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        count += a[i] != b[i] ? 1 : 0;
    }
    return count;
}

// True when every pixel of a read-back has one value (or there are none).
bool uniform(const std::vector<unsigned long> &pixels) {
    return std::adjacent_find(pixels.begin(), pixels.end(), std::not_equal_to<>()) == pixels.end();
}

// Windows created on a display the bench does not own can be destroyed at any
// moment; a request about one that is gone is not a fault of the bench.
int ignoreXError(Display *, XErrorEvent *) {
    return 0;
}

// The children's environment: the bench's own, on the measured display.
std::vector<std::string> childEnvironment(const std::string &display) {
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0) {
            continue;
        }
        env.push_back(entry);
    }
    env.push_back("DISPLAY=" + display);
    return env;
}

pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env,
            int keepFd = -1) {
    std::vector<char *> args;
    for (const std::string &a : argv) {
        args.push_back(const_cast<char *>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &e : env) {
        envp.push_back(const_cast<char *>(e.c_str()));
    }
    envp.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != keepFd) {
                ::close(fd);
            }
        }
        if (argv[0].find('/') == std::string::npos) {
            ::execvpe(args[0], args.data(), envp.data());
        } else {
            ::execve(args[0], args.data(), envp.data());
        }
        ::_exit(127);
    }
    if (pid < 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(errno));
    }
    return pid;
}

void stop(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

bool onPath(const std::string &name) {
    const char *path = std::getenv("PATH");
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string dir = rest.substr(0, colon);
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
        rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    }
    return false;
}

// An Xvfb of the bench's own, with openbox on it when there is one; both are
// stopped when this goes.
class OwnDisplay {
public:
    OwnDisplay() {
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        m_server = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                          "1024x768x24", "-nolisten", "tcp"},
                         childEnvironment(":0"), fds[1]);
        ::close(fds[1]);
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        if (number.empty()) {
            stop(m_server);
            throw std::runtime_error("Xvfb did not start (is it installed?)");
        }
        m_name = ":" + number;
        if (onPath("openbox")) {
            m_manager = spawn({"openbox"}, childEnvironment(m_name));
        }
    }
    ~OwnDisplay() {
        stop(m_manager);
        stop(m_server);
    }
    OwnDisplay(const OwnDisplay &) = delete;
    OwnDisplay &operator=(const OwnDisplay &) = delete;

    const std::string &name() const { return m_name; }
    bool hasWindowManager() const { return m_manager > 0; }

private:
    pid_t m_server = -1;
    pid_t m_manager = -1;
    std::string m_name;
};

// The bench's own connection to the display, watching for new windows.
class Watcher {
public:
    explicit Watcher(const std::string &display) {
        m_display = XOpenDisplay(display.c_str());
        if (!m_display) {
            throw std::runtime_error("cannot open display " + display);
        }
        XSetErrorHandler(ignoreXError);
        int damageError = 0;
        if (!XDamageQueryExtension(m_display, &m_damageEvent, &damageError)) {
            throw std::runtime_error("the X server has no DAMAGE extension");
        }
        m_root = DefaultRootWindow(m_display);
        m_pidAtom = XInternAtom(m_display, "_NET_WM_PID", False);
        m_wmCheckAtom = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
        m_nameAtom = XInternAtom(m_display, "_NET_WM_NAME", False);
        m_utf8Atom = XInternAtom(m_display, "UTF8_STRING", False);
        XSelectInput(m_display, m_root, SubstructureNotifyMask);
        XSync(m_display, False);
    }
    ~Watcher() { XCloseDisplay(m_display); }
    Watcher(const Watcher &) = delete;
    Watcher &operator=(const Watcher &) = delete;

    // Waits up to timeoutMs for a window manager to announce itself.
    bool waitForWindowManager(int timeoutMs) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end) {
            if (cardinalProperty(m_root, m_wmCheckAtom, XA_WINDOW)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Starts path and returns its first paint and peak memory; throws when
    // the program ends or shows nothing within the time limit.
    Sample measure(const std::string &path, const std::vector<std::string> &env, int settleMs) {
        drain();
        std::map<Window, Damage> damages;
        const auto start = Clock::now();
        const pid_t pid = spawn({path}, env);
        std::optional<Window> painted;
        std::vector<unsigned long> first;
        Sample sample;
        while (!painted) {
            const auto left = std::chrono::milliseconds(kPaintTimeoutMs) - (Clock::now() - start);
            if (left.count() <= 0 || ::waitpid(pid, nullptr, WNOHANG) == pid) {
                stop(pid);
                throw std::runtime_error(path + " showed no window");
            }
            if (XPending(m_display) == 0) {
                pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
                ::poll(&fd, 1, static_cast<int>(std::min<long>(left.count(), 50)));
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == m_root) {
                const Window w = event.xcreatewindow.window;
                damages[w] = XDamageCreate(m_display, w, XDamageReportNonEmpty);
            } else if (event.type == m_damageEvent + XDamageNotify) {
                const double paintMs = milliseconds(Clock::now() - start);
                const Window w = reinterpret_cast<XDamageNotifyEvent &>(event).drawable;
                const auto found = damages.find(w);
                if (found == damages.end() || found->second == 0) {
                    continue;
                }
                if (cardinalProperty(w, m_pidAtom, XA_CARDINAL) !=
                    static_cast<unsigned long>(pid)) {
                    XDamageDestroy(m_display, found->second);
                    found->second = 0;
                    continue;
                }
                // Emptied before the read-back, so that a change after it
                // is reported again.
                XDamageSubtract(m_display, found->second, None, None);
                first = readBack(w);
                if (uniform(first)) {
                    // Not drawn by the program: the server cleared the
                    // window. Wait for the next change.
                    ++sample.blankFrames;
                    continue;
                }
                sample.paintMs = paintMs;
                painted = w;
                sample.title = textProperty(w, m_nameAtom);
            }
        }
        for (const auto &[w, damage] : damages) {
            if (damage != 0) {
                XDamageDestroy(m_display, damage);
            }
        }
        XSync(m_display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        sample.changedPixels = differingPixels(first, readBack(*painted));

        ::kill(pid, SIGTERM);
        rusage usage{};
        int status = 0;
        ::wait4(pid, &status, 0, &usage);
        sample.maxRssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
        sample.cpuMs = (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec)) /
                       1e3;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPauseMs));
        return sample;
    }

private:
    void drain() {
        XSync(m_display, False);
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
        }
    }

    // The first 32-bit value of a window's property, or 0 when it has none.
    unsigned long cardinalProperty(Window w, Atom property, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        unsigned long value = 0;
        if (XGetWindowProperty(m_display, w, property, 0, 1, False, type, &actualType, &format,
                               &count, &after, &data) == Success &&
            data != nullptr) {
            if (actualType == type && format == 32 && count == 1) {
                value = *reinterpret_cast<unsigned long *>(data);
            }
            XFree(data);
        }
        return value;
    }

    // A window's UTF-8 text property, or "" when it has none.
    std::string textProperty(Window w, Atom property) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        std::string text;
        if (XGetWindowProperty(m_display, w, property, 0, 256, False, m_utf8Atom, &actualType,
                               &format, &count, &after, &data) == Success &&
            data != nullptr) {
            if (actualType == m_utf8Atom && format == 8) {
                text.assign(reinterpret_cast<char *>(data), count);
            }
            XFree(data);
        }
        return text;
    }

    // The window's pixels as the server has them, or nothing when it is gone.
    std::vector<unsigned long> readBack(Window w) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(m_display, w, &attributes)) {
            return {};
        }
        XImage *image = XGetImage(m_display, w, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        if (!image) {
            return {};
        }
        std::vector<unsigned long> pixels;
        pixels.reserve(static_cast<std::size_t>(attributes.width * attributes.height));
        for (int y = 0; y < attributes.height; ++y) {
            for (int x = 0; x < attributes.width; ++x) {
                pixels.push_back(XGetPixel(image, x, y));
            }
        }
        XDestroyImage(image);
        return pixels;
    }

    Display *m_display = nullptr;
    Window m_root = 0;
    int m_damageEvent = 0;
    Atom m_pidAtom = None;
    Atom m_wmCheckAtom = None;
    Atom m_nameAtom = None;
    Atom m_utf8Atom = None;
};

[[noreturn]] void usage(int status) {
    std::fprintf(status == 0 ? stdout : stderr,
                 "usage: startup_bench [--runs N] [--program PATH] [--bare PATH] "
                 "[--display :N] [--settle MS]\n"
                 "  --runs N        rounds counted, each starting both programs (default %d)\n"
                 "  --program PATH  the program to measure (default: this build's plimora)\n"
                 "  --bare PATH     the yardstick (default: this build's bare_label)\n"
                 "  --display :N    a running X server with a window manager (default: an\n"
                 "                  Xvfb with openbox of the bench's own)\n"
                 "  --settle MS     wait after the first paint before stopping (default %d)\n",
                 kDefaultRuns, kDefaultSettleMs);
    std::exit(status);
}

Options parse(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(0);
        }
        if (i + 1 >= argc) {
            usage(2);
        }
        const std::string value = argv[++i];
        try {
            if (arg == "--runs") {
                options.runs = std::stoi(value);
            } else if (arg == "--settle") {
                options.settleMs = std::stoi(value);
            } else if (arg == "--program") {
                options.program = value;
            } else if (arg == "--bare") {
                options.bare = value;
            } else if (arg == "--display") {
                options.display = value;
            } else {
                usage(2);
            }
        } catch (const std::exception &) {
            usage(2);
        }
    }
    if (options.runs < 1 || options.settleMs < 0) {
        usage(2);
    }
    return options;
}

// One measure of every sample.
std::vector<double> values(const std::vector<Sample> &samples, double Sample::*measure) {
    std::vector<double> out;
    for (const Sample &s : samples) {
        out.push_back(s.*measure);
    }
    return out;
}

// "median (min-max)" of one measure.
std::string spread(const std::vector<Sample> &samples, double Sample::*measure) {
    const std::vector<double> v = values(samples, measure);
    char text[64];
    std::snprintf(text, sizeof text, "%7.1f (%.1f-%.1f)", median(v),
                  *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    return text;
}

// "n/N, at most P pixels, B blank changes skipped": in how many rounds the
// window changed after its first paint, by how much at most, and how many
// changes before it left the window one colour.
std::string changes(const std::vector<Sample> &samples) {
    long changed = 0, most = 0, blank = 0;
    for (const Sample &s : samples) {
        changed += s.changedPixels > 0 ? 1 : 0;
        most = std::max(most, s.changedPixels);
        blank += s.blankFrames;
    }
    return std::to_string(changed) + "/" + std::to_string(samples.size()) + ", at most " +
           std::to_string(most) + " pixels, " + std::to_string(blank) + " blank changes skipped";
}

}  // namespace

int main(int argc, char **argv) {
    const Options options = parse(argc, argv);
    try {
        std::optional<OwnDisplay> own;
        std::string display = options.display;
        if (display.empty()) {
            own.emplace();
            display = own->name();
        }
        Watcher watcher(display);
        std::string manager = "the running one";
        if (own) {
            manager = own->hasWindowManager() && watcher.waitForWindowManager(5000)
                          ? "openbox"
                          : "none (openbox not found)";
        }
        const std::vector<std::string> env = childEnvironment(display);

        std::printf(
            "startup_bench: %d rounds of both programs, the first of each round taking "
            "turns, after one round not counted\n",
            options.runs);
        std::printf("display %s%s, window manager %s\n", display.c_str(),
                    own ? " (Xvfb 1024x768x24)" : "", manager.c_str());
        std::printf("program  %s\nbare     %s\n", options.program.c_str(), options.bare.c_str());
        std::printf("load average before: %s\n", loadAverage().c_str());
        std::fflush(stdout);

        // The round not counted names the windows, so that a program that
        // shows something else first (a message that its store is missing)
        // is not taken for itself.
        const Sample bareWindow = watcher.measure(options.bare, env, options.settleMs);
        const Sample programWindow = watcher.measure(options.program, env, options.settleMs);
        std::printf("first windows: bare_label \"%s\", plimora \"%s\"\n", bareWindow.title.c_str(),
                    programWindow.title.c_str());
        std::fflush(stdout);
        std::vector<Sample> bare, program;
        for (int round = 0; round < options.runs; ++round) {
            if (round % 2 == 0) {
                bare.push_back(watcher.measure(options.bare, env, options.settleMs));
                program.push_back(watcher.measure(options.program, env, options.settleMs));
            } else {
                program.push_back(watcher.measure(options.program, env, options.settleMs));
                bare.push_back(watcher.measure(options.bare, env, options.settleMs));
            }
        }

        struct Measure {
            const char *name;
            double Sample::*member;
        };
        const Measure measures[] = {{"first paint ms", &Sample::paintMs},
                                    {"peak memory MiB", &Sample::maxRssMiB},
                                    {"cpu time ms", &Sample::cpuMs}};
        std::printf("\n%-16s %-24s %-24s %s\n", "median (min-max)", "bare_label", "plimora",
                    "ratio of medians, median of the rounds' ratios");
        for (const Measure &m : measures) {
            const std::vector<double> b = values(bare, m.member);
            const std::vector<double> p = values(program, m.member);
            std::vector<double> ratios;
            for (std::size_t i = 0; i < b.size(); ++i) {
                ratios.push_back(p[i] / b[i]);
            }
            std::printf("%-16s %-24s %-24s %.3f, %.3f\n", m.name, spread(bare, m.member).c_str(),
                        spread(program, m.member).c_str(), median(p) / median(b), median(ratios));
        }
        std::printf("windows changed after their first paint: bare_label %s; plimora %s\n",
                    changes(bare).c_str(), changes(program).c_str());
        std::printf("load average after: %s\n", loadAverage().c_str());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "startup_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
