#include "plimora_table/cli/atomic_file.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <random>

#include "plimora_table/cli/failure.h"
#include "store/files.h"

namespace cli {

namespace {

#ifdef _WIN32
// plimora-table runs in the UTF-8 code page (its manifest), so the C
// library's file names are UTF-8 as everywhere else.
constexpr int kNewFile = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT;
constexpr int kReadFile = _O_RDWR | _O_BINARY;  // _commit needs a writable descriptor
int fsync(int fd) {
    return ::_commit(fd);
}
#else
constexpr int kNewFile = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
constexpr int kReadFile = O_RDONLY | O_CLOEXEC;
#endif

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
        const int fd = ::open(m_temporary.c_str(), kNewFile, 0666);
        if (fd >= 0) {
            m_stream = ::fdopen(fd, "wb");
            if (!m_stream) {
                ::close(fd);
                std::remove(m_temporary.c_str());
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
        std::remove(m_temporary.c_str());
    }
}

void AtomicFile::commit() {
    std::FILE *stream = m_stream;
    m_stream = nullptr;
    const bool written = std::fflush(stream) == 0 && !std::ferror(stream);
    int error = errno;
    const bool synced = written && fsync(::fileno(stream)) == 0;
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
