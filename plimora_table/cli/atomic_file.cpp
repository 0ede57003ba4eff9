#include "plimora_table/cli/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>

#include "plimora_table/cli/failure.h"
#include "store/fault_point.h"
#include "store/files.h"

namespace cli {

namespace {

constexpr std::size_t kSuffixLength = 6;

#ifdef _WIN32
// plimora-table runs in the UTF-8 code page (its manifest), so the C
// library's file names are UTF-8 as everywhere else.
constexpr int kNewFile = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT;
constexpr int kReadFile = _O_RDWR | _O_BINARY;  // _commit needs a writable descriptor
int fsync(int fd) {
    return ::_commit(fd);
}
#else
constexpr int kNewFile = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
constexpr int kReadFile = O_RDONLY | O_CLOEXEC;
#endif

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        suffix += kLetters[pick(random)];
    }
    return suffix;
}

// The longest a temporary's name may start with the target's name: file
// systems take names of 255 bytes.
constexpr std::size_t kLongestTemporaryLead = 200;

// prefix with the target's name in it cut to kLongestTemporaryLead bytes,
// at a character's start.
std::string shortenedName(const std::string &prefix) {
    const auto slash = prefix.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t markAt = prefix.rfind(kTemporaryMark);
    if (markAt - nameStart <= kLongestTemporaryLead) {
        return prefix;
    }
    std::size_t cut = nameStart + kLongestTemporaryLead;
    while (cut > nameStart && (static_cast<unsigned char>(prefix[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return prefix.substr(0, cut) + prefix.substr(markAt);
}

#ifndef _WIN32
// Symbolic links followed before giving up, as the kernel's own limit.
constexpr int kMostLinks = 40;

// path with "//" and "/./" made single slashes.
std::string normalised(std::string path) {
    for (std::size_t at; (at = path.find("//")) != std::string::npos;) {
        path.erase(at, 1);
    }
    for (std::size_t at; (at = path.find("/./")) != std::string::npos;) {
        path.erase(at, 2);
    }
    return path;
}

// The descriptor that path names, for the names a shell and the kernel give
// this process's open descriptors: /dev/stdin, /dev/stdout, /dev/stderr,
// /dev/fd/N and /proc/self/fd/N (also /proc/thread-self and /proc/PID with
// this process's id).
std::optional<int> descriptorNamed(const std::string &name) {
    const std::string path = normalised(name);
    if (path == "/dev/stdin") {
        return 0;
    }
    if (path == "/dev/stdout") {
        return 1;
    }
    if (path == "/dev/stderr") {
        return 2;
    }
    const std::string folders[] = {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/",
                                   "/proc/" + std::to_string(::getpid()) + "/fd/"};
    for (const std::string &folder : folders) {
        if (!path.starts_with(folder)) {
            continue;
        }
        const std::string number = path.substr(folder.size());
        if (!number.empty() && number.size() < 10 &&
            number.find_first_not_of("0123456789") == std::string::npos) {
            return std::stoi(number);
        }
    }
    return std::nullopt;
}

// Where the symbolic link at path points, as a path from here. Throws
// Failure naming target.
std::string linkTarget(const std::string &path, const std::string &target) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        throw Failure(target, "无法读取符号链接 " + path + "：" +
                                  describeErrno(length < 0 ? errno : ENAMETOOLONG));
    }
    const std::string link(buffer, static_cast<std::size_t>(length));
    return link.starts_with('/') ? link : folderOf(path) + "/" + link;
}

// The process id in the name of a temporary file ("….plimora-tmp-PID-abc123"),
// or nothing for any other name.
std::optional<pid_t> temporaryOwner(std::string_view name) {
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = name.substr(mark + kTemporaryMark.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
        rest.size() != dash + 1 + kSuffixLength ||
        rest.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
    return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

// Removes the temporaries in folder that a run killed before its commit left:
// those whose process is gone and whose lock nobody holds. A temporary of a
// run still writing keeps both.
void removeLeftovers(const std::string &folder) {
    DIR *entries = ::opendir(folder.c_str());
    if (!entries) {
        return;
    }
    while (const dirent *entry = ::readdir(entries)) {
        const auto owner = temporaryOwner(entry->d_name);
        if (!owner || *owner == ::getpid() || ::kill(*owner, 0) == 0 || errno != ESRCH) {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
    ::closedir(entries);
}

#endif

}  // namespace

#ifdef _WIN32
// Windows has no pipes or devices a user names as output, and no process ids
// to tell a killed run's temporary from a running one's: a regular or missing
// file is written under a temporary name and renamed over, nothing else.
OutputFile::OutputFile(std::string target) : m_target(std::move(target)) {
    m_final = m_target;
    std::error_code error;
    const auto status = std::filesystem::status(store::nativePath(m_final), error);
    const bool exists = !error && std::filesystem::exists(status);
    if (exists && std::filesystem::is_directory(status)) {
        throw Failure(m_target, "这是一个文件夹；请给出要写的文件名");
    }
    if (exists && !std::filesystem::is_regular_file(status)) {
        throw Failure(m_target, "不是普通文件，没有写入");
    }
    if (exists && (status.permissions() & std::filesystem::perms::owner_write) ==
                      std::filesystem::perms::none) {
        throw Failure(m_target, "是只读文件，没有改动它；要写到这里，请先去掉它的只读属性");
    }
    const std::string prefix = m_final + std::string(kTemporaryMark) + "0-";
    for (int attempt = 0;; ++attempt) {
        m_temporary = shortenedName(prefix) + randomSuffix();
        const int fd = ::_open(m_temporary.c_str(), kNewFile, _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            m_stream = ::_fdopen(fd, "wb");
            if (!m_stream) {
                const int failure = errno;
                ::_close(fd);
                std::remove(m_temporary.c_str());
                m_temporary.clear();
                throw Failure(m_target, "无法写入：" + describeErrno(failure));
            }
            return;
        }
        if (errno != EEXIST || attempt == 100) {
            const int failure = errno;
            m_temporary.clear();
            throw Failure(m_target, "无法在文件夹 " + folderOf(m_final) + " 中建立临时文件：" +
                                        describeErrno(failure));
        }
    }
}

void OutputFile::openDirect(int) {}
#else
OutputFile::OutputFile(std::string target) : m_target(std::move(target)) {
    std::string path = m_target;
    struct stat status {};
    bool exists = false;
    for (int links = 0;; ++links) {
        if (const auto fd = descriptorNamed(path)) {
            openDirect(*fd);
            return;
        }
        if (::lstat(path.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                throw Failure(m_target, "无法写入：" + describeErrno(errno));
            }
            break;
        }
        if (!S_ISLNK(status.st_mode)) {
            exists = true;
            break;
        }
        if (links == kMostLinks) {
            throw Failure(m_target, "符号链接太多层，或者绕成了圈，没有写入");
        }
        path = linkTarget(path, m_target);
    }
    if (exists && S_ISDIR(status.st_mode)) {
        throw Failure(m_target, "这是一个文件夹；请给出要写的文件名");
    }
    if (exists && (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode))) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            throw Failure(m_target, "无法写入：" + describeErrno(errno));
        }
        openDirect(fd);
        ::close(fd);
        return;
    }
    if (exists && !S_ISREG(status.st_mode)) {
        throw Failure(m_target, "不是普通文件、管道或终端，没有写入");
    }
    // Root may write any file; a file nobody may write is still one its
    // owner meant to keep.
    if (exists && (status.st_mode & 0222) == 0) {
        throw Failure(m_target, "是只读文件，没有改动它；要写到这里，请先让它可写（chmod u+w）");
    }
    if (exists && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        throw Failure(m_target, "无法写入：" + describeErrno(errno) + "；没有改动它");
    }
    m_final = path;
    const std::string folder = folderOf(m_final);
    removeLeftovers(folder);
    const std::string prefix =
        m_final + std::string(kTemporaryMark) + std::to_string(::getpid()) + "-";
    for (int attempt = 0;; ++attempt) {
        m_temporary = shortenedName(prefix) + randomSuffix();
        const int fd = ::open(m_temporary.c_str(), kNewFile, 0666);
        if (fd >= 0) {
            // The lock tells a later run that this file is being written;
            // a file system without locks leaves the process id to say so.
            [[maybe_unused]] const int locked = ::flock(fd, LOCK_EX | LOCK_NB);
            if (exists) {
                if (::geteuid() == 0) {
                    [[maybe_unused]] const int owned = ::fchown(fd, status.st_uid, status.st_gid);
                }
                [[maybe_unused]] const int moded = ::fchmod(fd, status.st_mode & 0777);
            }
            m_stream = ::fdopen(fd, "wb");
            if (!m_stream) {
                const int error = errno;
                ::close(fd);
                ::unlink(m_temporary.c_str());
                m_temporary.clear();
                throw Failure(m_target, "无法写入：" + describeErrno(error));
            }
            return;
        }
        if (errno != EEXIST || attempt == 100) {
            const int error = errno;
            m_temporary.clear();
            throw Failure(m_target,
                          "无法在文件夹 " + folder + " 中建立临时文件：" + describeErrno(error));
        }
    }
}

void OutputFile::openDirect(int fd) {
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    m_stream = own < 0 ? nullptr : ::fdopen(own, "wb");
    if (!m_stream) {
        const int error = errno;
        if (own >= 0) {
            ::close(own);
        }
        throw Failure(m_target, "无法写入：" + describeErrno(error));
    }
}

#endif

OutputFile::~OutputFile() {
    if (m_stream) {
        std::fclose(m_stream);
    }
    if (!m_committed && !m_temporary.empty()) {
        std::remove(m_temporary.c_str());
    }
}

void OutputFile::commit() {
    std::FILE *stream = m_stream;
    m_stream = nullptr;
    const bool written = std::fflush(stream) == 0 && !std::ferror(stream);
    int error = errno;
    // A pipe or a terminal cannot be synced, and a file named by an open
    // descriptor belongs to whoever opened it.
    const bool synced = direct() || (written && fsync(::fileno(stream)) == 0);
    if (written && !synced) {
        error = errno;
    }
    const bool closed = std::fclose(stream) == 0;
    if (!written || !synced || !closed) {
        throw Failure(m_target, "写入失败：" + describeErrno(written && synced ? errno : error));
    }
    if (!direct()) {
        store::faultPoint("output-written");
        replaceFile(m_temporary, m_final);
    }
    m_committed = true;
}

bool sameFile(const std::string &a, const std::string &b) {
    const auto first = store::identityOf(a);
    return first && first == store::identityOf(b);
}

std::string folderOf(const std::string &path) {
    return store::folderOf(path);
}

void syncFile(const std::string &path) {
    const int fd = ::open(path.c_str(), kReadFile);
    if (fd < 0) {
        throw Failure(path, "无法打开以写入磁盘：" + describeErrno(errno));
    }
    const int rc = fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0) {
        throw Failure(path, "无法写入磁盘：" + describeErrno(error));
    }
}

void syncFolder(const std::string &folder) {
    if (const int error = store::syncFolderEntries(folder)) {
        throw Failure(folder, "无法写入磁盘：" + describeErrno(error));
    }
}

void replaceFile(const std::string &from, const std::string &to) {
    if (const int error = store::renameOver(from, to)) {
        std::remove(from.c_str());
        throw Failure(to, "无法换成新文件：" + describeErrno(error));
    }
    syncFolder(folderOf(to));
}

}  // namespace cli
