// plimora-table lookup: a whole list of numbers looked up at once, from
// plain lists or CSV/TSV tables, with the answer the lookup window gives for
// each number. The table is read into memory once; the input is streamed, so
// a list of any length takes the same memory.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/progress.h"
#include "plimora_table/cli/table_reader.h"
#include "plimora_table/cli/table_writer.h"
#include "plimora_table/cli/text_output.h"
#include "plimora_table/commands.h"
#include "plimora_table/number_kind.h"
#include "plimora_table/prefix_table.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/text.h"

namespace table {

namespace {

namespace schema = store::schema;

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    {"--output", "-o", "FILE", "写到这个文件（默认：标准输出）"},
    {"--column", "-c", "COLUMN", "号码所在的列：第一行里的列名，或从 1 开始的列号"},
    {"--header", "", "", "第一行是列名（默认：号码列里没有数字就当作列名）"},
    {"--no-header", "", "", "第一行就是号码，没有列名"},
    {"--format", "", "csv|tsv", "输出的格式（默认：与输入相同）"},
    {"--bom", "", "", "UTF-8 输出的开头加 BOM，Excel 靠它认出 UTF-8"},
    {"--encoding", "", "utf-8|gb18030", "输出的文字编码（默认：utf-8）"},
    {"--only", "", "手机", "只回答手机号码，其他号码照旧记为无效"},
    kHelpOption,
};

constexpr std::string_view kAbout =
    "查询一批号码的归属地。FILE 是 UTF-8 的号码清单（每行一个号码）或 CSV/TSV\n"
    "表格（按扩展名 .csv/.tsv，否则按第一行里的分隔符判断）；不给 FILE 或 FILE\n"
    "为 - 时读标准输入，给多个 FILE 时依次读。\n"
    "\n"
    "每个输入行输出一行，顺序不变：原有的各列原样保留，后面加上 省份、城市、区号、\n"
    "卡信息 和 状态（找到 / 未找到 / 无效：原因）。号码可以带空格、横线、点、括号、\n"
    "+86、0086 或 86，可以是全角数字。手机号码的答案与查询窗口对同一个号码的答案\n"
    "相同，也包括您自己添加的行。此外还回答：带区号的固定电话（卡信息 固定电话，\n"
    "本地号码位数须与区号相符）、400/800 号码、运营商客服号码和 95xxx/96xxx 服务号码、\n"
    "香港/澳门/台湾号码（+852、+853、+886）和其他国家的号码（境外号码（+国家代码））。\n"
    "都不是的记为无效并写明原因，不做猜测；--only 手机 只回答手机号码。没有列名的\n"
    "清单，输出的第一行是 号码 和这五列的列名。\n"
    "\n"
    "表格有多列时用 --column 指明号码列（只有一列名像 手机、电话、号码 时可以不指明）。\n"
    "结束时在标准错误上输出统计：各状态的行数，各类号码的个数，最多的省份和卡信息。\n"
    "\n"
    "查到的文字以 = + - @、制表符或回车开头时，前面加一个 ' ，表格软件就不会把它当作\n"
    "公式执行；原有的各列照原样写出。\n"
    "\n"
    "用 -o 写到文件时先写临时文件，全部写完再改名，失败时不会留下不完整的文件；\n"
    "只读的文件不会被覆盖，管道和设备（如 /dev/stdout）直接写入。\n"
    "写到标准输出时无法撤回，失败时可能已经写出了一部分。";

// Header names that say a column holds phone numbers.
constexpr std::array<std::string_view, 6> kNumberColumnWords = {"手机",  "电话",   "号码",
                                                                "phone", "mobile", "tel"};
constexpr std::string_view kNumberColumnName = "号码";
constexpr std::string_view kFound = "找到";
constexpr std::string_view kNotFound = "未找到";
constexpr std::string_view kInvalid = "无效：";
constexpr std::string_view kStatusColumn = "状态";
constexpr std::size_t kTopCount = 10;
constexpr std::size_t kRecordsPerProgress = 4096;
constexpr std::size_t kCachedDigits = 32;
constexpr std::string_view kOnlyMobiles = "手机";

// Which kinds a lookup answers: with --only 手机 every number that is no
// mobile gets the mobile rules' answer, as the windows give it.
enum class Answered { EveryKind, MobilesOnly };

std::string joined(const std::vector<std::string> &names) {
    std::string text;
    for (const std::string &name : names) {
        text += (text.empty() ? "" : "、") + name;
    }
    return text;
}

// A column given as --column: a number from 1, or a name in the header.
struct ColumnChoice {
    std::optional<std::size_t> index;  // from 0
    std::string name;
};

ColumnChoice columnChoice(const std::optional<std::string> &value) {
    ColumnChoice choice;
    if (!value) {
        return choice;
    }
    if (value->empty()) {
        throw cli::UsageError("--column 需要列名或列号");
    }
    if (value->find_first_not_of("0123456789") == std::string::npos) {
        const unsigned long number = value->size() > 9 ? 0 : std::stoul(*value);
        if (number == 0) {
            throw cli::UsageError("--column 的列号从 1 开始：" + *value);
        }
        choice.index = number - 1;
    } else {
        choice.name = *value;
    }
    return choice;
}

// An input: a file, or standard input for "-".
struct Input {
    std::string path;
    std::string name;  // for messages
    std::unique_ptr<std::ifstream> file;
    std::istream *stream = nullptr;
    std::uint64_t size = 0;  // bytes of a regular file, 0 when unknown
};

Input openInput(const std::string &path) {
    Input input;
    input.path = path;
    if (path == "-") {
        input.name = "标准输入";
        input.stream = &std::cin;
        return input;
    }
    input.name = path;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        throw cli::unreadable(path, errno);
    }
    if (S_ISDIR(status.st_mode)) {
        throw cli::Failure(path, "这是一个文件夹，不是号码清单或表格");
    }
    if (S_ISREG(status.st_mode)) {
        input.size = static_cast<std::uint64_t>(status.st_size);
    }
    input.file = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!*input.file) {
        throw cli::unreadable(path, errno);
    }
    input.stream = input.file.get();
    return input;
}

