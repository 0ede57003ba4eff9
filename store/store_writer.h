// Writes store files: the one the program ships with and the ones
// plimora-table makes. Every store written here says what it is: the
// edition's rows come first under ids 1..N in the order of the text table,
// the user's rows after them, and the metadata table records the edition and N.
#pragma once

#include <cstddef>
#include <string>

#include "store/area_codes.h"
#include "store/database.h"
#include "store/edition.h"
#include "store/row.h"

namespace store {

class StoreWriter {
public:
    // Creates an empty store at path, which must not hold a file the caller
    // wants kept: whatever is there is replaced. Throws StoreError.
    explicit StoreWriter(const std::string &path);
    // Closes the file. Before finish() it is left incomplete and unusable,
    // for the caller to remove.
    ~StoreWriter();
    StoreWriter(const StoreWriter &) = delete;
    StoreWriter &operator=(const StoreWriter &) = delete;

    // Writes a row of the edition under the next id (1, 2, 3 …). Throws
    // StoreError; throws std::logic_error after addUser().
    void addShipped(const Row &row);
    // Writes a row of the user's under the next id after the edition's.
    // Throws StoreError.
    void addUser(const Row &row);

    // Writes the edition's area-code table (store/area_codes.h), at most
    // once. Throws StoreError.
    void addAreaCodes(const AreaCodes &codes) { writeAreaCodes(m_db, codes); }

    std::size_t shippedRows() const { return m_shipped; }
    std::size_t userRows() const { return m_user; }

    // Writes the metadata (every entry of edition, then built_by,
    // shipped_rows, shipped_overridden = overridden, then every entry of
    // local: what the program noted in the user's store), commits, closes
    // the file and flushes it to disk. Throws StoreError (with the system's
    // error number when the flush fails).
    void finish(const Edition &edition, long long overridden = 0, const Edition &local = {});

private:
    void insert(long long id, const Row &row);

    std::string m_path;
    Database m_db;
    Statement m_insert;
    std::size_t m_shipped = 0;
    std::size_t m_user = 0;
};

// "plimora-table <version>": the tool that wrote a store, for built_by.
std::string builtBy();

// Flushes the file's content to disk (fsync). Throws StoreError carrying the
// system's error number.
void syncFile(const std::string &path);

}  // namespace store
