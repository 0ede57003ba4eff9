// What the program and plimora-table do first in a program folder: bring its
// table, sys.dat, up to the edition the folder ships, edition.dat (a store
// file of that edition, only ever read). So unpacking the same or a newer
// program folder over an old one keeps every row the user added, and a new
// edition reaches users as a new edition.dat alone. And the older program
// folders beside this one whose rows the user may want to bring along.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/edition.h"
#include "upgrade/edition_update.h"
#include "upgrade/failure.h"

namespace upgrade {

// The names of the two files in a program folder.
inline constexpr std::string_view kStoreName = "sys.dat";
inline constexpr std::string_view kEditionName = "edition.dat";

struct FolderState {
    enum class Outcome {
        NoEdition,        // no edition.dat in the folder: nothing was done
        Current,          // sys.dat holds edition.dat's edition or a newer one
        Created,          // there was no sys.dat: it was made from edition.dat
        Updated,          // sys.dat was updated to edition.dat's edition: report
        EditionUnusable,  // edition.dat cannot be read as a whole edition: failure
        StoreUnreadable,  // sys.dat cannot be read to tell its edition: failure
        NotUpdated,       // sys.dat is older, and the update failed: failure
        NotCreated,       // there is no sys.dat, and making it failed: failure
    };
    Outcome outcome = Outcome::NoEdition;
    store::Edition edition;          // edition.dat's, when it could be read
    UpdateReport report;             // for Updated
    std::optional<Failure> failure;  // for the last four
};

// Brings folder's sys.dat up to folder's edition.dat:
//  - no edition.dat: nothing;
//  - no sys.dat: sys.dat is made as a copy of edition.dat (written beside,
//    synced, renamed to sys.dat where still no file is);
//  - sys.dat of an older edition (a store without metadata is of edition 1):
//    updateStore() with edition.dat as the new edition (backup, crash-safe);
//    in both cases only once edition.dat has passed SQLite's quick check;
//  - sys.dat of the same or a newer edition: nothing, and nothing is written.
// An edition.dat that cannot be read, or that proves damaged while it is
// read, never changes sys.dat. A sys.dat that another program replaced or
// made meanwhile is looked at again. progress is given to updateStore().
// Never throws a Failure: what went wrong is in the state returned.
FolderState makeCurrent(const std::string &folder, const ProgressHook &progress = {});

// An older program folder beside this one with rows of the user's that this
// folder's sys.dat does not hold.
struct Sibling {
    std::string folder;     // its path, as it is named in the question
    std::string storePath;  // its sys.dat
    std::size_t newRows = 0;
};

// The program folders beside folder (sibling folders holding a program,
// "plimora" or "plimora.exe", and a sys.dat) that the user has not been
// asked about yet in folder's sys.dat, which must have metadata (a store
// without it cannot note an answer: nothing is looked for then). A folder
// whose sys.dat cannot be read, or holds no row of the user's that this one
// lacks, is not listed; for the latter "none" is noted at once, when this
// folder's sys.dat can be written. Never throws a Failure; returns nothing
// when folder's own sys.dat cannot be read.
std::vector<Sibling> siblingsToAsk(const std::string &folder);

// Notes in the metadata of the store at storePath the answer ("yes", "no",
// "none") for the sibling folder siblingFolder, so it is not asked again.
// Throws Failure naming storePath.
void rememberAnswer(const std::string &storePath, const std::string &siblingFolder,
                    std::string_view answer);

}  // namespace upgrade