// Counts for the summary.
struct Tally {
    std::uint64_t rows = 0;
    std::uint64_t found = 0;
    std::uint64_t notFound = 0;
    std::map<store::NumberProblem, std::uint64_t> problems;
    // Reasons of numbers that are no mobile, by their short name.
    std::map<std::string_view, std::uint64_t> otherProblems;
    std::vector<std::uint64_t> perAnswer;  // by the table's answer index
    std::uint64_t mobiles = 0;             // found or not
    // The numbers of each kind but Mobile, and the places and cards they
    // were answered with.
    std::map<NumberKind, std::uint64_t> kinds;
    std::map<std::string, std::uint64_t> otherProvinces;
    std::map<std::string, std::uint64_t> otherCards;
    // Numbers with an area code answered as invalid because the store has
    // no area-code table.
    std::uint64_t lackingAreaCodes = 0;
};

class Lookup {
public:
    // Writes in format, or when there is none in the format of the first
    // input; header says whether first lines are headers (nullopt: decide
    // from the line).
    Lookup(PrefixTable &table, cli::TextOutput &output, std::optional<cli::Dialect> format,
           ColumnChoice column, std::optional<bool> header, Answered answered)
        : m_table(table),
          m_output(output),
          m_format(format),
          m_column(std::move(column)),
          m_header(header),
          m_answered(answered) {}

    void read(Input &input);
    const Tally &tally() const { return m_tally; }

private:
    void begin(const Input &input, const cli::TableReader &reader,
               const std::vector<std::string> &first, bool isHeader);
    void writeRow(const Input &input, const cli::TableReader &reader,
                  const std::vector<std::string> &fields);
    // Appends field to out; what names it in the message when TSV cannot
    // hold it (column: the column's number, from 1, or 0).
    void appendField(std::string &out, const Input &input, std::size_t line, std::string_view field,
                     std::string_view what, std::size_t column = 0) const;
    const std::string &foundTail(const Input &input, std::size_t line, std::uint32_t answer);
    // The empty texts and the status of a number that is not one.
    const std::string &invalidTail(const store::MobileNumber &number);
    // Appends the tail of a number that is no mobile (number says why) and
    // counts it.
    void appendOtherTail(std::string &out, const Input &input, std::size_t line,
                         std::string_view cell, const store::MobileNumber &number);
    // Tells the table how many numbers the input is known to hold: the rows
    // so far, the records of this input read (from 1) and those in the bytes
    // the reader holds ahead, counted at this input's bytes per record.
    void expectFrom(const cli::TableReader &reader, std::uint64_t records);
    std::size_t numberColumn(const Input &input, const std::vector<std::string> &first) const;

