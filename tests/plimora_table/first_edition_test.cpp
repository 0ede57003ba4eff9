// The compact form of edition 1 that the tool carries recognises exactly the
// rows of that edition's table.
#include <gtest/gtest.h>

#include "plimora_table/table_text.h"
#include "upgrade/first_edition.h"

namespace {

TEST(FirstEdition, RecognisesEveryRowOfItsTableUnderItsIdAndNoChangedOne) {
    table::QueltoTsv table(FIRST_EDITION_DIR "/quelto.tsv");
    store::Row row;
    long long id = 0;
    long long recognised = 0;
    while (table.next(row)) {
        ++id;
        recognised += upgrade::isFirstEditionRow(id, row) ? 1 : 0;
        if (id % 9973 == 1) {
            EXPECT_FALSE(upgrade::isFirstEditionRow(id + 1, row)) << "row " << id << " moved";
            store::Row changed = row;
            changed.city = std::get<std::string>(row.city) + " ";
            EXPECT_FALSE(upgrade::isFirstEditionRow(id, changed)) << "row " << id << " changed";
        }
    }
    EXPECT_EQ(id, 79141);
    EXPECT_EQ(recognised, 79141);
    EXPECT_EQ(upgrade::firstEditionRows(), 79141u);
    EXPECT_EQ(upgrade::firstEdition().serial(), 1);
    EXPECT_EQ(upgrade::firstEdition().value("sources"), "libphonenumber 8.12.57");
}

}  // namespace
