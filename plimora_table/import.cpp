// plimora-table import FILE: rows of the user's own from a text table, under
// the add-record window's rules, all in one transaction: either every row of
// the file lands or none does, and every refused line is listed.
#include <sys/stat.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/table_reader.h"
#include "plimora_table/commands.h"
#include "plimora_table/row_text.h"
#include "plimora_table/store_file.h"
#include "plimora_table/table_text.h"
#include "store/fault_point.h"
#include "store/number_text.h"
#include "store/row_rule.h"
#include "store/schema.h"
#include "store/text.h"

namespace table {

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
    "去掉两端的空白和看不见的字符后不能为空，不能含有控制字符、制表符、换行或改变\n"
    "文字方向的字符，不能以 = + - @ 开头（表格软件会当作公式）；区号是 0 加 2 到 3\n"
    "位数字；已有行覆盖的号码不能再导入，文件里的行也不能互相重叠。只要有一行不合格，\n"
    "就一行也不导入，并列出每个不合格的行号和原因。FILE 为 - 时读标准输入。";

struct Candidate {
    std::size_t line = 0;
    long long low = 0;
    long long high = 0;
    store::Row row;
};

struct Refusal {
    std::size_t line;
    std::string reason;
};

// Checks one record against the rule every row of a store obeys, its texts
// trimmed of the spaces at both ends; the row, or the reason it is refused.
std::variant<Candidate, std::string> candidateOf(const std::vector<std::string> &fields,
                                                 const std::array<std::size_t, 6> &columnAt) {
    Candidate candidate;
    store::Row &row = candidate.row;
    for (std::size_t c = 0; c < store::Row::kColumnCount; ++c) {
        std::string text(store::trimSpaces(fields[columnAt[c]]));
        row.column(c) = c < 2 ? keyField(std::move(text)) : store::Variant(std::move(text));
    }
    const auto problems = store::rowProblems(row);
    if (!problems.empty()) {
        return store::problemText(problems.front(), row);
    }
    candidate.low = static_cast<long long>(row.lowNumber());
    candidate.high = static_cast<long long>(row.highNumber());
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
        throw cli::unreadable(path, errno);
    }
    if (S_ISDIR(status.st_mode)) {
        throw cli::Failure(path, "这是一个文件夹，不是表格文件");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw cli::unreadable(path, errno);
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
    const std::string storePath = currentStorePath(options);

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
        const store::Statement meeting = store.db().prepare(schema::kSelectMeeting);
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (clashes[i]) {
                continue;
            }
            const Candidate &candidate = candidates[i];
            store.db().check(sqlite3_bind_int64(meeting.get(), 1, candidate.high));
            store.db().check(sqlite3_bind_int64(meeting.get(), 2, candidate.low));
            if (store.db().step(meeting.get())) {
                store::Row existing;
                store::readRow(existing, meeting.get(), 1);
                refusals.push_back({candidate.line, "这些号码已有数据：" + describeRow(existing)});
            }
            store.db().reset(meeting.get());
        }

        if (!refusals.empty()) {
            store.rollback();
            std::sort(refusals.begin(), refusals.end(),
                      [](const Refusal &a, const Refusal &b) { return a.line < b.line; });
            for (const Refusal &refusal : refusals) {
                std::fprintf(
                    stderr, "%s\n",
                    store::escapedText(cli::Failure(name, refusal.line, refusal.reason).text())
                        .c_str());
            }
            throw cli::Failure(name, "有 " + std::to_string(refusals.size()) + " 处不合格（共 " +
                                         std::to_string(records) + " 行数据），一行也没有导入；" +
                                         storePath + " 没有改动");
        }

        const store::Statement insert = store.db().prepare(schema::kInsertRow);
        for (const Candidate &candidate : candidates) {
            store::bindRow(store.db(), insert.get(), 1, candidate.row);
            store.db().step(insert.get());
            store.db().reset(insert.get());
        }
        store::faultPoint("import-inserted");
        store.commit();
    } catch (const store::StoreError &error) {
        store.rollback();
        try {
            store.fail(error);
        } catch (const upgrade::Failure &failure) {
            throw cli::Failure(storePath, failure.message() + "；一行也没有导入");
        }
    }
    std::printf("已从 %s 导入 %zu 行到 %s\n", name.c_str(), candidates.size(), storePath.c_str());
    return 0;
}

}  // namespace table
