#include "plimora_table/cli/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "plimora_table/cli/failure.h"

namespace cli {

namespace {

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

}  // namespace

AtomicFile::AtomicFile(std::string target) : m_target(std::move(target)) {
    for (int attempt = 0;; ++attempt) {
        m_temporary = m_target + ".tmp-" + randomSuffix();
        const int fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_stream = ::fdopen(fd, "wb");
            if (!m_stream) {
                ::close(fd);
                ::unlink(m_temporary.c_str());
                throw Failure(m_target, "无法写入：" + describeErrno(errno));
            }
            return;
        }
        if (errno != EEXIST || attempt == 100) {
            throw Failure(m_target, "无法在文件夹 " + folderOf(m_target) + " 中建立临时文件：" +
                                        describeErrno(errno));
        }
    }
}

AtomicFile::~AtomicFile() {
    if (m_stream) {
        std::fclose(m_stream);
    }
    if (!m_committed) {
        ::unlink(m_temporary.c_str());
    }
}

void AtomicFile::commit() {
    std::FILE *stream = m_stream;
    m_stream = nullptr;
    const bool written = std::fflush(stream) == 0 && !std::ferror(stream);
    int error = errno;
    const bool synced = written && ::fsync(::fileno(stream)) == 0;
    if (written && !synced) {
        error = errno;
    }
    const bool closed = std::fclose(stream) == 0;
    if (!written || !synced || !closed) {
        throw Failure(m_target, "写入失败：" + describeErrno(written && synced ? errno : error));
    }
    replaceFile(m_temporary, m_target);
    m_committed = true;
}

std::string folderOf(const std::string &path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

void syncFile(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw Failure(path, "无法打开以写入磁盘：" + describeErrno(errno));
    }
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0) {
        throw Failure(path, "无法写入磁盘：" + describeErrno(error));
    }
}

void syncFolder(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        throw Failure(folder, "无法打开文件夹：" + describeErrno(errno));
    }
    // Some file systems refuse fsync on a folder (EINVAL); their renames are
    // as durable as they get, so that is no failure.
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL) {
        throw Failure(folder, "无法写入磁盘：" + describeErrno(error));
    }
}

void replaceFile(const std::string &from, const std::string &to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        ::unlink(from.c_str());
        throw Failure(to, "无法换成新文件：" + describeErrno(error));
    }
    syncFolder(folderOf(to));
}

}  // namespace cli
