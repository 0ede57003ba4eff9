#include "upgrade/edition_update.h"

#include <algorithm>

#include "store/backups.h"
#include "store/fault_point.h"
#include "store/files.h"
#include "store/store_writer.h"
#include "upgrade/file_ops.h"
#include "upgrade/user_overrides.h"

namespace upgrade {

namespace {

constexpr std::uint64_t kRowsPerProgress = 1024;
#ifdef _WIN32
// The store file's header up to its change counter (bytes 24-27), which
// every write transaction raises.
constexpr std::size_t kHeaderBytes = 28;
#endif

// Whether SQLite's own handle of store still has the file the path names.
bool movedUnderSqlite(const StoreFile &store) {
    int moved = 0;
    sqlite3_file_control(store.db().get(), "main", SQLITE_FCNTL_HAS_MOVED, &moved);
    return moved != 0;
}

// Removes the backups of storePath but keep, the one just made and so the
// newest (whatever its name: a name freed by a removal may be taken again
// within the same second); returns those removed. A backup that cannot be
// removed stays, unreported: it costs space, not data.
std::vector<std::string> removeOlderBackups(const std::string &storePath, const std::string &keep) {
    std::vector<std::string> removed;
    for (const std::string &backup : store::backupsOf(storePath)) {
        if (backup == keep) {
            continue;
        }
        removeFile(backup);
        if (!isFile(backup)) {
            removed.push_back(backup);
        }
    }
    return removed;
}

// The area-code table of store. Throws Failure naming it.
std::optional<store::AreaCodes> areaCodesOf(const StoreFile &store) {
    try {
        return store::readAreaCodes(store.db());
    } catch (const store::StoreError &error) {
        store.fail(error);
    }
}

}  // namespace

StoreEdition::StoreEdition(const std::string &path)
    : m_store(path, StoreFile::Access::Read), m_holdings(readHoldings(m_store)) {
    if (m_holdings.overridden > 0) {
        throw Failure(path,
                      "这个文件里的版本已有一部分让给了您的行，不完整，不能作为新版本的来源；"
                      "请用新程序文件夹里没有改动过的 sys.dat");
    }
}

void StoreEdition::forEach(
    const std::function<void(const store::Row &row, std::uint64_t done)> &visit) {
    std::uint64_t done = 0;
    try {
        forEachShippedRow(m_store, m_holdings, [&](const store::Row &row) { visit(row, ++done); });
    } catch (const store::StoreError &error) {
        m_store.fail(error);
    }
}

std::optional<store::AreaCodes> StoreEdition::areaCodes() const {
    return areaCodesOf(m_store);
}

UpdateReport updateStore(const UpdateRequest &request) {
    const std::string &storePath = request.storePath;
    UpdateReport report;
    report.storePath = storePath;
    report.rowsFrom = request.rowsFrom;

    StoreFile store(storePath, StoreFile::Access::Write);
    const long long currentSerial = storedSerial(store);
    report.fromSerial = currentSerial;
    if (request.edition) {
        const long long newSerial = request.edition->edition().serial().value_or(0);
        if (request.ifNewer && newSerial <= currentSerial) {
            return report;
        }
        if (newSerial < currentSerial) {
            throw Failure(request.editionFile,
                          "是第 " + std::to_string(newSerial) + " 版，比 " + storePath +
                              " 里的第 " + std::to_string(currentSerial) + " 版旧；没有更新");
        }
    } else if (request.ifNewer) {
        return report;
    }

    // Everything else is opened before the store is locked (see OpenFile).
    std::optional<Holdings> otherHoldings;
    if (request.rowsFrom) {
        const StoreFile other(*request.rowsFrom, StoreFile::Access::Read);
        otherHoldings = readHoldings(other);
    }
    OpenFile storeFile(storePath);

    store.lock();
    // Another update (another copy of the program starting, the tool) may
    // have renamed its new file over the store while this one waited for
    // the lock, which it then got on the old file.
    if (store::identityOf(storePath) != storeFile.identity() || movedUnderSqlite(store)) {
        throw ReplacedMeanwhile(storePath,
                                "在更新开始前被另一个程序换成了新文件，没有更新；请再试一次");
    }
    const Holdings holdings = readHoldings(store);
    store::faultPoint("update-locked");
    EditionRows *next = request.edition;
    const StoreFile *ownSource = nullptr;
    if (!next) {
        report.edition = holdings.edition;
        ownSource = &store;
    } else {
        report.edition = next->edition();
    }

    std::vector<StoredRow> userRows = holdings.userRows;
    if (otherHoldings) {
        for (const StoredRow &row : otherHoldings->userRows) {
            const bool known =
                std::any_of(userRows.begin(), userRows.end(),
                            [&](const StoredRow &mine) { return mine.row == row.row; });
            if (!known) {
                userRows.push_back(row);
                ++report.broughtOver;
            }
        }
    }

    UserOverrides overrides(userRows);
    const std::string partPath = storePath + ".part";
    std::string backupPath;
    bool replaced = false;
    auto failWriting = [&](const store::StoreError &error) {
        try {
            failOnStore(storePath, error);
        } catch (const Failure &failure) {
            throw Failure(storePath, failure.message() + "（写入新文件 " + partPath +
                                         " 时）；原来的文件没有改动");
        }
    };
    try {
        std::optional<store::StoreWriter> writer;
        createEmpty(partPath, storePath);
        try {
            writer.emplace(partPath);
        } catch (const store::StoreError &error) {
            failWriting(error);
        }
        const std::uint64_t total = next ? next->total() : holdings.shippedRows;
        std::uint64_t rowsRead = 0;
        auto addShipped = [&](const store::Row &row, std::uint64_t done) {
            try {
                for (const store::Row &part : overrides.uncovered(row)) {
                    writer->addShipped(part);
                }
            } catch (const store::StoreError &error) {
                failWriting(error);
            }
            if (++rowsRead % kRowsPerProgress == 0 && request.progress) {
                request.progress(done, total);
            }
        };
        if (next) {
            next->forEach(addShipped);
        } else {
            std::uint64_t done = 0;
            try {
                forEachShippedRow(store, holdings,
                                  [&](const store::Row &row) { addShipped(row, ++done); });
            } catch (const store::StoreError &error) {
                store.fail(error);
            }
        }
        store::faultPoint("update-shipped");
        const std::optional<store::AreaCodes> areaCodes =
            next ? next->areaCodes() : areaCodesOf(store);
        try {
            if (areaCodes) {
                writer->addAreaCodes(*areaCodes);
            }
            for (const StoredRow &row : userRows) {
                writer->addUser(row.row);
            }
            if (request.progress) {
                request.progress(total, total);
            }
            // A store that is its own source has its earlier cuts still missing.
            const long long earlier = ownSource ? holdings.overridden : 0;
            writer->finish(report.edition, earlier + overrides.overridden(), holdings.local);
        } catch (const store::StoreError &error) {
            failWriting(error);
        }
        writer.reset();
        store::faultPoint("update-written");
        keepAccess(storePath, partPath);
#ifdef _WIN32
        // Windows renames over no file that is open, also in this program, so
        // the lock goes here. A program that wrote since is seen in the
        // store's change counter; one that holds the store open (a window)
        // makes the rename fail, which is found out before the backup is
        // made: a hard link to a file held open cannot be removed again.
        const std::string counter = readHead(storePath, kHeaderBytes);
        storeFile.close();
        store.close();
        if (readHead(storePath, kHeaderBytes) != counter) {
            throw ReplacedMeanwhile(storePath, "更新时被另一个程序改动了，没有更新；请再试一次");
        }
        requireReplaceable(storePath);
        {
            const OpenFile reopened(storePath);
            backupPath = makeBackup(storePath, reopened);
        }
#else
        backupPath = makeBackup(storePath, storeFile);
#endif
        store::faultPoint("update-backed-up");
        replaceFile(partPath, storePath);
        replaced = true;
        store::faultPoint("update-replaced");
    } catch (...) {
        removeFile(partPath);
        if (!replaced && !backupPath.empty()) {
            removeFile(backupPath);
        }
        throw;
    }
    store.rollback();
    storeFile.close();
    report.removedBackups = removeOlderBackups(storePath, backupPath);

    report.updated = true;
    report.backup = backupPath;
    report.keptRows = userRows.size();
    report.fromMetadata = holdings.fromMetadata;
    report.firstEditionRows = holdings.shippedRows;
    report.ownRows = holdings.userRows.size();
    report.changedRows = holdings.changedRows;
    report.missingRows = holdings.missingRows;
    for (const auto &overlap : overrides.overlaps()) {
        report.overlaps.push_back({userRows[overlap.userRow].row, overlap.shipped});
    }
    for (const auto &[a, b] : overlappingPairs(userRows)) {
        report.clashes.push_back({userRows[a].row, userRows[b].row});
    }
    return report;
}

}  // namespace upgrade
