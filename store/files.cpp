#include "store/files.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace store {

#ifdef _WIN32

int renameOver(const std::string &from, const std::string &to) {
    if (::MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    switch (::GetLastError()) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            // What Windows says for a file that a program holds open.
            return EBUSY;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        default:
            return EIO;
    }
}

int syncFolderEntries(const std::string &) {
    return 0;
}

std::filesystem::path nativePath(const std::string &path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string pathText(const std::filesystem::path &path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<FileIdentity> identityOf(const std::string &path) {
    const HANDLE handle = ::CreateFileW(nativePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool read = ::GetFileInformationByHandle(handle, &information) != 0;
    ::CloseHandle(handle);
    if (!read) {
        return std::nullopt;
    }
    return FileIdentity{
        information.dwVolumeSerialNumber,
        (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

#else

int renameOver(const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int syncFolderEntries(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return rc != 0 && error != EINVAL ? error : 0;
}

std::filesystem::path nativePath(const std::string &path) {
    return std::filesystem::path(path);
}

std::string pathText(const std::filesystem::path &path) {
    return path.string();
}

std::optional<FileIdentity> identityOf(const std::string &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

#endif

namespace {

#ifdef _WIN32
constexpr std::string_view kSeparators = "\\/";
constexpr char kSeparator = '\\';
#else
constexpr std::string_view kSeparators = "/";
constexpr char kSeparator = '/';
#endif

}  // namespace

std::string folderOf(const std::string &path) {
    const auto slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return path.substr(0, 1);
    }
    return path.substr(0, slash);
}

std::string fileName(const std::string &path) {
    const auto slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string &folder, const std::string &name) {
    if (folder.empty()) {
        return name;
    }
    if (kSeparators.find(folder.back()) != std::string_view::npos) {
        return folder + name;
    }
    return folder + kSeparator + name;
}

std::string describeSystemError(int error) {
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return "磁盘空间不足";
        case EFBIG:
            return "文件超过了系统允许的大小";
        case EACCES:
        case EPERM:
            return "没有权限";
        case EROFS:
            return "所在的文件系统是只读的";
        case ENOENT:
            return "文件不存在";
        case EISDIR:
            return "这是一个文件夹";
        case EIO:
            return "磁盘读写出错";
        case EPIPE:
            return "读取输出的程序已经关闭了管道";
        case EBUSY:
            return "文件正被另一个程序打开";
        default:
            return std::strerror(error);
    }
}

std::string describeUnreadable(int error, std::string_view what) {
    if (error == ENOENT) {
        return what.empty() ? "找不到这个文件" : "找不到" + std::string(what);
    }
    return "无法读取" + std::string(what) + "：" + describeSystemError(error);
}

}  // namespace store
