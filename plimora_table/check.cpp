// plimora-table check: reads any sys.dat, also one a user made by hand with a
// plain table, and reports what is wrong with it. Never writes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/progress.h"
#include "plimora_table/commands.h"
#include "plimora_table/row_text.h"
#include "plimora_table/store_file.h"
#include "store/allocation.h"
#include "store/area_codes.h"
#include "store/number_text.h"
#include "store/row_rule.h"
#include "store/schema.h"
#include "store/text.h"

namespace table {

namespace {

namespace schema = store::schema;

constexpr long long kSegmentSize = store::kSegmentSize;
constexpr long long kBlockSize = store::kBlockSize;
constexpr std::size_t kListed = 20;  // faults listed per kind without --list-all
constexpr std::size_t kRowsPerProgress = 4096;
// What a kind of fault is called when it is a note about a row of the user's.
constexpr std::string_view kUsersRow = "您添加的";

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    {"--list-all", "", "", "列出每一处问题（默认每类最多列 20 处）"},
    kHelpOption,
};

constexpr std::string_view kAbout =
    "检查一个 sys.dat（也可以是自己建的普通表），报告：文件完整性、版本信息、\n"
    "各号段的行数和号码数，以及这些问题：号码不是 7 位前缀、号码1 大于 号码2、\n"
    "号码段重叠、文字为空或 NULL、文字含有控制字符、制表符、换行或改变文字方向的\n"
    "字符、文字以 = + - @ 开头、区号不是 0 加 2 到 3 位数字、行落在未分配的号段。\n"
    "您添加的行落在未分配的号段、以 = + - @ 开头或区号是 3 到 4 位数字时只作为提示\n"
    "列出（添加数据 也接受这样的行）。发现问题时退出码为 1，只有提示时为 0。只读取，不改动文件。";

class Faults {
public:
    explicit Faults(bool listAll) : m_listAll(listAll) {}