    PrefixTable &m_table;
    cli::TextOutput &m_output;
    std::optional<cli::Dialect> m_format;
    cli::Dialect m_dialect;
    ColumnChoice m_column;
    std::optional<bool> m_header;  // nullopt: decided by the first line
    Answered m_answered;
    bool m_begun = false;
    std::size_t m_index = 0;  // the number column
    std::size_t m_width = 0;  // fields of the first line, to which shorter lines are padded
    std::optional<std::vector<std::string>> m_firstHeader;
    std::string m_firstName;
    std::string m_notFoundTail;
    std::vector<std::string> m_foundTails;  // by answer index; "" until first used
    // The tails of invalid numbers, by problem and number of digits (below
    // kCachedDigits); "" until first used.
    std::vector<std::string> m_invalidTails;
    std::string m_line;
    Tally m_tally;
};

std::size_t Lookup::numberColumn(const Input &input, const std::vector<std::string> &first) const {
    if (m_column.index) {
        if (*m_column.index >= first.size()) {
            throw cli::Failure(input.name, 1,
                               "只有 " + std::to_string(first.size()) + " 列，没有第 " +
                                   std::to_string(*m_column.index + 1) + " 列");
        }
        return *m_column.index;
    }
    std::vector<std::string> names;
    for (const std::string &field : first) {
        names.emplace_back(store::trimSpaces(field));
    }
    if (!m_column.name.empty()) {
        const auto found = std::find(names.begin(), names.end(), m_column.name);
        if (found == names.end()) {
            throw cli::Failure(
                input.name, 1,
                "第一行里没有名为 " + m_column.name + " 的列；列名有：" + joined(names));
        }
        return static_cast<std::size_t>(found - names.begin());
    }
    if (first.size() == 1) {
        return 0;
    }
    std::vector<std::size_t> candidates;
    if (m_header.value_or(true)) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string name = store::asciiLower(names[i]);
            if (std::any_of(
                    kNumberColumnWords.begin(), kNumberColumnWords.end(),
                    [&](std::string_view word) { return name.find(word) != std::string::npos; })) {
                candidates.push_back(i);
            }
        }
    }
    if (candidates.size() != 1) {
        throw cli::UsageError(input.name + " 有 " + std::to_string(first.size()) + " 列（" +
                              joined(names) +
                              "），请用 --column 指明号码所在的列（列名或从 1 开始的列号）");
    }
    return candidates.front();
}

void Lookup::begin(const Input &input, const cli::TableReader &reader,
                   const std::vector<std::string> &first, bool isHeader) {
    m_begun = true;
    m_dialect = m_format.value_or(reader.dialect());
    m_notFoundTail = std::string(5, m_dialect.separator) + std::string(kNotFound);
    m_firstName = input.name;
    m_width = first.size();
    m_line.clear();
    const std::size_t line = reader.line();
    for (std::size_t i = 0; i < m_width; ++i) {
        if (i > 0) {
            m_line += m_dialect.separator;
        }
        if (isHeader) {
            appendField(m_line, input, line, first[i], "列名");
        } else if (i == m_index) {
            m_line += kNumberColumnName;
        } else {
            m_line += "列" + std::to_string(i + 1);
        }
    }
    for (const std::string_view name :
         {schema::kProvince, schema::kCity, schema::kAreaCode, schema::kCard, kStatusColumn}) {
        m_line += m_dialect.separator;
        m_line += name;
    }
    m_line += '\n';
    m_output.write(m_line);
    if (isHeader) {
        m_firstHeader.emplace();
        for (const std::string &field : first) {
            m_firstHeader->emplace_back(store::trimSpaces(field));
        }
    }
}

void Lookup::appendField(std::string &out, const Input &input, std::size_t line,
                         std::string_view field, std::string_view what, std::size_t column) const {
    if (!cli::appendField(out, field, m_dialect)) {
        const std::string where =
            column == 0 ? std::string(what) : "第 " + std::to_string(column) + " 列";
        throw cli::Failure(input.name, line,
                           where + "含有制表符或换行，TSV 写不下；请用 --format csv");
    }
}

const std::string &Lookup::foundTail(const Input &input, std::size_t line, std::uint32_t answer) {
    if (answer >= m_foundTails.size()) {
        m_foundTails.resize(m_table.answerCount());
        m_tally.perAnswer.resize(m_table.answerCount());
    }
    std::string &tail = m_foundTails[answer];
    if (tail.empty()) {
        const Answer &texts = m_table.answer(answer);
        for (const std::string *text :
             {&texts.province, &texts.city, &texts.areaCode, &texts.card}) {
            tail += m_dialect.separator;
            appendField(tail, input, line, cli::inertField(*text), "查到的文字");
        }
        tail += m_dialect.separator;
        tail += kFound;
    }
    return tail;
}

