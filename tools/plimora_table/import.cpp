// plimora-table import FILE: rows of the user's own from a text table, under
// the add-record window's rules, all in one transaction: either every row of
// the file lands or none does, and every refused line is listed.
#include <sys/stat.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "store/number_text.h"
#include "store/schema.h"
#include "store/text.h"
#include "tools/cli/crash_point.h"
#include "tools/cli/failure.h"
#include "tools/cli/table_reader.h"
#include "tools/plimora_table/commands.h"
#include "tools/plimora_table/row_text.h"
#include "tools/plimora_table/store_file.h"

namespace tools::table {

namespace {

namespace schema = store::schema;

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    kHelpOption,
};

constexpr std::string_view kAbout =
    "从 FILE 导入您自己的行。FILE 是 UTF-8 的 TSV 或 CSV（按扩展名 .tsv/.csv，\n"
    "否则按第一行里的分隔符判断），第一行是列名：号码1 号码2 省份 城市 区号 卡信息\n"
    "（顺序不限）。号码1、号码2 是号码的前 7 位（以 1 开头，号码1 <= 号码2）；文字\n"
    "去掉两端空格后不能为空；区号 3 到 4 个字符；已有行覆盖的号码不能再导入，文件\n"
    "里的行也不能互相重叠。只要有一行不合格，就一行也不导入，并列出每个不合格的\n"
    "行号和原因。FILE 为 - 时读标准输入。";

struct Candidate {
    std::size_t line = 0;
    long long low = 0;
    long long high = 0;
    QueltoRow row;
};

struct Refusal {
    std::size_t line;
    std::string reason;
};

// The prefix key a field holds, or the reason it holds none.
std::variant<long long, std::string> prefixKeyOf(std::string_view column, const std::string &text) {
    const std::string name(column);
    if (text.size() != store::kPrefixLength ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return name + " 应是号码的前 " + std::to_string(store::kPrefixLength) +
               " 位数字，实际是 \"" + text + "\"";
    }
    if (text[0] != store::kMobileLead) {
        return name + " 应以 " + store::kMobileLead + " 开头，实际是 \"" + text + "\"";
    }
    return std::stoll(text);
}

// Checks one record against the rules; the row, or the reason it is refused.
std::variant<Candidate, std::string> candidateOf(const std::vector<std::string> &fields,
                                                 const std::array<std::size_t, 6> &columnAt) {
    Candidate candidate;
    std::array<std::string, 6> values;
    for (std::size_t c = 0; c < values.size(); ++c) {
        values[c] = store::trimSpaces(fields[columnAt[c]]);
    }
    for (std::size_t c = 0; c < values.size(); ++c) {
        if (values[c].empty()) {
            return std::string(schema::kColumns[c]) + " 不能为空";
        }
    }
    std::array<long long, 2> keys{};
    for (std::size_t c = 0; c < 2; ++c) {
        auto key = prefixKeyOf(schema::kColumns[c], values[c]);
        if (const auto *reason = std::get_if<std::string>(&key)) {
            return *reason;
        }
        keys[c] = std::get<long long>(key);
    }
    if (keys[0] > keys[1]) {
        return "号码1 大于 号码2";
    }
    for (std::size_t c = 2; c < values.size(); ++c) {
        if (values[c].find_first_of("\t\r\n") != std::string::npos) {
            return std::string(schema::kColumns[c]) + " 里有制表符或换行";
        }
    }
    if (!store::isAreaCodeLength(values[4])) {
        return "区号 应为 " + std::to_string(store::kShortestAreaCode) + " 到 " +
               std::to_string(store::kLongestAreaCode) + " 个字符，实际是 \"" + values[4] + "\"";
    }
    candidate.low = keys[0];
    candidate.high = keys[1];
    candidate.row.values[0] = static_cast<double>(keys[0]);
    candidate.row.values[1] = static_cast<double>(keys[1]);
    for (std::size_t c = 2; c < values.size(); ++c) {
        candidate.row.values[c] = values[c];
    }
    return candidate;
}

// Which field holds each column, from the header. Throws cli::Failure naming
// the file and line for a header without the six columns.
std::array<std::size_t, 6> readHeader(const std::vector<std::string> &header,
                                      const std::string &file, std::size_t line) {
    constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);
    std::array<std::size_t, 6> columnAt;
    columnAt.fill(kAbsent);
    for (std::size_t f = 0; f < header.size(); ++f) {
        const std::string name(store::trimSpaces(header[f]));
        const auto found = std::find(schema::kColumns.begin(), schema::kColumns.end(), name);
        if (found == schema::kColumns.end()) {
            throw cli::Failure(
                file, line,
                "第一行应是列名 号码1 号码2 省份 城市 区号 卡信息，其中有不认识的列 \"" + name +
                    "\"");
        }
        const auto c = static_cast<std::size_t>(found - schema::kColumns.begin());
        if (columnAt[c] != kAbsent) {
            throw cli::Failure(file, line, "列 " + name + " 出现了两次");
        }
        columnAt[c] = f;
    }
    for (std::size_t c = 0; c < columnAt.size(); ++c) {
        if (columnAt[c] == kAbsent) {
            throw cli::Failure(file, line, "缺少列 " + std::string(schema::kColumns[c]));
        }
    }
    return columnAt;
}

