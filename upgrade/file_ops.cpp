#include "upgrade/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "store/backups.h"
#include "upgrade/failure.h"

namespace upgrade {

namespace {

constexpr std::size_t kCopyBuffer = 1 << 16;

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[pick(random)];
    }
    return suffix;
}

#ifdef _WIN32

// The errno that says best what a Windows error means to the user.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        default:
            return EIO;
    }
}

std::wstring wide(const std::string &path) {
    return store::nativePath(path).wstring();
}

// A new file open for writing, whole or not at all.
HANDLE createNew(const std::string &path) {
    return ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

#endif

// Writes the bytes of source, read by read(buffer, offset) (returning the
// count, 0 at the end, -1 with errno set), to a new temporary beside target,
// syncs it and renames it over target (replace) or to it where no file is
// (returning false when one is).
template <typename Read>
bool writeBeside(const std::string &source, const std::string &target, bool replace, Read read) {
    std::string temporary;
#ifdef _WIN32
    HANDLE out = INVALID_HANDLE_VALUE;
    for (int attempt = 0; out == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target + ".tmp-" + randomSuffix();
        out = createNew(temporary);
        if (out == INVALID_HANDLE_VALUE &&
            (::GetLastError() != ERROR_FILE_EXISTS || attempt == 100)) {
            throw Failure(target, "无法在文件夹 " + store::folderOf(target) + " 中建立临时文件：" +
                                      store::describeSystemError(errnoOf(::GetLastError())));
        }
    }
    auto fail = [&](DWORD error) {
        ::CloseHandle(out);
        removeFile(temporary);
        throw Failure(target, "写入失败：" + store::describeSystemError(errnoOf(error)));
    };
#else
    int out = -1;
    for (int attempt = 0; out < 0; ++attempt) {
        temporary = target + ".tmp-" + randomSuffix();
        out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0 && (errno != EEXIST || attempt == 100)) {
            throw Failure(target, "无法在文件夹 " + store::folderOf(target) + " 中建立临时文件：" +
                                      store::describeSystemError(errno));
        }
    }
    auto fail = [&](int error) {
        ::close(out);
        removeFile(temporary);
        throw Failure(target, "写入失败：" + store::describeSystemError(error));
    };
#endif
    std::vector<char> buffer(kCopyBuffer);
    for (std::int64_t offset = 0;;) {
        const std::int64_t got = read(buffer.data(), buffer.size(), offset);
        if (got < 0) {
            const int error = errno;
#ifdef _WIN32
            ::CloseHandle(out);
#else
            ::close(out);
#endif
            removeFile(temporary);
            throw unreadable(source, error);
        }
        if (got == 0) {
            break;
        }
#ifdef _WIN32
        DWORD written = 0;
        if (!::WriteFile(out, buffer.data(), static_cast<DWORD>(got), &written, nullptr) ||
            written != static_cast<DWORD>(got)) {
            fail(::GetLastError());
        }
#else
        for (std::int64_t done = 0; done < got;) {
            const ssize_t written =
                ::write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (written < 0) {
                fail(errno);
            }
            done += written;
        }
#endif
        offset += got;
    }
#ifdef _WIN32
    if (!::FlushFileBuffers(out)) {
        fail(::GetLastError());
    }
    ::CloseHandle(out);
#else
    if (::fsync(out) != 0) {
        fail(errno);
    }
    if (::close(out) != 0) {
        const int error = errno;
        removeFile(temporary);
        throw Failure(target, "写入失败：" + store::describeSystemError(error));
    }
#endif
    try {
        if (replace) {
            replaceFile(temporary, target);
            return true;
        }
        const bool published = publishNew(temporary, target);
        if (!published) {
            removeFile(temporary);
        }
        return published;
    } catch (...) {
        removeFile(temporary);
        throw;
    }
}

}  // namespace

#ifdef _WIN32

