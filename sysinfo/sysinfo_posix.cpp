// System information on systems without a registry: the tool's registered
// path is stood in for by a search of the PATH, and the tool is started
// directly with fork and exec, never through a shell.
#include "sysinfo/sysinfo_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace sysinfo {

namespace {

constexpr long kInvalidHandle = 6;  // ERROR_INVALID_HANDLE

// Registry names compare without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
    });
}

bool isExecutableFile(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> pathDirectories() {
    std::vector<std::string> directories;
    const char *variable = std::getenv("PATH");
    if (variable == nullptr) {
        return directories;
    }
    std::string_view rest(variable);
    while (true) {
        const auto colon = rest.find(':');
        const auto entry = rest.substr(0, colon);
        // Empty and relative entries mean the current directory, which is no
        // place to pick up a program from a button click.
        if (!entry.empty() && entry.front() == '/') {
            directories.emplace_back(entry);
        }
        if (colon == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(colon + 1);
    }
    return directories;
}

[[noreturn]] void reportAndExit(int writeEnd, int error) {
    // The parent learns of the failure from these bytes; nothing else can be
    // done about a failed write in a child about to exit.
    [[maybe_unused]] const auto written = ::write(writeEnd, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

std::string PosixPlatform::findTool() {
    const auto directories = pathDirectories();
    for (const auto name : kToolNames) {
        for (const auto &directory : directories) {
            std::string candidate = directory;
            if (candidate.back() != '/') {
                candidate += '/';
            }
            candidate += name;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
    }
    return {};
}

long PosixPlatform::openKey(Key root, const std::string &keyPath, std::uint32_t, std::uint32_t,
                            Key &key) {
    key = 0;
    if (root != kLocalMachine || !sameName(keyPath, kToolKey)) {
        return kFileNotFound;
    }
    m_toolPath = findTool();
    if (m_toolPath.empty()) {
        return kFileNotFound;
    }
    m_toolKeyOpen = true;
    key = kToolKeyHandle;
    return kSuccess;
}

long PosixPlatform::queryValue(Key key, const std::string &valueName, std::uint32_t &type,
                               std::span<std::uint8_t> data, std::uint32_t &size) {
    if (key != kToolKeyHandle || !m_toolKeyOpen) {
        return kInvalidHandle;
    }
    if (!sameName(valueName, kToolValue)) {
        return kFileNotFound;
    }
    const std::size_t needed = m_toolPath.size() + 1;
    if (needed > data.size()) {
        size = static_cast<std::uint32_t>(needed);
        return kMoreData;
    }
    std::memcpy(data.data(), m_toolPath.data(), m_toolPath.size());
    data[m_toolPath.size()] = 0;
    type = kRegSz;
    size = static_cast<std::uint32_t>(needed);
    return kSuccess;
}

long PosixPlatform::closeKey(Key key) {
    if (key != kToolKeyHandle || !m_toolKeyOpen) {
        return kInvalidHandle;
    }
    m_toolKeyOpen = false;
    return kSuccess;
}

bool PosixPlatform::isNormalFile(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const auto slash = path.rfind('/');
    const auto name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() || name.front() != '.';
}

void PosixPlatform::startProgram(const std::string &path, int) {
    // Everything the children need is prepared before fork: after it, only
    // async-signal-safe calls are allowed in a program that may have threads.
    std::vector<char> program(path.begin(), path.end());
    program.push_back('\0');
    char *const argv[] = {program.data(), nullptr};

    // Close-on-exec: a successful exec closes the last write end, so the
    // parent's read returns nothing; a failure sends errno instead.
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        throw std::system_error(error, std::generic_category(), "fork");
    }
    if (child == 0) {
        // The intermediate child exits at once, so the tool is adopted by init
        // and reaped there, and its own session keeps it alive when this
        // program quits.
        ::close(pipeEnds[0]);
        ::setsid();
        const pid_t tool = ::fork();
        if (tool < 0) {
            reportAndExit(pipeEnds[1], errno);
        }
        if (tool > 0) {
            ::_exit(0);
        }
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(argv[0], argv);
        reportAndExit(pipeEnds[1], errno);
    }

    ::close(pipeEnds[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(pipeEnds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(pipeEnds[0]);
    if (got == 0) {
        return;
    }
    if (got != static_cast<ssize_t>(sizeof error)) {
        error = EIO;
    }
    throw std::system_error(error, std::generic_category(), "cannot start " + path);
}

Platform &systemPlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace sysinfo