const std::string &Lookup::invalidTail(const store::MobileNumber &number) {
    const std::size_t digits = std::min(number.digits.size(), kCachedDigits - 1);
    const std::size_t index = static_cast<std::size_t>(number.problem) * kCachedDigits + digits;
    if (index >= m_invalidTails.size()) {
        m_invalidTails.resize(index + 1);
    }
    std::string &tail = m_invalidTails[index];
    // The last slot stands for every longer number, which gets its text
    // afresh.
    if (tail.empty() || digits == kCachedDigits - 1) {
        tail = std::string(5, m_dialect.separator) + std::string(kInvalid) +
               store::problemText(number);
    }
    return tail;
}

void Lookup::appendOtherTail(std::string &out, const Input &input, std::size_t line,
                             std::string_view cell, const store::MobileNumber &number) {
    if (m_answered == Answered::MobilesOnly) {
        ++m_tally.problems[number.problem];
        out += invalidTail(number);
        return;
    }
    const NumberAnswer answer = readNumber(cell, m_table.areaCodes());
    if (answer.kind == NumberKind::Invalid) {
        if (answer.lacksAreaCodes) {
            ++m_tally.lackingAreaCodes;
        }
        if (answer.reason.empty()) {
            ++m_tally.problems[answer.mobile.problem];
            out += invalidTail(answer.mobile);
        } else {
            ++m_tally.otherProblems[answer.reasonName];
            out += std::string(5, m_dialect.separator) + std::string(kInvalid) + answer.reason;
        }
        return;
    }
    for (const std::string *text :
         {&answer.province, &answer.city, &answer.areaCode, &answer.card}) {
        out += m_dialect.separator;
        appendField(out, input, line, cli::inertField(*text), "查到的文字");
    }
    out += m_dialect.separator;
    out += kFound;
    ++m_tally.found;
    ++m_tally.kinds[answer.kind];
    if (!answer.province.empty()) {
        ++m_tally.otherProvinces[answer.province];
    }
    ++m_tally.otherCards[answer.card];
}

void Lookup::writeRow(const Input &input, const cli::TableReader &reader,
                      const std::vector<std::string> &fields) {
    const std::size_t line = reader.line();
    // The row is built where the output keeps what it has not written yet,
    // and taken back when a field cannot be written.
    std::string &out = m_output.pending();
    const std::size_t start = out.size();
    try {
        const std::size_t width = std::max(m_width, fields.size());
        for (std::size_t i = 0; i < width; ++i) {
            if (i > 0) {
                out += m_dialect.separator;
            }
            if (i < fields.size()) {
                appendField(out, input, line, fields[i], "", i + 1);
            }
        }
        const std::string_view cell =
            m_index < fields.size() ? fields[m_index] : std::string_view();
        const store::MobileNumber number = store::readMobileNumber(cell);
        if (number.problem != store::NumberProblem::None) {
            appendOtherTail(out, input, line, cell, number);
        } else if (const std::uint32_t answer = m_table.find(number.key, number.digits);
                   answer == PrefixTable::kNotFound) {
            ++m_tally.notFound;
            out += m_notFoundTail;
        } else {
            out += answer < m_foundTails.size() && !m_foundTails[answer].empty()
                       ? m_foundTails[answer]
                       : foundTail(input, line, answer);
            ++m_tally.found;
            ++m_tally.perAnswer[answer];
        }
        if (number.problem == store::NumberProblem::None) {
            ++m_tally.mobiles;
        }
        out += '\n';
    } catch (...) {
        out.resize(start);
        throw;
    }
    ++m_tally.rows;
    try {
        m_output.appended();
    } catch (const cli::Failure &failure) {
        throw cli::Failure(failure.file(), failure.message() + "（正在写 " + input.name + " 第 " +
                                               std::to_string(line) + " 行的结果）");
    }
}

void Lookup::expectFrom(const cli::TableReader &reader, std::uint64_t records) {
    const std::uint64_t ahead =
        reader.bytesAhead() * records / std::max<std::uint64_t>(1, reader.bytesRead());
    m_table.expect(m_tally.rows + 1 + ahead);
}

