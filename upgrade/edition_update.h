// A new edition of the table, with every row the user added carried over:
// what `plimora-table update` does and what the program does when it starts
// beside a newer edition.dat. The new store is written beside the old one,
// synced and renamed over it; the old one stays as a dated backup
// (store/backups.h), and older backups the update made are removed once the
// new file is in place. At every moment the store's name holds either the old
// file or the complete new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/area_codes.h"
#include "store/edition.h"
#include "store/row.h"
#include "upgrade/failure.h"
#include "upgrade/store_file.h"

namespace upgrade {

// The rows of a new edition, in the order of its table.
class EditionRows {
public:
    virtual ~EditionRows() = default;

    virtual const store::Edition &edition() const = 0;
    // How much there is to read, in the units forEach() counts (bytes of a
    // text table, rows of a store).
    virtual std::uint64_t total() const = 0;
    // Calls visit with each row and the units read so far. Throws Failure
    // naming the source when it cannot be read; lets what visit throws pass.
    virtual void forEach(
        const std::function<void(const store::Row &row, std::uint64_t done)> &visit) = 0;
    // The edition's area-code table, or nothing when it has none. Throws
    // Failure naming the source when it cannot be read.
    virtual std::optional<store::AreaCodes> areaCodes() const = 0;
};

// The edition's rows of a store file: the shipped edition.dat, or another
// program folder's sys.dat.
class StoreEdition : public EditionRows {
public:
    // Opens the store at path for reading and sorts its rows (readHoldings()).
    // Throws Failure naming path when it cannot be read as a store, or when
    // some of its edition's rows were cut for rows of a user's, so that it
    // does not hold the whole edition.
    explicit StoreEdition(const std::string &path);

    const store::Edition &edition() const override { return m_holdings.edition; }
    std::uint64_t total() const override { return m_holdings.shippedRows; }
    void forEach(
        const std::function<void(const store::Row &row, std::uint64_t done)> &visit) override;
    std::optional<store::AreaCodes> areaCodes() const override;

    const std::string &path() const { return m_store.path(); }
    const store::Database &db() const { return m_store.db(); }

private:
    StoreFile m_store;
    Holdings m_holdings;
};

// Called now and then while the new file is written: units done and in all.
using ProgressHook = std::function<void(std::uint64_t done, std::uint64_t total)>;

struct UpdateRequest {
    std::string storePath;
    // The new edition, or nullptr to rewrite the store with its own edition
    // (to bring the rows of rowsFrom).
    EditionRows *edition = nullptr;
    // Where edition comes from, named when it is older than the store's.
    std::string editionFile;
    // Another store whose user rows are brought too; only read.
    std::optional<std::string> rowsFrom;
    // Do nothing unless edition is newer than the store's.
    bool ifNewer = false;
    ProgressHook progress;
};

// A row of the user's and a row it meets.
struct RowPair {
    store::Row mine;
    store::Row other;
};

struct UpdateReport {
    bool updated = false;  // false: ifNewer, and the store's edition was as new
    std::string storePath;
    long long fromSerial = 0;  // the store's edition before (1 without metadata)
    store::Edition edition;    // the edition the store holds now
    std::size_t keptRows = 0;  // the user's rows in the new file
    std::optional<std::string> rowsFrom;
    std::size_t broughtOver = 0;              // of keptRows, the rows that came from rowsFrom
    std::string backup;                       // the old file's backup
    std::vector<std::string> removedBackups;  // older backups removed
    // A store without metadata, compared row by row with edition 1: its rows
    // of edition 1, its rows of the user's, the rows of edition 1 changed by
    // hand (among them) and the rows of edition 1 missing from it.
    bool fromMetadata = true;
    std::size_t firstEditionRows = 0;
    std::size_t ownRows = 0;
    std::size_t changedRows = 0;
    std::size_t missingRows = 0;
    // The user's rows that the new edition also answers, with the edition's
    // row; and pairs of the user's own rows that overlap.
    std::vector<RowPair> overlaps;
    std::vector<RowPair> clashes;
};

// A store that another program replaced with a new file while this update
// was waiting to begin: nothing was written, and the work may be tried again
// on the new file.
class ReplacedMeanwhile : public Failure {
public:
    using Failure::Failure;
};

// Writes request.storePath anew: the new edition's rows and area-code table
// (the store's own edition's without one), less the prefixes the user's rows answer, then the
// user's rows of the store and those of rowsFrom it does not hold yet.
// Throws Failure naming the file concerned when the store or a source
// cannot be read or written, when the new edition is older than the store's,
// when the store has no metadata and did not come from edition 1, or when
// another program holds the store; ReplacedMeanwhile as said above. The store
// is then as it was and no file of the update is left beside it.
UpdateReport updateStore(const UpdateRequest &request);

}  // namespace upgrade
