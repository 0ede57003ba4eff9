#include "tests/support/legacy_store.h"

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace testing_support {

void buildLegacyStore(const std::string &tsvPath, const std::string &storePath) {
    std::remove(storePath.c_str());
    sqlite3 *db = nullptr;
    sqlite3_open_v2(storePath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, "pragma journal_mode=off; begin", nullptr, nullptr, nullptr);
    // The statements of the builder before stores recorded their edition.
    sqlite3_exec(db,
                 "create virtual table quelto using rtree(id, 号码1, 号码2, +省份, +城市, +区号, "
                 "+卡信息)",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息) values (?, ?, "
                       "?, ?, ?, ?)",
                       -1, &insert, nullptr);
    std::ifstream in(tsvPath, std::ios::binary);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            fields.push_back(line.substr(start, tab - start));
        }
        fields.push_back(line.substr(start));
        bool written = fields.size() == 6;
        if (written) {
            sqlite3_bind_int64(insert, 1, std::stoll(fields[0]));
            sqlite3_bind_int64(insert, 2, std::stoll(fields[1]));
            for (int i = 2; i < 6; ++i) {
                sqlite3_bind_text(insert, i + 1, fields[i].c_str(), -1, SQLITE_TRANSIENT);
            }
            written = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
        }
        if (!written) {
            sqlite3_finalize(insert);
            sqlite3_close(db);
            throw std::runtime_error("legacy store: cannot write the line: " + line);
        }
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace testing_support