void Lookup::read(Input &input) {
    cli::TableReader reader(*input.stream, input.name, cli::kTsv);
    reader.keepEmptyLines();
    reader.guessDialectFrom(input.path);
    cli::Progress progress("正在查询 " + input.name + (input.size ? "" : "，已读行数"), input.size);
    std::vector<std::string> fields;
    if (!reader.next(fields)) {
        if (!m_begun) {
            m_index = 0;
            begin(input, reader, {""}, false);
        }
        return;
    }
    if (!m_begun) {
        m_index = numberColumn(input, fields);
    }
    const std::string_view cell = m_index < fields.size() ? fields[m_index] : std::string_view();
    const bool isHeader =
        m_header.value_or(!m_column.name.empty() ||
                          (store::digitsOf(cell).empty() && !store::trimSpaces(cell).empty()));
    if (!m_begun) {
        begin(input, reader, fields, isHeader);
    } else if (isHeader && m_firstHeader) {
        std::vector<std::string> names;
        for (const std::string &field : fields) {
            names.emplace_back(store::trimSpaces(field));
        }
        if (names != *m_firstHeader) {
            throw cli::Failure(input.name, reader.line(),
                               "列名与 " + m_firstName + " 的不同（" + joined(names) + "）");
        }
    }
    if (!isHeader) {
        expectFrom(reader, 1);
        writeRow(input, reader, fields);
    }
    std::size_t records = 0;
    while (reader.next(fields)) {
        if (!m_table.wholeTable()) {
            expectFrom(reader, records + 1);
        }
        writeRow(input, reader, fields);
        if (++records % kRecordsPerProgress == 0) {
            progress.update(input.size ? reader.bytesRead() : records);
        }
    }
}

std::string topList(const std::map<std::string, std::uint64_t> &counts) {
    std::vector<std::pair<std::string, std::uint64_t>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto &a, const auto &b) { return a.second > b.second; });
    std::string text;
    for (std::size_t i = 0; i < sorted.size() && i < kTopCount; ++i) {
        text += (i == 0 ? "" : "，") +
                (sorted[i].first.empty() ? "(空)" : store::escapedText(sorted[i].first)) + " " +
                std::to_string(sorted[i].second);
    }
    if (sorted.size() > kTopCount) {
        text += "，……（共 " + std::to_string(sorted.size()) + " 种）";
    }
    return text;
}

void printSummary(const Tally &tally, const PrefixTable &table, const cli::TextOutput &output) {
    std::fprintf(stderr, "共 %llu 行：找到 %llu，未找到 %llu，无效 %llu\n",
                 static_cast<unsigned long long>(tally.rows),
                 static_cast<unsigned long long>(tally.found),
                 static_cast<unsigned long long>(tally.notFound),
                 static_cast<unsigned long long>(tally.rows - tally.found - tally.notFound));
    if (!tally.kinds.empty()) {
        std::string kinds;
        for (const NumberKind kind : kCountedKinds) {
            const auto found = tally.kinds.find(kind);
            const std::uint64_t count = kind == NumberKind::Mobile
                                            ? tally.mobiles
                                            : (found == tally.kinds.end() ? 0 : found->second);
            if (count > 0) {
                kinds += (kinds.empty() ? "" : "，") + std::string(kindName(kind)) + " " +
                         std::to_string(count);
            }
        }
        std::fprintf(stderr, "  类别：%s\n", kinds.c_str());
    }
    if (!tally.problems.empty() || !tally.otherProblems.empty()) {
        std::string reasons;
        for (const auto &[problem, count] : tally.problems) {
            reasons += (reasons.empty() ? "" : "，") + std::string(store::problemName(problem)) +
                       " " + std::to_string(count);
        }
        for (const auto &[name, count] : tally.otherProblems) {
            reasons +=
                (reasons.empty() ? "" : "，") + std::string(name) + " " + std::to_string(count);
        }
        std::fprintf(stderr, "  无效的原因：%s\n", reasons.c_str());
    }
    std::map<std::string, std::uint64_t> provinces = tally.otherProvinces;
    std::map<std::string, std::uint64_t> cards = tally.otherCards;
    for (std::size_t i = 0; i < tally.perAnswer.size(); ++i) {
        if (tally.perAnswer[i] > 0) {
            const Answer &answer = table.answer(static_cast<std::uint32_t>(i));
            provinces[answer.province] += tally.perAnswer[i];
            cards[answer.card] += tally.perAnswer[i];
        }
    }
    if (!provinces.empty()) {
        std::fprintf(stderr, "  省份：%s\n", topList(provinces).c_str());
        std::fprintf(stderr, "  卡信息：%s\n", topList(cards).c_str());
    }
    if (table.storeLookups() > 0) {
        std::fprintf(stderr,
                     "  注意：号码表里%s，%zu 个号码前缀按查询窗口的查询逐个回答"
                     "（用 plimora-table check 查看）\n",
                     table.everyKeyFromStore() ? "有的 号码1/号码2 不是数字" : "有重叠的号码段",
                     table.storeLookups());
    }
    if (tally.lackingAreaCodes > 0) {
        std::fprintf(
            stderr,
            "  注意：号码表里没有区号表（它是较早的版本），%llu 个带区号的号码照旧记为无效；"
            "plimora-table update 或启动 Plimora 会把它更新\n",
            static_cast<unsigned long long>(tally.lackingAreaCodes));
    }
    if (!output.toStandardOutput()) {
        std::fprintf(stderr, "结果已写入 %s\n", store::escapedText(output.name()).c_str());
    }
}

}  // namespace

