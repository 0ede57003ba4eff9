#include "tools/sysdat_builder.h"

#include <sqlite3.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

#include "store/schema.h"
#include "store/store_error.h"

namespace tools {

namespace {

constexpr const char *kSchema =
    "create virtual table quelto using rtree(id, 号码1, 号码2, +省份, +城市, +区号, +卡信息)";
constexpr const char *kInsert =
    "insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息) values (?, ?, ?, ?, ?, ?)";

// R*Tree coordinates are 32-bit floats: whole numbers stay exact below 2^24.
constexpr long long kLargestExactKey = 16777215;

struct DbCloser {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
struct StatementCloser {
    void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
};

[[noreturn]] void fail(sqlite3 *db, int code) {
    throw store::StoreError(code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

void check(sqlite3 *db, int rc) {
    if (rc != SQLITE_OK) {
        fail(db, rc);
    }
}

[[noreturn]] void badLine(std::size_t lineNumber, const std::string &why) {
    throw store::StoreError(SQLITE_FORMAT, "line " + std::to_string(lineNumber) + ": " + why);
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

long long parseKey(std::string_view text, std::size_t lineNumber) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > kLargestExactKey) {
        badLine(lineNumber, "not a prefix key: \"" + std::string(text) + "\"");
    }
    return value;
}

// Writes the whole store to partPath; the caller moves it into place.
std::size_t writeStore(std::ifstream &in, const std::string &partPath) {
    sqlite3 *raw = nullptr;
    const int openRc = sqlite3_open_v2(partPath.c_str(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    check(raw, openRc);
    check(raw, sqlite3_exec(raw, "pragma journal_mode=off; begin", nullptr, nullptr, nullptr));
    check(raw, sqlite3_exec(raw, kSchema, nullptr, nullptr, nullptr));

    sqlite3_stmt *rawInsert = nullptr;
    check(raw, sqlite3_prepare_v2(raw, kInsert, -1, &rawInsert, nullptr));
    std::unique_ptr<sqlite3_stmt, StatementCloser> insert(rawInsert);

    std::string line;
    std::size_t lineNumber = 0;
    std::size_t rows = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (lineNumber == 1) {
            if (line != store::schema::kTsvHeader) {
                badLine(1, "the header must read 号码1 号码2 省份 城市 区号 卡信息, tab-separated");
            }
            continue;
        }
        if (line.empty()) {
            continue;
        }
        const auto fields = splitTabs(line);
        if (fields.size() != 6) {
            badLine(lineNumber,
                    "expected 6 tab-separated fields, found " + std::to_string(fields.size()));
        }
        const long long low = parseKey(fields[0], lineNumber);
        const long long high = parseKey(fields[1], lineNumber);
        if (low > high) {
            badLine(lineNumber, "号码1 is greater than 号码2");
        }
        check(raw, sqlite3_bind_int64(rawInsert, 1, low));
        check(raw, sqlite3_bind_int64(rawInsert, 2, high));
        for (int i = 2; i < 6; ++i) {
            check(raw, sqlite3_bind_text(rawInsert, i + 1, fields[i].data(),
                                         static_cast<int>(fields[i].size()), SQLITE_TRANSIENT));
        }
        const int rc = sqlite3_step(rawInsert);
        if (rc != SQLITE_DONE) {
            fail(raw, rc);
        }
        check(raw, sqlite3_reset(rawInsert));
        ++rows;
    }
    if (lineNumber == 0) {
        badLine(1, "the table is empty; it needs at least its header line");
    }
    insert.reset();
    check(raw, sqlite3_exec(raw, "commit", nullptr, nullptr, nullptr));
    check(raw, sqlite3_close(db.release()));
    return rows;
}

}  // namespace

std::size_t buildSysdat(const std::string &tsvPath, const std::string &outPath) {
    std::ifstream in(tsvPath, std::ios::binary);
    if (!in) {
        throw store::StoreError(SQLITE_CANTOPEN, "cannot read " + tsvPath);
    }
    const std::string partPath = outPath + ".part";
    std::remove(partPath.c_str());
    std::size_t rows = 0;
    try {
        rows = writeStore(in, partPath);
    } catch (...) {
        std::remove(partPath.c_str());
        throw;
    }
    if (std::rename(partPath.c_str(), outPath.c_str()) != 0) {
        const int error = errno;
        std::remove(partPath.c_str());
        throw store::StoreError(SQLITE_CANTOPEN, "cannot move the new store to " + outPath + ": " +
                                                     std::to_string(error));
    }
    return rows;
}

}  // namespace tools
