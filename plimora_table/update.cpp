// plimora-table update: a new edition of the table, with every row the user
// added carried over (upgrade/edition_update.h does the work), and its report.
#include <cstdio>
#include <optional>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/progress.h"
#include "plimora_table/commands.h"
#include "plimora_table/row_text.h"
#include "plimora_table/table_text.h"
#include "store/text.h"
#include "upgrade/edition_update.h"

namespace table {

namespace {

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    {"--table", "", "FILE", "新版本的号码表（TSV，如 data/quelto.tsv）"},
    {"--edition", "", "FILE", "新版本的版本说明（默认：号码表旁边的 edition.tsv）"},
    {"--areacodes", "", "FILE", "新版本的区号表（默认：号码表旁边的 areacodes.tsv，有就用）"},
    {"--shipped-from", "", "FILE",
     "从另一个存储文件（如新程序文件夹里的 edition.dat）取新版本的号码表"},
    {"--rows-from", "", "FILE", "把另一个 sys.dat（如旧程序文件夹里的）中您添加的行也带过来"},
    {"--if-newer", "", "", "只在新版本比存储文件里的版本新时更新，否则什么也不做"},
    kHelpOption,
};

constexpr std::string_view kAbout =
    "把存储文件换成新版本的号码表，并把您添加的每一行带过去。您的行与新版本\n"
    "重叠时以您的行为准，并在报告中列出新版本的答案。新文件先写在旁边，写完、\n"
    "落盘后才替换原文件；原文件保留为带日期的备份（sys.dat.年月日-时分秒.bak），\n"
    "更早的备份随后删除。新版本来自 --table（文本号码表）或 --shipped-from（另一个\n"
    "存储文件）；两者都不给时沿用存储文件自己的版本，这时通常用 --rows-from 带来\n"
    "旧文件里您的行。程序文件夹里的 edition.dat 比 sys.dat 新时，Plimora 和\n"
    "plimora-table 启动时会自动做同样的更新。";

// The rows of a text table, as the update reads them.
class TableEdition : public upgrade::EditionRows {
public:
    TableEdition(const std::string &table, const std::string &edition, const std::string &areaCodes)
        : m_edition(readEdition(edition)),
          m_table(table),
          m_areaCodes(areaCodes.empty() ? std::nullopt
                                        : std::optional(readAreaCodeTsv(areaCodes))) {}

    const store::Edition &edition() const override { return m_edition; }
    std::uint64_t total() const override { return m_table.size(); }
    void forEach(const std::function<void(const store::Row &, std::uint64_t)> &visit) override {
        store::Row row;
        while (m_table.next(row)) {
            visit(row, m_table.bytesRead());
        }
    }
    std::optional<store::AreaCodes> areaCodes() const override { return m_areaCodes; }

private:
    store::Edition m_edition;
    QueltoTsv m_table;
    std::optional<store::AreaCodes> m_areaCodes;
};

}  // namespace

