#include "upgrade/folder_step.h"

#include <algorithm>
#include <system_error>

#include "store/files.h"
#include "store/schema.h"
#include "upgrade/file_ops.h"

namespace upgrade {

namespace {

namespace schema = store::schema;

// How often a sys.dat that another program made or replaced meanwhile is
// looked at again.
constexpr int kAttempts = 3;

constexpr std::string_view kProgramNames[] = {"plimora", "plimora.exe"};

FolderState failed(FolderState state, FolderState::Outcome outcome, const Failure &failure) {
    state.outcome = outcome;
    state.failure = failure;
    return state;
}

// Throws Failure naming the edition's file when SQLite's quick check finds
// it damaged: a copy of it would be as damaged, and an update reads only the
// pages of its rows, not every page that would show the damage.
void checkWhole(const StoreEdition &edition) {
    const store::Database &db = edition.db();
    std::string verdict;
    try {
        const store::Statement check = db.prepare("pragma quick_check");
        while (db.step(check.get())) {
            const std::string line = store::toText(store::column(check.get(), 0));
            verdict += verdict.empty() ? line : "；" + line;
        }
    } catch (const store::StoreError &error) {
        failOnStore(edition.path(), error);
    }
    if (verdict != "ok") {
        throw Failure(edition.path(), "已损坏（" + verdict + "）");
    }
}

}  // namespace

FolderState makeCurrent(const std::string &folder, const ProgressHook &progress) {
    const std::string storePath = store::joinPath(folder, std::string(kStoreName));
    const std::string editionPath = store::joinPath(folder, std::string(kEditionName));
    FolderState state;
    if (!isFile(editionPath)) {
        return state;
    }
    std::optional<Failure> last;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::optional<StoreEdition> edition;
        try {
            edition.emplace(editionPath);
        } catch (const Failure &failure) {
            return failed(state, FolderState::Outcome::EditionUnusable, failure);
        }
        state.edition = edition->edition();

        if (!store::identityOf(storePath)) {
            try {
                checkWhole(*edition);
            } catch (const Failure &failure) {
                return failed(state, FolderState::Outcome::EditionUnusable, failure);
            }
            try {
                const OpenFile source(editionPath);
                if (source.copyTo(storePath, false)) {
                    state.outcome = FolderState::Outcome::Created;
                    return state;
                }
            } catch (const Failure &failure) {
                return failed(state, FolderState::Outcome::NotCreated, failure);
            }
            continue;
        }

        try {
            const StoreFile current(storePath, StoreFile::Access::Read);
            if (storedSerial(current) >= state.edition.serial().value_or(0)) {
                state.outcome = FolderState::Outcome::Current;
                return state;
            }
        } catch (const Failure &failure) {
            return failed(state, FolderState::Outcome::StoreUnreadable, failure);
        }
        try {
            checkWhole(*edition);
        } catch (const Failure &failure) {
            return failed(state, FolderState::Outcome::EditionUnusable, failure);
        }

        UpdateRequest request;
        request.storePath = storePath;
        request.edition = &*edition;
        request.editionFile = editionPath;
        request.ifNewer = true;
        request.progress = progress;
        try {
            state.report = updateStore(request);
            state.outcome = state.report.updated ? FolderState::Outcome::Updated
                                                 : FolderState::Outcome::Current;
            return state;
        } catch (const ReplacedMeanwhile &failure) {
            last = failure;
        } catch (const Failure &failure) {
            return failed(state,
                          failure.file() == editionPath ? FolderState::Outcome::EditionUnusable
                                                        : FolderState::Outcome::NotUpdated,
                          failure);
        }
    }
    return failed(state, FolderState::Outcome::NotUpdated,
                  last.value_or(Failure(storePath, "另一个程序一直在替换这个文件；没有更新")));
}

std::vector<Sibling> siblingsToAsk(const std::string &folder) {
    const std::string storePath = store::joinPath(folder, std::string(kStoreName));
    std::vector<Sibling> siblings;
    std::vector<StoredRow> mine;
    store::Edition noted;
    try {
        const StoreFile own(storePath, StoreFile::Access::Read);
        if (!own.hasMetadata()) {
            return siblings;
        }
        const Holdings holdings = readHoldings(own);
        mine = holdings.userRows;
        noted = holdings.local;
    } catch (const Failure &) {
        return siblings;
    }

    const std::filesystem::path here = store::nativePath(folder);
    std::filesystem::path parent = here.parent_path();
    const std::filesystem::path ownName = here.filename();
    std::error_code error;
    std::vector<std::filesystem::path> candidates;
    for (std::filesystem::directory_iterator it(parent, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (it->path().filename() == ownName || !it->is_directory(ignored)) {
            continue;
        }
        const bool hasProgram = std::any_of(
            std::begin(kProgramNames), std::end(kProgramNames), [&](std::string_view name) {
                return std::filesystem::is_regular_file(it->path() / std::string(name), ignored);
            });
        if (hasProgram &&
            std::filesystem::is_regular_file(it->path() / std::string(kStoreName), ignored)) {
            candidates.push_back(it->path());
        }
    }
    std::sort(candidates.begin(), candidates.end());

    for (const std::filesystem::path &candidate : candidates) {
        Sibling sibling;
        sibling.folder = store::pathText(candidate);
        sibling.storePath = store::pathText(candidate / std::string(kStoreName));
        if (noted.value(std::string(schema::kAskedPrefix) + sibling.folder)) {
            continue;
        }
        try {
            const StoreFile other(sibling.storePath, StoreFile::Access::Read);
            for (const StoredRow &row : readHoldings(other).userRows) {
                const bool known = std::any_of(mine.begin(), mine.end(), [&](const StoredRow &own) {
                    return own.row == row.row;
                });
                sibling.newRows += known ? 0 : 1;
            }
        } catch (const Failure &) {
            continue;
        }
        if (sibling.newRows > 0) {
            siblings.push_back(sibling);
            continue;
        }
        try {
            rememberAnswer(storePath, sibling.folder, "none");
        } catch (const Failure &) {
            // Looked at again next time, which costs a moment, nothing more.
        }
    }
    return siblings;
}

void rememberAnswer(const std::string &storePath, const std::string &siblingFolder,
                    std::string_view answer) {
    StoreFile store(storePath, StoreFile::Access::Write);
    store.lock();
    try {
        const store::Statement put = store.db().prepare(schema::kPutMeta);
        store.db().bind(put.get(), 1, std::string(schema::kAskedPrefix) + siblingFolder);
        store.db().bind(put.get(), 2, std::string(answer));
        store.db().step(put.get());
    } catch (const store::StoreError &error) {
        store.rollback();
        store.fail(error);
    }
    store.commit();
}

}  // namespace upgrade