std::string readAll(const std::string &path) {
    if (path == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        return text.str();
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        throw cli::Failure(
            path, errno == ENOENT ? "找不到这个文件" : "无法读取：" + cli::describeErrno(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        throw cli::Failure(path, "这是一个文件夹，不是表格文件");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw cli::Failure(path, "无法读取：" + cli::describeErrno(errno));
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

int runImport(const std::vector<std::string> &words) {
    const auto parsed = commandOptions(words, "plimora-table import FILE [选项]", kAbout, kOptions);
    if (!parsed) {
        return 0;
    }
    const cli::Options &options = *parsed;
    if (options.arguments().size() != 1) {
        throw cli::UsageError(options.arguments().empty() ? "import 需要一个要导入的文件"
                                                          : "import 只接受一个文件");
    }
    const std::string path = options.arguments().front();
    const std::string name = path == "-" ? "标准输入" : path;
    const std::string storePath = storePathOf(options);

    const std::string text = readAll(path);
    std::istringstream in(text);
    const auto firstLineEnd = text.find('\n');
    cli::TableReader reader(in, name, cli::guessDialect(path, text.substr(0, firstLineEnd)));
    std::vector<std::string> fields;
    if (!reader.next(fields)) {
        throw cli::Failure(name, "是空文件；第一行应是列名 号码1 号码2 省份 城市 区号 卡信息");
    }
    const auto columnAt = readHeader(fields, name, reader.line());

    std::vector<Candidate> candidates;
    std::vector<Refusal> refusals;
    std::size_t records = 0;
    while (reader.next(fields)) {
        ++records;
        if (fields.size() != columnAt.size()) {
            refusals.push_back(
                {reader.line(), "应有 6 个字段，实际有 " + std::to_string(fields.size()) + " 个"});
            continue;
        }
        auto checked = candidateOf(fields, columnAt);
        if (auto *reason = std::get_if<std::string>(&checked)) {
            refusals.push_back({reader.line(), std::move(*reason)});
            continue;
        }
        candidates.push_back(std::get<Candidate>(std::move(checked)));
        candidates.back().line = reader.line();
    }

    // Lines of the file that overlap each other: the later line is refused.
    std::vector<const Candidate *> byKey;
    for (const Candidate &candidate : candidates) {
        byKey.push_back(&candidate);
    }
    std::sort(byKey.begin(), byKey.end(),
              [](const Candidate *a, const Candidate *b) { return a->low < b->low; });
    std::vector<bool> clashes(candidates.size(), false);
    const Candidate *reach = nullptr;  // the row reaching highest so far
    for (const Candidate *candidate : byKey) {
        if (reach && candidate->low <= reach->high) {
            const Candidate *later = candidate->line > reach->line ? candidate : reach;
            const Candidate *earlier = later == candidate ? reach : candidate;
            const auto index = static_cast<std::size_t>(later - candidates.data());
            if (!clashes[index]) {
                refusals.push_back(
                    {later->line, "号码段与第 " + std::to_string(earlier->line) + " 行重叠"});
                clashes[index] = true;
            }
        }
        if (!reach || candidate->high > reach->high) {
            reach = candidate;
        }
    }

    StoreFile store(storePath, StoreFile::Access::Write);
    store.lock();
    try {
        const sql::Statement meeting = sql::prepare(store.db(), schema::kSelectMeeting);
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (clashes[i]) {
                continue;
            }
            const Candidate &candidate = candidates[i];
            sql::check(store.db(), sqlite3_bind_int64(meeting.get(), 1, candidate.high));
            sql::check(store.db(), sqlite3_bind_int64(meeting.get(), 2, candidate.low));
            if (sql::step(store.db(), meeting.get())) {
                QueltoRow existing;
                for (int c = 0; c < 6; ++c) {
                    existing.values[static_cast<std::size_t>(c)] =
                        sql::column(meeting.get(), c + 1);
                }
                refusals.push_back({candidate.line, "这些号码已有数据：" + describeRow(existing)});
            }
            sql::check(store.db(), sqlite3_reset(meeting.get()));
        }

        if (!refusals.empty()) {
            store.rollback();
            std::sort(refusals.begin(), refusals.end(),
                      [](const Refusal &a, const Refusal &b) { return a.line < b.line; });
            for (const Refusal &refusal : refusals) {
                std::fprintf(stderr, "%s\n",
                             cli::Failure(name, refusal.line, refusal.reason).text().c_str());
            }
            throw cli::Failure(name, "有 " + std::to_string(refusals.size()) + " 处不合格（共 " +
                                         std::to_string(records) + " 行数据），一行也没有导入；" +
                                         storePath + " 没有改动");
        }

        const sql::Statement insert = sql::prepare(store.db(), schema::kInsertRow);
        for (const Candidate &candidate : candidates) {
            for (std::size_t c = 0; c < candidate.row.values.size(); ++c) {
                sql::bind(store.db(), insert.get(), static_cast<int>(c + 1),
                          candidate.row.values[c]);
            }
            sql::step(store.db(), insert.get());
            sql::check(store.db(), sqlite3_reset(insert.get()));
        }
        cli::crashPoint("import-inserted");
        store.commit();
    } catch (const store::StoreError &error) {
        store.rollback();
        try {
            store.fail(error);
        } catch (const cli::Failure &failure) {
            throw cli::Failure(storePath, failure.message() + "；一行也没有导入");
        }
    }
    std::printf("已从 %s 导入 %zu 行到 %s\n", name.c_str(), candidates.size(), storePath.c_str());
    return 0;
}

}  // namespace tools::table
