#include "plimora_table/store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/first_edition.h"
#include "store/schema.h"

namespace table {

namespace {

namespace schema = store::schema;

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
constexpr std::size_t kHeaderSize = 100;
constexpr int kWalVersion = 2;  // header bytes 18-19 in a WAL-mode file

// Reads the first bytes of the file at path; shorter when the file is.
std::string readHeader(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw cli::unreadable(path, errno);
    }
    std::string header(kHeaderSize, '\0');
    const ssize_t got = ::read(fd, header.data(), header.size());
    const int error = errno;
    ::close(fd);
    if (got < 0) {
        throw cli::unreadable(path, error);
    }
    header.resize(static_cast<std::size_t>(got));
    return header;
}

}  // namespace

void failOnStore(const std::string &path, const store::StoreError &error) {
    std::string storeText = error.description();
    if (error.systemError() != 0) {
        storeText += "；" + cli::describeErrno(error.systemError());
    }
    throw cli::Failure(path, storeErrorText(error.number(), storeText));
}

std::string storeErrorText(int number, std::string_view storeText) {
    return "存储错误 " + std::to_string(number) + "：" +
           store::describeStoreError(number, storeText, kBusyTimeoutMs / 1000);
}

StoreFile::StoreFile(std::string path, Access access) : m_path(std::move(path)) {
    struct stat status {};
    if (::stat(m_path.c_str(), &status) != 0) {
        if (errno == ENOENT) {
            throw cli::unreadable(m_path, errno);
        }
        throw cli::Failure(m_path, "无法访问：" + cli::describeErrno(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        throw cli::Failure(m_path, "这是一个文件夹，不是存储文件");
    }
    if (!S_ISREG(status.st_mode)) {
        throw cli::Failure(m_path, "不是普通文件");
    }
    if (access == Access::Write && ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                                    ::access(m_path.c_str(), W_OK) != 0)) {
        throw cli::Failure(m_path, "文件是只读的，不能修改；去掉只读属性后再试");
    }
    // Writing needs a journal (import) or a new file (update) beside the store.
    if (access == Access::Write && ::access(cli::folderOf(m_path).c_str(), W_OK) != 0) {
        throw cli::Failure(m_path, "它所在的文件夹 " + cli::folderOf(m_path) + " 不能写入（" +
                                       cli::describeErrno(errno) + "）");
    }
    const std::string header = readHeader(m_path);
    if (header.empty()) {
        throw cli::Failure(m_path, "是空文件，不是存储文件");
    }
    if (header.size() < kHeaderSize ||
        std::string_view(header).substr(0, kSqliteMagic.size()) != kSqliteMagic) {
        throw cli::Failure(m_path, "不是 SQLite 存储文件（可能已损坏，或者根本不是 sys.dat）");
    }
    if (access == Access::Write && (header[18] == kWalVersion || header[19] == kWalVersion)) {
        throw cli::Failure(m_path,
                           "文件处于 WAL 模式，最新的内容可能还在旁边的 -wal 文件里；"
                           "请先用 sqlite3 执行 pragma journal_mode=delete 再试");
    }

    // The tool uses a connection from one thread only, so SQLite need not
    // lock it against others on every call.
    const int flags = (access == Access::Write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOMUTEX;
    try {
        m_db = store::Database(m_path, flags);
        sqlite3 *raw = m_db.get();
        sqlite3_busy_timeout(raw, kBusyTimeoutMs);
        sqlite3_stmt *probe = nullptr;
        const int prepared = sqlite3_prepare_v2(raw, schema::kSelectNoRow, -1, &probe, nullptr);
        const store::Statement owned(probe);
        if (prepared == SQLITE_ERROR) {
            throw cli::Failure(m_path, "没有 quelto 表（" + std::string(sqlite3_errmsg(raw)) +
                                           "），不是 Plimora 的存储文件");
        }
        m_db.check(prepared);
        std::vector<std::string> names;
        for (int i = 0; i < sqlite3_column_count(probe); ++i) {
            names.emplace_back(sqlite3_column_name(probe, i));
        }
        for (const std::string_view column : schema::kColumns) {
            if (std::find(names.begin(), names.end(), column) == names.end()) {
                throw cli::Failure(m_path, "quelto 表缺少列 " + std::string(column));
            }
        }
        const store::Statement hasMeta = m_db.prepare(schema::kHasMeta);
        m_hasMetadata = m_db.step(hasMeta.get()) && sqlite3_column_int(hasMeta.get(), 0) > 0;
        if (m_hasMetadata) {
            const store::Statement meta = m_db.prepare(schema::kSelectMeta);
            while (m_db.step(meta.get())) {
                m_metadata.entries.emplace_back(store::toText(store::column(meta.get(), 0)),
                                                store::toText(store::column(meta.get(), 1)));
            }
        }
    } catch (const store::StoreError &error) {
        fail(error);
    }
}

void StoreFile::lock() {
    try {
        m_db.exec("begin immediate");
        m_locked = true;
    } catch (const store::StoreError &error) {
        fail(error);
    }
}

void StoreFile::commit() {
    try {
        m_db.exec("commit");
        m_locked = false;
    } catch (const store::StoreError &error) {
        fail(error);
    }
}

void StoreFile::rollback() {
    if (m_locked) {
        // Nothing is lost by a failed rollback: closing the connection ends
        // the transaction too.
        sqlite3_exec(m_db.get(), "rollback", nullptr, nullptr, nullptr);
        m_locked = false;
    }
}

void StoreFile::fail(const store::StoreError &error) const {
    failOnStore(m_path, error);
}

void forEachRow(const store::Database &db, const char *sql, long long parameter,
                const std::function<void(const StoredRow &)> &visit) {
    const store::Statement statement = db.prepare(sql);
    if (parameter >= 0) {
        db.check(sqlite3_bind_int64(statement.get(), 1, parameter));
    }
    StoredRow stored;
    while (db.step(statement.get())) {
        stored.id = sqlite3_column_int64(statement.get(), 0);
        store::readRow(stored.row, statement.get(), 1);
        visit(stored);
    }
}

long long storedSerial(const StoreFile &store) {
    if (!store.hasMetadata()) {
        return 1;
    }
    return store.metadata().serial().value_or(0);
}

Holdings readHoldings(const StoreFile &store) {
    Holdings holdings;
    try {
        if (store.hasMetadata()) {
            const auto count = store.metadata().number(schema::kShippedRowsKey);
            if (!count) {
                throw cli::Failure(store.path(),
                                   "元数据表 quelto_meta 已损坏：没有有效的 shipped_rows");
            }
            holdings.shippedRows = static_cast<std::size_t>(*count);
            holdings.overridden = store.metadata().number(schema::kOverriddenKey).value_or(0);
            for (const auto &entry : store.metadata().entries) {
                if (!schema::isToolKey(entry.first)) {
                    holdings.edition.entries.push_back(entry);
                }
            }
            forEachRow(store.db(), schema::kSelectRowsAbove, *count,
                       [&](const StoredRow &row) { holdings.userRows.push_back(row); });
            return holdings;
        }

        holdings.fromMetadata = false;
        holdings.edition = firstEdition();
        const auto firstRows = static_cast<long long>(firstEditionRows());
        std::size_t underFirstIds = 0;
        forEachRow(store.db(), schema::kSelectRows, -1, [&](const StoredRow &row) {
            if (row.id >= 1 && row.id <= firstRows) {
                ++underFirstIds;
            }
            if (isFirstEditionRow(row.id, row.row)) {
                ++holdings.shippedRows;
                return;
            }
            if (row.id >= 1 && row.id <= firstRows) {
                ++holdings.changedRows;
            }
            holdings.userRows.push_back(row);
        });
        holdings.missingRows = firstEditionRows() - underFirstIds;
        if (holdings.shippedRows * 2 < firstEditionRows()) {
            throw cli::Failure(
                store.path(),
                "文件里没有版本信息，而且它的行与第 1 版对不上（第 1 版的 " +
                    std::to_string(firstEditionRows()) + " 行中只找到 " +
                    std::to_string(holdings.shippedRows) +
                    " 行），无法判断哪些行是您添加的。可以用 export --all 导出整个表");
        }
        std::sort(holdings.userRows.begin(), holdings.userRows.end(),
                  [](const StoredRow &a, const StoredRow &b) { return a.id < b.id; });
    } catch (const store::StoreError &error) {
        store.fail(error);
    }
    return holdings;
}

void forEachShippedRow(const StoreFile &store, const Holdings &holdings,
                       const std::function<void(const store::Row &)> &visit) {
    if (holdings.fromMetadata) {
        forEachRow(store.db(), schema::kSelectRowsUpTo,
                   static_cast<long long>(holdings.shippedRows),
                   [&](const StoredRow &row) { visit(row.row); });
        return;
    }
    forEachRow(store.db(), schema::kSelectRowsInOrder, -1, [&](const StoredRow &row) {
        if (isFirstEditionRow(row.id, row.row)) {
            visit(row.row);
        }
    });
}

}  // namespace table