OpenFile::OpenFile(const std::string &path) : m_path(path) {
    m_handle = ::CreateFileW(wide(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        throw unreadable(path, errnoOf(::GetLastError()));
    }
}

OpenFile::~OpenFile() {
    close();
}

void OpenFile::close() {
    if (m_handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

std::optional<store::FileIdentity> OpenFile::identity() const {
    BY_HANDLE_FILE_INFORMATION information{};
    if (m_handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(m_handle, &information)) {
        return std::nullopt;
    }
    return store::FileIdentity{
        information.dwVolumeSerialNumber,
        (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

bool OpenFile::copyTo(const std::string &target, bool replace) const {
    HANDLE handle = m_handle;
    return writeBeside(m_path, target, replace,
                       [handle](char *buffer, std::size_t size, std::int64_t offset) {
                           OVERLAPPED at{};
                           at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
                           at.OffsetHigh = static_cast<DWORD>(offset >> 32);
                           DWORD got = 0;
                           if (!::ReadFile(handle, buffer, static_cast<DWORD>(size), &got, &at)) {
                               if (::GetLastError() == ERROR_HANDLE_EOF) {
                                   return std::int64_t{0};
                               }
                               errno = errnoOf(::GetLastError());
                               return std::int64_t{-1};
                           }
                           return static_cast<std::int64_t>(got);
                       });
}

std::string makeBackup(const std::string &storePath, const OpenFile &store) {
    const std::string stamp = timestamp();
    for (int n = 1;; ++n) {
        const std::string backup = store::backupPath(storePath, stamp, n);
        if (::CreateHardLinkW(wide(backup).c_str(), wide(storePath).c_str(), nullptr)) {
            return backup;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            continue;
        }
        // No hard links on this volume (FAT), or none to a file in use.
        if (isFile(backup)) {
            continue;
        }
        store.copyTo(backup);
        return backup;
    }
}

void createEmpty(const std::string &path, const std::string &storePath) {
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw Failure(storePath, "无法在文件夹 " + store::folderOf(path) + " 中建立新文件：" +
                                     store::describeSystemError(errnoOf(::GetLastError())) +
                                     "；原来的文件没有改动");
    }
    ::CloseHandle(handle);
}

void keepAccess(const std::string &, const std::string &) {}

bool publishNew(const std::string &from, const std::string &to) {
    if (::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return false;
    }
    throw Failure(to, "无法建立：" + store::describeSystemError(errnoOf(error)));
}

void removeFile(const std::string &path) noexcept {
    ::DeleteFileW(wide(path).c_str());
}

void requireReplaceable(const std::string &path) {
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            throw Failure(path,
                          "正被另一个程序打开（例如还开着的 Plimora 窗口），"
                          "无法换成新文件；请关闭它们后再试。原来的文件没有改动");
        }
        throw Failure(path, "无法换成新文件：" + store::describeSystemError(errnoOf(error)) +
                                "；原来的文件没有改动");
    }
    ::CloseHandle(handle);
}

bool isFile(const std::string &path) {
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string readHead(const std::string &path, std::size_t size) {
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw unreadable(path, errnoOf(::GetLastError()));
    }
    std::string head(size, '\0');
    DWORD got = 0;
    const bool read = ::ReadFile(handle, head.data(), static_cast<DWORD>(size), &got, nullptr);
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (!read) {
        throw unreadable(path, errnoOf(error));
    }
    head.resize(got);
    return head;
}

bool canWrite(const std::string &path) {
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool canWriteFolder(const std::string &) {
    return true;
}

#else

OpenFile::OpenFile(const std::string &path) : m_path(path) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        throw unreadable(path, errno);
    }
}

OpenFile::~OpenFile() {
    close();
}

void OpenFile::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::optional<store::FileIdentity> OpenFile::identity() const {
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0) {
        return std::nullopt;
    }
    return store::FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                               static_cast<std::uint64_t>(status.st_ino)};
}

bool OpenFile::copyTo(const std::string &target, bool replace) const {
    const int fd = m_fd;
    return writeBeside(
        m_path, target, replace, [fd](char *buffer, std::size_t size, std::int64_t offset) {
            return static_cast<std::int64_t>(::pread(fd, buffer, size, static_cast<off_t>(offset)));
        });
}

std::string makeBackup(const std::string &storePath, const OpenFile &store) {
    const std::string stamp = timestamp();
    for (int n = 1;; ++n) {
        const std::string backup = store::backupPath(storePath, stamp, n);
        if (::link(storePath.c_str(), backup.c_str()) == 0) {
            return backup;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno == EPERM || errno == EXDEV || errno == EMLINK || errno == ENOTSUP ||
            errno == ENOSYS) {
            store.copyTo(backup);
            return backup;
        }
        throw Failure(storePath,
                      "无法建立备份 " + backup + "：" + store::describeSystemError(errno));
    }
}

void createEmpty(const std::string &path, const std::string &storePath) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw Failure(storePath, "无法在文件夹 " + store::folderOf(path) + " 中建立新文件：" +
                                     store::describeSystemError(errno) + "；原来的文件没有改动");
    }
    ::close(fd);
}

void keepAccess(const std::string &from, const std::string &to) {
    struct stat status {};
    if (::stat(from.c_str(), &status) != 0) {
        return;
    }
    ::chmod(to.c_str(), status.st_mode & 07777);
    if (::geteuid() == 0) {
        // Best effort: the file stays usable by root if this fails.
        [[maybe_unused]] const int ignored = ::chown(to.c_str(), status.st_uid, status.st_gid);
    }
}

bool publishNew(const std::string &from, const std::string &to) {
    // A hard link is made only where no file is: the one rename that never
    // replaces.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        syncFolder(store::folderOf(to));
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS && errno != EMLINK) {
        throw Failure(to, "无法建立：" + store::describeSystemError(errno));
    }
    // A file system without hard links: a rename, after a look, is as close
    // as it gets.
    if (isFile(to)) {
        return false;
    }
    replaceFile(from, to);
    return true;
}

void removeFile(const std::string &path) noexcept {
    ::unlink(path.c_str());
}

void requireReplaceable(const std::string &) {}

bool isFile(const std::string &path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string readHead(const std::string &path, std::size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw unreadable(path, errno);
    }
    std::string head(size, '\0');
    const ssize_t got = ::read(fd, head.data(), head.size());
    const int error = errno;
    ::close(fd);
    if (got < 0) {
        throw unreadable(path, error);
    }
    head.resize(static_cast<std::size_t>(got));
    return head;
}

bool canWrite(const std::string &path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 &&
           (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::access(path.c_str(), W_OK) == 0;
}

bool canWriteFolder(const std::string &folder) {
    return ::access(folder.c_str(), W_OK) == 0;
}

#endif

void syncFolder(const std::string &folder) {
    if (const int error = store::syncFolderEntries(folder)) {
        throw Failure(folder, "无法写入磁盘：" + store::describeSystemError(error));
    }
}

void replaceFile(const std::string &from, const std::string &to) {
    if (const int error = store::renameOver(from, to)) {
#ifdef _WIN32
        // Windows refuses to rename over a file that any program holds open.
        if (error == EBUSY) {
            throw Failure(to,
                          "无法换成新文件：它正被另一个程序打开（例如还开着的 Plimora "
                          "窗口）；请关闭它们后再试");
        }
#endif
        throw Failure(to, "无法换成新文件：" + store::describeSystemError(error));
    }
    syncFolder(store::folderOf(to));
}

std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace upgrade
