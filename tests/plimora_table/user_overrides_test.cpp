// Cutting the user's rows out of the edition's rows: what is left of each
// edition row, how many keys were taken, and which pairs are reported.
#include <gtest/gtest.h>

#include "upgrade/user_overrides.h"

namespace {

using upgrade::StoredRow;
using upgrade::UserOverrides;

store::Row row(double low, double high, const char *city = "北京") {
    return {low,
            high,
            std::string("北京"),
            std::string(city),
            std::string("010"),
            std::string("中国移动")};
}

std::string ranges(const std::vector<store::Row> &rows) {
    std::string text;
    for (const store::Row &r : rows) {
        text += (text.empty() ? "" : " ") + std::to_string(static_cast<long long>(r.lowNumber())) +
                "-" + std::to_string(static_cast<long long>(r.highNumber()));
    }
    return text;
}

TEST(UserOverrides, CutsTheUsersKeysOutOfTheEditionsRows) {
    const std::vector<StoredRow> users = {
        {101, row(1380013, 1380013)},
        {102, row(1380020, 1380029)},
        {103, row(1380025, 1380030)},  // overlaps the one above: merged
        {104, row(1390000, 1390000)},
        {105, row(1390001, 1390001)},  // touches the one above: merged
    };
    const struct {
        double low, high;
        const char *left;
        long long taken;
        std::size_t overlaps;
    } cases[] = {
        {1370000, 1370999, "1370000-1370999", 0, 0},
        {1380000, 1380999, "1380000-1380012 1380014-1380019 1380031-1380999", 1 + 11, 3},
        {1380013, 1380013, "", 1, 1},
        {1380014, 1380019, "1380014-1380019", 0, 0},
        {1380026, 1380040, "1380031-1380040", 5, 2},
        {1389999, 1390001, "1389999-1389999", 2, 2},
        {1390000, 1390005, "1390002-1390005", 2, 2},
    };
    for (const auto &c : cases) {
        UserOverrides overrides(users);
        const auto left = overrides.uncovered(row(c.low, c.high, "深圳"));
        EXPECT_EQ(ranges(left), c.left) << c.low << "-" << c.high;
        EXPECT_EQ(overrides.overridden(), c.taken) << c.low << "-" << c.high;
        EXPECT_EQ(overrides.overlaps().size(), c.overlaps) << c.low << "-" << c.high;
        for (const store::Row &part : left) {
            EXPECT_EQ(std::get<std::string>(part.city), "深圳") << "texts not kept";
        }
    }
}

TEST(UserOverrides, RowsWithoutANumericRangeCoverNothing) {
    const std::vector<StoredRow> users = {
        {1,
         {std::monostate{}, 1380013.0, std::string("a"), std::string("b"), std::string("010"),
          std::string("c")}}};
    UserOverrides overrides(users);
    EXPECT_EQ(ranges(overrides.uncovered(row(1380000, 1380999))), "1380000-1380999");
}

TEST(UserOverrides, ReportsTheUsersOwnOverlappingPairs) {
    const std::vector<StoredRow> users = {
        {1, row(1380020, 1380029)},
        {2, row(1390000, 1390000)},
        {3, row(1380025, 1380025)},
        {4, row(1380029, 1380040)},
    };
    const auto pairs = upgrade::overlappingPairs(users);
    const std::vector<std::pair<std::size_t, std::size_t>> expected = {{0, 2}, {0, 3}};
    EXPECT_EQ(pairs, expected);
}

}  // namespace
