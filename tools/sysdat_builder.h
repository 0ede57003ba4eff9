// Writes store files: the one the program ships with, built from its text
// table, and the ones plimora-table makes. Every store written here says what
// it is: the edition's rows come first under ids 1..N in the order of the
// text table, the user's rows after them, and the metadata table records the
// edition and N.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/data_connection.h"
#include "tools/cli/table_reader.h"
#include "tools/sqlite_util.h"

namespace tools {

// One row of quelto: its six values in the column order of store/schema.h
// (号码1, 号码2, 省份, 城市, 区号, 卡信息).
struct QueltoRow {
    std::array<store::Variant, 6> values;

    // 号码1 and 号码2 as numbers; NaN when the value is not one.
    double low() const;
    double high() const;

    bool operator==(const QueltoRow &) const = default;
};

// What an edition file says (data/edition.tsv): its entries in file order.
struct Edition {
    std::vector<std::pair<std::string, std::string>> entries;

    // The value under key, or nullopt when there is none.
    std::optional<std::string> value(std::string_view key) const;
    // The value under key read as a whole number from 0, or nullopt when
    // there is none or it is not one.
    std::optional<long long> number(std::string_view key) const;
    // number("edition"): the serial number, newer is larger.
    std::optional<long long> serial() const;
};

// Reads an edition file: UTF-8, tab-separated, the header "key<TAB>value",
// then one key and its value a line. Throws cli::Failure naming path and the
// line for a file that cannot be read, a wrong header, a line without exactly
// two fields, an empty or repeated key, a key the tools write themselves
// (built_by, shipped_rows, shipped_overridden) or an "edition" that is
// missing or not a whole number from 1.
Edition readEdition(const std::string &path);

// The text form of quelto (data/quelto.tsv), read row by row: UTF-8,
// tab-separated, the header "号码1 号码2 省份 城市 区号 卡信息", then one row
// a line with whole-number keys 号码1 <= 号码2 below 2^24 (the largest an
// R*Tree holds exactly). The texts are taken as they stand.
class QueltoTsv {
public:
    // Opens path and reads its header. Throws cli::Failure naming path (and
    // line 1 for a wrong header).
    explicit QueltoTsv(std::string path);

    // Reads the next row into row; false at the end. Throws cli::Failure
    // naming the file and line of a malformed row; row is then unchanged.
    bool next(QueltoRow &row);

    std::uint64_t bytesRead() const { return m_reader.bytesRead(); }
    std::uint64_t size() const { return m_size; }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
    std::ifstream m_in;
    std::uint64_t m_size = 0;
    cli::TableReader m_reader;
};

// Writes a new store file in one transaction.
class StoreWriter {
public:
    // Creates an empty store at path, which must not hold a file the caller
    // wants kept: whatever is there is replaced. Throws store::StoreError.
    explicit StoreWriter(const std::string &path);
    // Closes the file. Before finish() it is left incomplete and unusable,
    // for the caller to remove.
    ~StoreWriter();
    StoreWriter(const StoreWriter &) = delete;
    StoreWriter &operator=(const StoreWriter &) = delete;

    // Writes a row of the edition under the next id (1, 2, 3 …). Throws
    // store::StoreError; throws std::logic_error after addUser().
    void addShipped(const QueltoRow &row);
    // Writes a row of the user's under the next id after the edition's.
    // Throws store::StoreError.
    void addUser(const QueltoRow &row);

    std::size_t shippedRows() const { return m_shipped; }
    std::size_t userRows() const { return m_user; }

    // Writes the metadata (every entry of edition, then built_by,
    // shipped_rows and shipped_overridden = overridden), commits, closes the
    // file and flushes it to disk. Throws store::StoreError, or cli::Failure
    // when the flush fails.
    void finish(const Edition &edition, long long overridden = 0);

private:
    void insert(sqlite3_stmt *statement, long long id, const QueltoRow &row);

    std::string m_path;
    sql::Db m_db;
    sql::Statement m_insert;
    std::size_t m_shipped = 0;
    std::size_t m_user = 0;
};

// "plimora-table <version>": the tool that wrote a store, for built_by.
std::string builtBy();

// Called now and then while a table is read: bytes read so far and in all.
using BuildProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Builds a store from the text table at tsvPath and, unless editionPath is
// empty, the edition file at editionPath. The store is written to
// outPath + ".part" and renamed to outPath only when complete, so a failure
// leaves any earlier file at outPath untouched (and no .part file). Returns
// the number of rows. Throws cli::Failure for a table or edition file that
// cannot be read or is malformed (naming file and line), store::StoreError for
// a store failure.
std::size_t buildSysdat(const std::string &tsvPath, const std::string &outPath,
                        const std::string &editionPath = {}, const BuildProgress &progress = {});

}  // namespace tools
