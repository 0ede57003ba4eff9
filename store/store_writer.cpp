#include "store/store_writer.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "store/files.h"
#include "store/schema.h"

#ifndef PLIMORA_VERSION
#error "PLIMORA_VERSION must name the project version"
#endif

namespace store {

StoreWriter::StoreWriter(const std::string &path) : m_path(path) {
    // An empty file is an empty store to SQLite; anything else goes.
    std::error_code noFile;
    if (std::filesystem::file_size(nativePath(path), noFile) != 0) {
        std::filesystem::remove(nativePath(path), noFile);
    }
    m_db = Database(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    // The file is a new one under a temporary name: no journal is needed to
    // protect it, and the caller syncs it once when it is complete.
    m_db.exec("pragma journal_mode=off; pragma synchronous=off; begin");
    m_db.exec(schema::kCreateTable);
    m_db.exec(schema::kCreateMeta);
    m_insert = m_db.prepare(schema::kInsertWithId);
}

StoreWriter::~StoreWriter() = default;

void StoreWriter::insert(long long id, const Row &row) {
    sqlite3_stmt *statement = m_insert.get();
    m_db.check(sqlite3_bind_int64(statement, 1, id));
    bindRow(m_db, statement, 2, row);
    m_db.step(statement);
    m_db.reset(statement);
}

void StoreWriter::addShipped(const Row &row) {
    if (m_user > 0) {
        throw std::logic_error("the edition's rows come before the user's");
    }
    insert(static_cast<long long>(m_shipped + 1), row);
    ++m_shipped;
}

void StoreWriter::addUser(const Row &row) {
    insert(static_cast<long long>(m_shipped + m_user + 1), row);
    ++m_user;
}

void StoreWriter::finish(const Edition &edition, long long overridden, const Edition &local) {
    {
        const Statement meta = m_db.prepare(schema::kInsertMeta);
        auto put = [&](std::string_view key, const std::string &value) {
            m_db.bind(meta.get(), 1, std::string(key));
            m_db.bind(meta.get(), 2, value);
            m_db.step(meta.get());
            m_db.reset(meta.get());
        };
        for (const auto &[key, value] : edition.entries) {
            put(key, value);
        }
        put(schema::kBuiltByKey, builtBy());
        put(schema::kShippedRowsKey, std::to_string(m_shipped));
        put(schema::kOverriddenKey, std::to_string(overridden));
        for (const auto &[key, value] : local.entries) {
            put(key, value);
        }
    }
    m_insert.reset();
    m_db.exec("commit");
    m_db.close();
    syncFile(m_path);
}

std::string builtBy() {
    return std::string("plimora-table ") + PLIMORA_VERSION;
}

void syncFile(const std::string &path) {
#ifdef _WIN32
    // _commit needs a descriptor open for writing.
    const int fd = ::_wopen(nativePath(path).c_str(), _O_RDWR | _O_BINARY);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    if (fd < 0) {
        const int error = errno;
        throw StoreError(SQLITE_CANTOPEN, "cannot open the file to flush it", error);
    }
#ifdef _WIN32
    const int rc = ::_commit(fd);
    const int error = errno;
    ::_close(fd);
#else
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
#endif
    if (rc != 0) {
        throw StoreError(SQLITE_IOERR, "cannot flush the file to disk", error);
    }
}

}  // namespace store