    // Whether the next fault of kind will be listed (the rest are counted).
    bool listsNext(const std::string &kind) const {
        const auto found = m_kinds.find(kind);
        return m_listAll || found == m_kinds.end() || found->second.second.size() < kListed;
    }
    void add(const std::string &kind, std::string text) {
        auto &items = m_kinds[kind];
        ++items.first;
        if (m_listAll || items.second.size() < kListed) {
            items.second.push_back(std::move(text));
        }
    }
    std::size_t count() const {
        std::size_t total = 0;
        for (const auto &[kind, items] : m_kinds) {
            total += items.first;
        }
        return total;
    }
    void print() const {
        for (const auto &[kind, items] : m_kinds) {
            std::printf("  %s：%zu 处\n", kind.c_str(), items.first);
            for (const std::string &text : items.second) {
                std::printf("    %s\n", text.c_str());
            }
            if (items.second.size() < items.first) {
                std::printf("    ……还有 %zu 处（用 --list-all 全部列出）\n",
                            items.first - items.second.size());
            }
        }
    }

private:
    bool m_listAll;
    std::map<std::string, std::pair<std::size_t, std::vector<std::string>>> m_kinds;
};

std::string rowLabel(long long id, const store::Row &row) {
    return "第 " + std::to_string(id) + " 行 " + describeRow(row);
}

void checkIntegrity(const StoreFile &store, Faults &faults) {
    auto collect = [&](const char *sql) {
        const store::Statement statement = store.db().prepare(sql);
        while (store.db().step(statement.get())) {
            const std::string text = store::toText(store::column(statement.get(), 0));
            if (text != "ok") {
                faults.add("文件完整性", text);
            }
        }
    };
    try {
        collect("pragma integrity_check");
        const store::Statement tableSql = store.db().prepare(schema::kTableSql);
        if (store.db().step(tableSql.get())) {
            if (schema::declaresRtree(store::toText(store::column(tableSql.get(), 0)))) {
                collect("select rtreecheck('quelto')");
            }
        }
    } catch (const store::StoreError &error) {
        faults.add("文件完整性",
                   "检查时出错：" + storeErrorText(error.number(), error.description()));
    }
}

// Which rows the user added, as far as the store can tell: with metadata the
// rows above the edition's; without, the rows that are not edition 1's, or
// none when the store did not come from edition 1.
class UserRows {
public:
    explicit UserRows(const StoreFile &store) {
        if (store.hasMetadata()) {
            m_above = store.metadata().number(schema::kShippedRowsKey).value_or(0);
            return;
        }
        try {
            m_legacy = readHoldings(store);
            for (const StoredRow &row : m_legacy->userRows) {
                m_ids.insert(row.id);
            }
        } catch (const upgrade::Failure &) {
            // No edition to tell the user's rows by: each row is judged as
            // the edition's would be.
        }
    }
    bool contains(long long id) const { return m_above ? id > *m_above : m_ids.contains(id); }
    // Without metadata, the holdings found by comparing with edition 1.
    const std::optional<Holdings> &legacy() const { return m_legacy; }

private:
    std::optional<long long> m_above;
    std::set<long long> m_ids;
    std::optional<Holdings> m_legacy;
};

void printEdition(const StoreFile &store, const UserRows &users, std::size_t rows,
                  std::size_t aboveShipped) {
    if (store.hasMetadata()) {
        const store::Edition &meta = store.metadata();
        auto entry = [&](std::string_view key) {
            return store::escapedText(meta.value(key).value_or("?"));
        };
        std::printf("版本：第 %s 版", entry(schema::kEditionKey).c_str());
        for (const std::string_view key : {schema::kDateKey, schema::kSourcesKey}) {
            if (meta.value(key)) {
                std::printf("，%s", entry(key).c_str());
            }
        }
        std::printf("；由 %s 建立；发行的行 %s，您添加的行 %zu\n",
                    entry(schema::kBuiltByKey).c_str(), entry(schema::kShippedRowsKey).c_str(),
                    aboveShipped);
        return;
    }
    if (const auto &holdings = users.legacy()) {
        std::printf("版本：没有版本信息；与第 1 版逐行比对：%zu 行是第 1 版的，%zu 行是您添加的\n",
                    holdings->shippedRows, holdings->userRows.size());
    } else {
        std::printf("版本：没有版本信息，也不是第 1 版的表（%zu 行）：分不出哪些行是您添加的\n",
                    rows);
    }
}

}  // namespace

