// plimora-table check: reads any sys.dat, also one a user made by hand with a
// plain table, and reports what is wrong with it. Never writes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "tools/cli/failure.h"
#include "tools/cli/progress.h"
#include "tools/plimora_table/commands.h"
#include "tools/plimora_table/row_text.h"
#include "tools/plimora_table/store_file.h"
#include "tools/quelto_gen/quelto_rules.h"

namespace tools::table {

namespace {

namespace schema = store::schema;

constexpr long long kSegmentSize = 10000;  // keys per three-digit segment (130, 131 …)
constexpr long long kBlockSize = 1000;     // keys per four-digit block (1300, 1301 …)
constexpr std::size_t kListed = 20;        // faults listed per kind without --list-all

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    {"--list-all", "", "", "列出每一处问题（默认每类最多列 20 处）"},
    kHelpOption,
};

constexpr std::string_view kAbout =
    "检查一个 sys.dat（也可以是自己建的普通表），报告：文件完整性、版本信息、\n"
    "各号段的行数和号码数，以及这些问题：号码不是 7 位前缀、号码1 大于 号码2、\n"
    "号码段重叠、文字为空或 NULL、区号不是 0 加 2 到 3 位数字、行落在未分配的号段。\n"
    "发现问题时退出码为 1。只读取，不改动文件。";

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

std::optional<long long> prefixKey(const store::Variant &value) {
    const auto *number = std::get_if<double>(&value);
    if (!number || std::trunc(*number) != *number || *number < store::kLowestMobileKey ||
        *number > store::kHighestMobileKey) {
        return std::nullopt;
    }
    return static_cast<long long>(*number);
}

bool isAreaCode(const std::string &text) {
    return store::isAreaCodeLength(text) && text[0] == '0' &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string rowLabel(long long id, const QueltoRow &row) {
    return "第 " + std::to_string(id) + " 行 " + describeRow(row);
}

void checkIntegrity(const StoreFile &store, Faults &faults) {
    auto collect = [&](const char *sql) {
        const sql::Statement statement = sql::prepare(store.db(), sql);
        while (sql::step(store.db(), statement.get())) {
            const std::string text = store::toText(sql::column(statement.get(), 0));
            if (text != "ok") {
                faults.add("文件完整性", text);
            }
        }
    };
    try {
        collect("pragma integrity_check");
        const sql::Statement tableSql = sql::prepare(store.db(), schema::kTableSql);
        if (sql::step(store.db(), tableSql.get())) {
            if (store::declaresRtree(store::toText(sql::column(tableSql.get(), 0)))) {
                collect("select rtreecheck('quelto')");
            }
        }
    } catch (const store::StoreError &error) {
        faults.add("文件完整性",
                   "检查时出错：" + storeErrorText(error.number(), error.description()));
    }
}

void printEdition(const StoreFile &store, std::size_t rows, std::size_t aboveShipped) {
    if (store.hasMetadata()) {
        const Edition &meta = store.metadata();
        std::printf("版本：第 %s 版", meta.value(schema::kEditionKey).value_or("?").c_str());
        for (const std::string_view key : {schema::kDateKey, schema::kSourcesKey}) {
            if (const auto value = meta.value(key)) {
                std::printf("，%s", value->c_str());
            }
        }
        std::printf("；由 %s 建立；发行的行 %s，您添加的行 %zu\n",
                    meta.value(schema::kBuiltByKey).value_or("?").c_str(),
                    meta.value(schema::kShippedRowsKey).value_or("?").c_str(), aboveShipped);
        return;
    }
    try {
        const Holdings holdings = readHoldings(store);
        std::printf("版本：没有版本信息；与第 1 版逐行比对：%zu 行是第 1 版的，%zu 行是您添加的\n",
                    holdings.shippedRows, holdings.userRows.size());
    } catch (const cli::Failure &) {
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
    const std::string storePath = storePathOf(options);
    const StoreFile store(storePath, StoreFile::Access::Read);
    Faults faults(options.has("--list-all"));
    std::printf("检查 %s\n", storePath.c_str());
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
        const sql::Statement count = sql::prepare(store.db(), "select count(*) from quelto");
        sql::step(store.db(), count.get());
        cli::Progress progress("正在检查",
                               static_cast<std::uint64_t>(sqlite3_column_int64(count.get(), 0)));
        forEachRow(store.db(), schema::kSelectRows, -1, [&](const StoredRow &stored) {
            ++rows;
            if (rows % 4096 == 0) {
                progress.update(rows);
            }
            if (stored.id > shipped) {
                ++aboveShipped;
            }
            const QueltoRow &row = stored.row;
            for (std::size_t c = 2; c < row.values.size(); ++c) {
                const store::Variant &value = row.values[c];
                const std::string name(schema::kColumns[c]);
                if (std::holds_alternative<std::monostate>(value)) {
                    faults.add("文字为 NULL", rowLabel(stored.id, row) + "：" + name + " 为 NULL");
                } else if (valueText(value).find_first_not_of(' ') == std::string::npos) {
                    faults.add("文字为空", rowLabel(stored.id, row) + "：" + name + " 为空");
                }
            }
            if (!std::holds_alternative<std::monostate>(row.values[4]) &&
                !isAreaCode(valueText(row.values[4]))) {
                faults.add("区号不是 0 加 2 到 3 位数字", rowLabel(stored.id, row));
            }
            const auto low = prefixKey(row.values[0]);
            const auto high = prefixKey(row.values[1]);
            if (!low || !high) {
                faults.add("号码不是 7 位的号码前缀（" + std::to_string(store::kLowestMobileKey) +
                               " 到 " + std::to_string(store::kHighestMobileKey) + " 的整数）",
                           rowLabel(stored.id, row));
                return;
            }
            if (*low > *high) {
                faults.add("号码1 大于 号码2", rowLabel(stored.id, row));
                return;
            }
            ranges.push_back({*low, *high, stored.id});
            ++segments[*low / kSegmentSize].first;
            for (long long s = *low / kSegmentSize; s <= *high / kSegmentSize; ++s) {
                segments[s].second += std::min(*high, (s + 1) * kSegmentSize - 1) -
                                      std::max(*low, s * kSegmentSize) + 1;
            }
            for (long long block = *low / kBlockSize; block <= *high / kBlockSize; ++block) {
                if (quelto::carrierOf(static_cast<int>(block * kBlockSize)).empty()) {
                    faults.add("行落在未分配的号段", rowLabel(stored.id, row) + "：号段 " +
                                                         std::to_string(block) +
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

    printEdition(store, rows, aboveShipped);
    std::printf("行数：%zu\n", rows);
    std::printf("按号段统计（号段：行数，号码前缀数）：\n");
    for (const auto &[segment, counts] : segments) {
        std::printf("  %lld：%zu 行，%lld 个\n", segment, counts.first, counts.second);
    }
    if (faults.count() == 0) {
        std::printf("结论：没有发现问题\n");
        return 0;
    }
    std::printf("发现的问题：\n");
    faults.print();
    std::printf("结论：发现 %zu 处问题\n", faults.count());
    return 1;
}

}  // namespace tools::table
