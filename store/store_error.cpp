#include "store/store_error.h"

#include <sqlite3.h>

#include <string>
#include <utility>

namespace store {

StoreError::StoreError(int number, std::string description, int systemError)
    : std::runtime_error(description),
      m_number(number),
      m_description(std::move(description)),
      m_systemError(systemError) {}

namespace {

const char *const kReadOnly =
    "数据文件 sys.dat 是只读的，无法写入。请去掉它的只读属性，或把程序放到可以写入的文件夹后再试。";
const char *const kNotStore = "sys.dat 不是本程序的数据文件。请重新安装本程序。";
const char *const kNoTable =
    "数据文件 sys.dat 中缺少号码表或它的列，可能不是本程序的数据文件。请重新安装本程序。";
const char *const kCannotOpen =
    "无法打开数据文件 sys.dat。请确认它在程序所在的文件夹中，并且可以读取。";
const char *const kDiskFull = "磁盘已满，无法写入数据文件 sys.dat。请腾出磁盘空间后再试。";
const char *const kDiskError = "读写数据文件 sys.dat 时磁盘出错。请检查磁盘后再试。";
const char *const kDamaged = "数据文件 sys.dat 已损坏。请重新安装本程序。";

std::string busy(int waitedSeconds) {
    return "数据文件 sys.dat 正被另一个程序使用，等了 " + std::to_string(waitedSeconds) +
           " 秒仍未空出。请稍后再试，或关闭另一个正在使用它的程序。";
}

const char *chineseDescription(int number, std::string_view storeText) {
    switch (number & 0xFF) {
        case SQLITE_READONLY:
            return kReadOnly;
        case SQLITE_NOTADB:
            return kNotStore;
        case SQLITE_CANTOPEN:
            return kCannotOpen;
        case SQLITE_FULL:
            return kDiskFull;
        case SQLITE_IOERR:
            return kDiskError;
        case SQLITE_CORRUPT:
            return kDamaged;
        case SQLITE_ERROR:
            // SQLite gives a missing table or column no code of its own.
            if (storeText.find("no such table") != std::string_view::npos ||
                storeText.find("no such column") != std::string_view::npos) {
                return kNoTable;
            }
            return nullptr;
        default:
            return nullptr;
    }
}

}  // namespace

std::string describeStoreError(int number, std::string_view storeText, int waitedSeconds) {
    const int code = number & 0xFF;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        return busy(waitedSeconds) + "（" + std::string(storeText) + "）";
    }
    const char *chinese = chineseDescription(number, storeText);
    if (!chinese) {
        return std::string(storeText);
    }
    return std::string(chinese) + "（" + std::string(storeText) + "）";
}

}  // namespace store
