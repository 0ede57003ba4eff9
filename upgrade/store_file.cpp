#include "upgrade/store_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "store/files.h"
#include "store/range_statement.h"
#include "store/schema.h"
#include "upgrade/failure.h"
#include "upgrade/file_ops.h"
#include "upgrade/first_edition.h"

namespace upgrade {

namespace {

namespace schema = store::schema;

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
constexpr std::size_t kHeaderSize = 100;
constexpr int kWalVersion = 2;  // header bytes 18-19 in a WAL-mode file

// The store at path opened with flags, its schema read (which is when SQLite
// finds a write that was cut short).
// A connection is used from one thread only, so SQLite need not lock it
// against others on every call.
store::Database openAndProbe(const std::string &path, int flags, int &probeResult) {
    store::Database db(path, flags | SQLITE_OPEN_NOMUTEX);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    sqlite3_stmt *probe = nullptr;
    probeResult = sqlite3_prepare_v2(db.get(), schema::kSelectNoRow, -1, &probe, nullptr);
    sqlite3_finalize(probe);
    return db;
}

}  // namespace

void failOnStore(const std::string &path, const store::StoreError &error) {
    std::string storeText = error.description();
    if (error.systemError() != 0) {
        storeText += "；" + store::describeSystemError(error.systemError());
    }
    throw Failure(path, storeErrorText(error.number(), storeText, path));
}

std::string storeErrorText(int number, std::string_view storeText, const std::string &storePath) {
    return "存储错误 " + std::to_string(number) + "：" +
           store::describeStoreError(number, storeText, kBusyTimeoutMs / 1000, storePath);
}

StoreFile::StoreFile(std::string path, Access access) : m_path(std::move(path)) {
    std::error_code error;
    const auto status = std::filesystem::status(store::nativePath(m_path), error);
    if (error || !std::filesystem::exists(status)) {
        const int number = error ? error.value() : ENOENT;
        if (number == ENOENT || !std::filesystem::exists(status)) {
            throw unreadable(m_path, ENOENT);
        }
        throw Failure(m_path, "无法访问：" + store::describeSystemError(number));
    }
    if (std::filesystem::is_directory(status)) {
        throw Failure(m_path, "这是一个文件夹，不是存储文件");
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw Failure(m_path, "不是普通文件");
    }
    if (access == Access::Write && !canWrite(m_path)) {
        throw Failure(m_path, "文件是只读的，不能修改；去掉只读属性后再试");
    }
    const std::string folder = store::folderOf(m_path);
    // Writing needs a journal (import) or a new file (update) beside the store.
    if (access == Access::Write && !canWriteFolder(folder)) {
        throw Failure(m_path, "它所在的文件夹 " + folder + " 不能写入（" +
                                  store::describeSystemError(errno) + "）");
    }
    const std::string header = readHead(m_path, kHeaderSize);
    if (header.empty()) {
        throw Failure(m_path, "是空文件，不是存储文件");
    }
    if (header.size() < kHeaderSize ||
        std::string_view(header).substr(0, kSqliteMagic.size()) != kSqliteMagic) {
        throw Failure(m_path, "不是 SQLite 存储文件（可能已损坏，或者根本不是 sys.dat）");
    }
    if (access == Access::Write && (header[18] == kWalVersion || header[19] == kWalVersion)) {
        throw Failure(m_path,
                      "文件处于 WAL 模式，最新的内容可能还在旁边的 -wal 文件里；"
                      "请先用 sqlite3 执行 pragma journal_mode=delete 再试");
    }

    try {
        int prepared = SQLITE_OK;
        m_db = openAndProbe(m_path,
                            access == Access::Write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY,
                            prepared);
        if (prepared == SQLITE_READONLY &&
            sqlite3_extended_errcode(m_db.get()) == SQLITE_READONLY_ROLLBACK) {
            // A writer was stopped halfway: the journal beside the file holds
            // what the file was before, and reading needs it put back first.
            const std::string journal = store::fileName(m_path) + "-journal";
            if (!canWrite(m_path) || !canWriteFolder(folder)) {
                throw Failure(m_path,
                              "上次写入这个文件时被中断了（旁边留有 " + journal +
                                  "），要先撤销那次没写完的修改才能读取，这需要写入这个文件和它所在"
                                  "文件夹的权限。请用能写入它们的账户运行一次任一 plimora-table "
                                  "命令或启动 Plimora，它会自动撤销；不要删除 " +
                                  journal + "，否则文件可能损坏");
            }
            // Opened for writing, SQLite rolls the journal back on the first
            // read; nothing else is written.
            m_db = openAndProbe(m_path, SQLITE_OPEN_READWRITE, prepared);
        }
        if (prepared == SQLITE_ERROR) {
            throw Failure(m_path, "没有 quelto 表（" + std::string(sqlite3_errmsg(m_db.get())) +
                                      "），不是 Plimora 的存储文件");
        }
        m_db.check(prepared);
        const store::Statement probe = m_db.prepare(schema::kSelectNoRow);
        std::vector<std::string> names;
        for (int i = 0; i < sqlite3_column_count(probe.get()); ++i) {
            names.emplace_back(sqlite3_column_name(probe.get(), i));
        }
        for (const std::string_view column : schema::kColumns) {
            if (std::find(names.begin(), names.end(), column) == names.end()) {
                throw Failure(m_path, "quelto 表缺少列 " + std::string(column));
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

void StoreFile::close() {
    rollback();
    m_db = store::Database();
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
                throw Failure(store.path(), "元数据表 quelto_meta 已损坏：没有有效的 shipped_rows");
            }
            holdings.shippedRows = static_cast<std::size_t>(*count);
            holdings.overridden = store.metadata().number(schema::kOverriddenKey).value_or(0);
            for (const auto &entry : store.metadata().entries) {
                if (schema::isLocalKey(entry.first)) {
                    holdings.local.entries.push_back(entry);
                } else if (!schema::isToolKey(entry.first)) {
                    holdings.edition.entries.push_back(entry);
                }
            }
            const auto collect = [&](const StoredRow &row) { holdings.userRows.push_back(row); };
            if (const auto layout = store::auxiliaryLayout(store.db())) {
                // The edition's rows are nearly all of them: only the user's
                // few are read, each by its id.
                const store::Statement ids = store.db().prepare(layout->idsAbove());
                store.db().check(sqlite3_bind_int64(ids.get(), 1, *count));
                while (store.db().step(ids.get())) {
                    forEachRow(store.db(), schema::kSelectRowById,
                               sqlite3_column_int64(ids.get(), 0), collect);
                }
            } else {
                forEachRow(store.db(), schema::kSelectRowsAbove, *count, collect);
            }
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
            throw Failure(store.path(),
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

}  // namespace upgrade
