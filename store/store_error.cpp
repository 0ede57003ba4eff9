#include "store/store_error.h"

#include <sqlite3.h>

#include <cerrno>
#include <string>
#include <utility>

#include "store/backups.h"
#include "store/files.h"

namespace store {

StoreError::StoreError(int number, std::string description, int systemError)
    : std::runtime_error(description),
      m_number(number),
      m_description(std::move(description)),
      m_systemError(systemError) {}

namespace {

const char *const kReadOnly =
    "数据文件 sys.dat 是只读的，无法写入。请去掉它的只读属性，或把程序放到可以写入的文件夹后再试。";
const char *const kNotStore = "sys.dat 不是本程序的数据文件。";
const char *const kNoTable = "数据文件 sys.dat 中缺少号码表或它的列，可能不是本程序的数据文件。";
const char *const kCannotOpen =
    "无法打开数据文件 sys.dat。请确认它在程序所在的文件夹中，并且可以读取。";
const char *const kDiskFull = "磁盘已满，无法写入数据文件 sys.dat。请腾出磁盘空间后再试。";
const char *const kDiskError = "读写数据文件 sys.dat 时磁盘出错。请检查磁盘后再试。";
const char *const kDamaged = "数据文件 sys.dat 已损坏。";
const char *const kGone =
    "数据文件 sys.dat 已不在程序所在的文件夹中：程序打开它以后，它被删除或移走了。";

std::string busy(int waitedSeconds) {
    return "数据文件 sys.dat 正被另一个程序使用，等了 " + std::to_string(waitedSeconds) +
           " 秒仍未空出。请稍后再试，或关闭另一个正在使用它的程序。";
}

// What to do with a store that cannot be read as one: a backup holds the
// rows the user added up to the last update; what can still be read of the
// file itself, export takes out.
std::string recovery(const std::string &storePath) {
    const auto backup = storePath.empty() ? std::nullopt : newestBackup(storePath);
    const std::string saved = "请先用 plimora-table export 导出还能读出的、您添加的行";
    if (backup) {
        return saved + "；最新的备份是 " + *backup + "，可以在关闭本程序后把它复制为 sys.dat。";
    }
    return saved + "，再看看旁边有没有 sys.dat 的备份（sys.dat.日期-时间.bak）。";
}

std::string gone(const std::string &storePath) {
    const auto backup = newestBackup(storePath);
    if (backup) {
        return std::string(kGone) + "请把它放回原处；最新的备份是 " + *backup +
               "，也可以在关闭本程序后把它复制为 sys.dat。";
    }
    return std::string(kGone) + "请把它放回原处后再试。";
}

std::string chineseDescription(int number, std::string_view storeText,
                               const std::string &storePath) {
    switch (number & 0xFF) {
        case SQLITE_READONLY:
            return kReadOnly;
        case SQLITE_NOTADB:
            return kNotStore + recovery(storePath);
        case SQLITE_CANTOPEN:
            return kCannotOpen;
        case SQLITE_FULL:
            return kDiskFull;
        case SQLITE_IOERR:
            return kDiskError;
        case SQLITE_CORRUPT:
            return kDamaged + recovery(storePath);
        case SQLITE_ERROR:
            // SQLite gives a missing table or column no code of its own.
            if (storeText.find("no such table") != std::string_view::npos ||
                storeText.find("no such column") != std::string_view::npos) {
                return kNoTable + recovery(storePath);
            }
            return {};
        default:
            return {};
    }
}

std::string withStoreText(const std::string &chinese, std::string_view storeText) {
    return chinese + "（" + std::string(storeText) + "）";
}

}  // namespace

std::string describeStoreError(int number, std::string_view storeText, int waitedSeconds,
                               const std::string &storePath) {
    const int code = number & 0xFF;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        return withStoreText(busy(waitedSeconds), storeText);
    }
    const std::string chinese = chineseDescription(number, storeText, storePath);
    if (chinese.empty()) {
        return std::string(storeText);
    }
    return withStoreText(chinese, storeText);
}

std::string describeStoreError(const StoreError &error, const std::string &storePath,
                               int waitedSeconds) {
    if ((error.number() & 0xFF) == SQLITE_CANTOPEN && error.systemError() == ENOENT) {
        return withStoreText(gone(storePath), error.description());
    }
    return describeStoreError(error.number(), error.description(), waitedSeconds, storePath);
}

StoreError missingStoreError(const std::string &path) {
    return StoreError(SQLITE_CANTOPEN, "unable to open database file: no such file: " + path,
                      ENOENT);
}

}  // namespace store