void printUpdateReport(const upgrade::UpdateReport &report, std::FILE *out) {
    std::string line = report.storePath + "：";
    const long long newSerial = report.edition.serial().value_or(0);
    line += newSerial != report.fromSerial ? "已从第 " + std::to_string(report.fromSerial) +
                                                 " 版更新到" + report.edition.describe()
                                           : "已按" + report.edition.describe() + "重新写入";
    line += "，保留了您添加的 " + std::to_string(report.keptRows) + " 行";
    if (report.rowsFrom) {
        line +=
            "（其中 " + std::to_string(report.broughtOver) + " 行来自 " + *report.rowsFrom + "）";
    }
    line += "；原文件备份为 " + report.backup;
    std::fprintf(out, "%s\n", store::escapedText(line).c_str());
    for (const std::string &removed : report.removedBackups) {
        std::fprintf(out, "已删除较早的备份 %s\n", store::escapedText(removed).c_str());
    }
    if (!report.fromMetadata) {
        std::fprintf(
            out, "原文件没有版本信息：已与第 1 版逐行比对，第 1 版的 %zu 行相同，其余 %zu 行是您的",
            report.firstEditionRows, report.ownRows);
        if (report.changedRows > 0) {
            std::fprintf(out, "（其中 %zu 行是改动过的第 1 版的行，按您的行保留）",
                         report.changedRows);
        }
        if (report.missingRows > 0) {
            std::fprintf(out, "；第 1 版有 %zu 行已不在文件里，这些号码现在由新版本回答",
                         report.missingRows);
        }
        std::fprintf(out, "\n");
    }
    if (!report.overlaps.empty()) {
        std::fprintf(out, "以下您的行，新版本里也有这些号码；查询时以您的行为准：\n");
        for (const auto &[mine, theirs] : report.overlaps) {
            const bool same = mine.province == theirs.province && mine.city == theirs.city &&
                              mine.areaCode == theirs.areaCode && mine.card == theirs.card;
            std::fprintf(out, "  您的：%s    新版本：%s%s\n", describeRow(mine).c_str(),
                         describeRow(theirs).c_str(), same ? "（内容相同）" : "");
        }
    }
    if (!report.clashes.empty()) {
        std::fprintf(out, "注意：以下您自己的行互相重叠，查询时会得到其中任意一行：\n");
        for (const auto &[a, b] : report.clashes) {
            std::fprintf(out, "  %s    与    %s\n", describeRow(a).c_str(), describeRow(b).c_str());
        }
    }
}

int runUpdate(const std::vector<std::string> &words) {
    const auto parsed = commandOptions(words, "plimora-table update [选项]", kAbout, kOptions);
    if (!parsed) {
        return 0;
    }
    const cli::Options &options = *parsed;
    refuseArguments(options, "update");
    const auto tablePath = options.value("--table");
    const auto shippedFrom = options.value("--shipped-from");
    const auto rowsFrom = options.value("--rows-from");
    if (tablePath && shippedFrom) {
        throw cli::UsageError("--table 和 --shipped-from 只能给一个");
    }
    if (options.has("--edition") && !tablePath) {
        throw cli::UsageError("--edition 要和 --table 一起用");
    }
    if (options.has("--areacodes") && !tablePath) {
        throw cli::UsageError("--areacodes 要和 --table 一起用");
    }
    if (!tablePath && !shippedFrom && !rowsFrom) {
        throw cli::UsageError(
            "请用 --table 或 --shipped-from 指明新版本，或用 --rows-from 指明旧文件");
    }

    upgrade::UpdateRequest request;
    request.storePath = storePathOf(options);
    request.rowsFrom = rowsFrom;
    request.ifNewer = options.has("--if-newer");
    std::optional<TableEdition> table;
    std::optional<upgrade::StoreEdition> shipped;
    if (tablePath) {
        table.emplace(
            *tablePath,
            options.value("--edition").value_or(cli::folderOf(*tablePath) + "/edition.tsv"),
            options.value("--areacodes").value_or(areaCodesBeside(*tablePath)));
        request.edition = &*table;
        request.editionFile = *tablePath;
    }
    // The folder's own edition.dat first, so that an update from another
    // source starts from a current store.
    makeFolderCurrent(request.storePath);
    if (shippedFrom) {
        shipped.emplace(*shippedFrom);
        request.edition = &*shipped;
        request.editionFile = *shippedFrom;
    }
    std::optional<cli::Progress> progress;
    request.progress = [&](std::uint64_t done, std::uint64_t total) {
        if (!progress) {
            progress.emplace("正在写入新的号码表", total);
        }
        progress->update(done);
    };
    const upgrade::UpdateReport report = upgrade::updateStore(request);
    if (progress) {
        progress->finish();
    }
    if (report.updated) {
        printUpdateReport(report, stdout);
    }
    return 0;
}

}  // namespace table
