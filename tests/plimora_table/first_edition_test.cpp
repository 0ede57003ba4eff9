// The compact form of edition 1 that the tool carries recognises exactly the
// rows of that edition's table.
#include <gtest/gtest.h>

#include "tools/plimora_table/first_edition.h"
#include "tools/sysdat_builder.h"

namespace {

TEST(FirstEdition, RecognisesEveryRowOfItsTableUnderItsIdAndNoChangedOne) {
    tools::QueltoTsv table(FIRST_EDITION_DIR "/quelto.tsv");
    tools::QueltoRow row;
    long long id = 0;
    long long recognised = 0;
    while (table.next(row)) {
        ++id;
        recognised += tools::table::isFirstEditionRow(id, row) ? 1 : 0;
        if (id % 9973 == 1) {
            EXPECT_FALSE(tools::table::isFirstEditionRow(id + 1, row)) << "row " << id << " moved";
            tools::QueltoRow changed = row;
            changed.values[3] = std::get<std::string>(row.values[3]) + " ";
            EXPECT_FALSE(tools::table::isFirstEditionRow(id, changed))
                << "row " << id << " changed";
        }
    }
    EXPECT_EQ(id, 79141);
    EXPECT_EQ(recognised, 79141);
    EXPECT_EQ(tools::table::firstEditionRows(), 79141u);
    EXPECT_EQ(tools::table::firstEdition().serial(), 1);
    EXPECT_EQ(tools::table::firstEdition().value("sources"), "libphonenumber 8.12.57");
}

}  // namespace