int runLookup(const std::vector<std::string> &words) {
    const auto parsed =
        commandOptions(words, "plimora-table lookup [选项] [FILE...]", kAbout, kOptions);
    if (!parsed) {
        return 0;
    }
    const cli::Options &options = *parsed;
    if (options.has("--header") && options.has("--no-header")) {
        throw cli::UsageError("--header 和 --no-header 只能给一个");
    }
    const ColumnChoice column = columnChoice(options.value("--column"));
    std::optional<bool> header;
    if (options.has("--header")) {
        header = true;
    } else if (options.has("--no-header")) {
        if (!column.name.empty()) {
            throw cli::UsageError("按列名选列（--column " + column.name +
                                  "）时第一行必须是列名，不能同时给 --no-header");
        }
        header = false;
    }
    std::optional<cli::Dialect> format;
    if (const auto name = options.value("--format")) {
        const std::string key = store::asciiLower(*name);
        if (key != "csv" && key != "tsv") {
            throw cli::UsageError("--format 只能是 csv 或 tsv：" + *name);
        }
        format = key == "csv" ? cli::kCsv : cli::kTsv;
    }
    auto encoding = cli::OutputEncoding::Utf8;
    if (const auto name = options.value("--encoding")) {
        const auto named = cli::encodingNamed(*name);
        if (!named) {
            throw cli::UsageError("--encoding 只能是 utf-8 或 gb18030：" + *name);
        }
        encoding = *named;
    }
    if (options.has("--bom")) {
        if (encoding != cli::OutputEncoding::Utf8) {
            throw cli::UsageError("--bom 只用于 UTF-8 输出，不能与 --encoding gb18030 同用");
        }
        encoding = cli::OutputEncoding::Utf8WithBom;
    }
    Answered answered = Answered::EveryKind;
    if (const auto only = options.value("--only")) {
        if (*only != kOnlyMobiles) {
            throw cli::UsageError("--only 只能是 " + std::string(kOnlyMobiles) + "：" + *only);
        }
        answered = Answered::MobilesOnly;
    }
    std::vector<std::string> paths = options.arguments();
    if (paths.empty()) {
        paths.push_back("-");
    }
    if (std::count(paths.begin(), paths.end(), "-") > 1) {
        throw cli::UsageError("标准输入（-）只能读一次");
    }
    if (std::find(paths.begin(), paths.end(), "-") != paths.end()) {
        // Gives std::cin a buffer of its own instead of one character at a
        // time through C's stdin.
        std::ios::sync_with_stdio(false);
    }

    refuseStoreAsOutput(options.value("--output"), storePathOf(options));
    Input first = openInput(paths.front());
    PrefixTable table(currentStorePath(options));
    const std::string outputPath = options.value("--output").value_or("-");
    cli::TextOutput output(outputPath, encoding);

    Lookup lookup(table, output, format, column, header, answered);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Input input = i == 0 ? std::move(first) : openInput(paths[i]);
        try {
            lookup.read(input);
        } catch (const std::ios_base::failure &error) {
            throw cli::Failure(input.name, "读取失败：" + cli::describeErrno(error.code().value()));
        }
    }
    output.commit();
    printSummary(lookup.tally(), table, output);
    return 0;
}

}  // namespace table