int runCheck(const std::vector<std::string> &words) {
    const auto parsed = commandOptions(words, "plimora-table check [选项]", kAbout, kOptions);
    if (!parsed) {
        return 0;
    }
    const cli::Options &options = *parsed;
    refuseArguments(options, "check");
    const std::string storePath = currentStorePath(options);
    const StoreFile store(storePath, StoreFile::Access::Read);
    Faults faults(options.has("--list-all"));
    // What the add-record window lets a user add is no fault in a row of the
    // user's; in the edition's rows it is.
    Faults notes(options.has("--list-all"));
    const UserRows users(store);
    std::printf("检查 %s\n", store::escapedText(storePath).c_str());
    checkIntegrity(store, faults);
    std::printf("完整性：%s\n", faults.count() == 0 ? "正常" : "有问题（见下）");

    struct Range {
        long long low;
        long long high;
        long long id;
    };
    std::vector<Range> ranges;
    std::map<long long, std::pair<std::size_t, long long>> segments;  // rows, keys
    std::size_t rows = 0;
    std::size_t aboveShipped = 0;
    const long long shipped = store.metadata().number(schema::kShippedRowsKey).value_or(0);
    try {
        const store::Statement count = store.db().prepare(schema::kCountRows);
        store.db().step(count.get());
        cli::Progress progress("正在检查",
                               static_cast<std::uint64_t>(sqlite3_column_int64(count.get(), 0)));
        forEachRow(store.db(), schema::kSelectRows, -1, [&](const StoredRow &stored) {
            ++rows;
            if (rows % kRowsPerProgress == 0) {
                progress.update(rows);
            }
            if (stored.id > shipped) {
                ++aboveShipped;
            }
            const store::Row &row = stored.row;
            const bool usersRow = users.contains(stored.id);
            const auto problems = store::rowProblems(row);
            for (const store::RowProblem &problem : problems) {
                // What the add-record window lets a user write is no fault in
                // a row of the user's.
                const bool note =
                    usersRow && (problem.fault == store::RowFault::FormulaStart ||
                                 (problem.fault == store::RowFault::AreaCode &&
                                  store::isWindowAreaCode(store::toText(row.areaCode))));
                (note ? notes : faults)
                    .add((note ? std::string(kUsersRow) : "") + store::faultName(problem.fault),
                         rowLabel(stored.id, row) + "：" + store::problemText(problem, row));
            }
            const double lowNumber = row.lowNumber();
            const double highNumber = row.highNumber();
            if (!store::isPrefixKey(lowNumber) || !store::isPrefixKey(highNumber) ||
                lowNumber > highNumber) {
                return;
            }
            const auto low = static_cast<long long>(lowNumber);
            const auto high = static_cast<long long>(highNumber);
            ranges.push_back({low, high, stored.id});
            ++segments[low / kSegmentSize].first;
            for (long long s = low / kSegmentSize; s <= high / kSegmentSize; ++s) {
                segments[s].second += std::min(high, (s + 1) * kSegmentSize - 1) -
                                      std::max(low, s * kSegmentSize) + 1;
            }
            for (long long block = low / kBlockSize; block <= high / kBlockSize; ++block) {
                if (store::carrierOf(static_cast<int>(block * kBlockSize)).empty()) {
                    (usersRow ? notes : faults)
                        .add((usersRow ? std::string(kUsersRow) : "") + "行落在未分配的号段",
                             rowLabel(stored.id, row) + "：号段 " + std::to_string(block) +
                                 " 没有分配给任何运营商");
                    break;
                }
            }
        });
    } catch (const store::StoreError &error) {
        store.fail(error);
    }

    std::sort(ranges.begin(), ranges.end(), [](const Range &a, const Range &b) {
        return a.low != b.low ? a.low < b.low : a.high < b.high;
    });
    std::vector<std::pair<long long, long long>> overlaps;
    const Range *reach = nullptr;
    for (const Range &range : ranges) {
        if (reach && range.low <= reach->high) {
            overlaps.emplace_back(reach->id, range.id);
        }
        if (!reach || range.high > reach->high) {
            reach = &range;
        }
    }
    if (!overlaps.empty()) {
        try {
            auto label = [&](long long id) {
                std::string text = "第 " + std::to_string(id) + " 行";
                forEachRow(store.db(), schema::kSelectRowById, id,
                           [&](const StoredRow &row) { text = rowLabel(row.id, row.row); });
                return text;
            };
            const std::string kind = "号码段重叠";
            for (const auto &[a, b] : overlaps) {
                faults.add(kind, faults.listsNext(kind) ? label(a) + "  与  " + label(b) : "");
            }
        } catch (const store::StoreError &error) {
            store.fail(error);
        }
    }

    std::string areaCodes;
    try {
        const auto codes = store::readAreaCodes(store.db());
        areaCodes =
            codes ? std::to_string(codes->size()) + " 个区号" : "没有（lookup 回答不了固定电话）";
    } catch (const store::StoreError &error) {
        areaCodes = "有问题（见下）";
        faults.add("区号表有误", error.description());
    }

    printEdition(store, users, rows, aboveShipped);
    std::printf("行数：%zu\n", rows);
    std::printf("区号表：%s\n", areaCodes.c_str());
    std::printf("按号段统计（号段：行数，号码前缀数）：\n");
    for (const auto &[segment, counts] : segments) {
        std::printf("  %lld：%zu 行，%lld 个\n", segment, counts.first, counts.second);
    }
    if (faults.count() > 0) {
        std::printf("发现的问题：\n");
        faults.print();
    }
    if (notes.count() > 0) {
        std::printf("提示（添加数据 也接受这样的行，不算问题）：\n");
        notes.print();
    }
    if (faults.count() == 0) {
        std::printf("结论：没有发现问题\n");
        return 0;
    }
    std::printf("结论：发现 %zu 处问题\n", faults.count());
    return 1;
}

}  // namespace table
