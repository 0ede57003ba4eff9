#include "upgrade/first_edition.h"

#include <cstdint>

#include "store/row_digest.h"

namespace upgrade {

// Written by first_edition_gen from data/editions/edition-1.tar.xz.
namespace generated {
extern const std::uint32_t kFirstEditionDigests[];
extern const std::size_t kFirstEditionRowCount;
extern const char *const kFirstEditionEntries[][2];
extern const std::size_t kFirstEditionEntryCount;
}  // namespace generated

std::size_t firstEditionRows() {
    return generated::kFirstEditionRowCount;
}

bool isFirstEditionRow(long long id, const store::Row &row) {
    if (id < 1 || static_cast<std::size_t>(id) > generated::kFirstEditionRowCount) {
        return false;
    }
    return generated::kFirstEditionDigests[id - 1] == store::rowDigest(row);
}

store::Edition firstEdition() {
    store::Edition edition;
    for (std::size_t i = 0; i < generated::kFirstEditionEntryCount; ++i) {
        edition.entries.emplace_back(generated::kFirstEditionEntries[i][0],
                                     generated::kFirstEditionEntries[i][1]);
    }
    return edition;
}

}  // namespace upgrade
