// plimora-table export: the user's own rows (or the whole table) as a text
// table, for a backup or for another machine; import reads it back.
#include <cstdio>
#include <optional>

#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/text_output.h"
#include "plimora_table/commands.h"
#include "plimora_table/row_text.h"
#include "plimora_table/store_file.h"
#include "store/schema.h"
#include "store/text.h"

namespace table {

namespace {

namespace schema = store::schema;

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    {"--output", "-o", "FILE", "写到这个文件（默认：标准输出）"},
    {"--all", "", "", "导出整个表，而不只是您添加的行"},
    kHelpOption,
};

constexpr std::string_view kAbout =
    "把您添加的行导出为 TSV（UTF-8，制表符分隔，第一行是列名），用于备份或搬到\n"
    "另一台电脑；import 可以原样读回。加 --all 导出整个表。写到文件时先写临时\n"
    "文件，写完再改名，所以不会留下只写了一半的文件；只读的文件不会被覆盖。";

// Writes the rows as TSV to out. Throws cli::Failure naming the store for a
// text that a TSV line cannot hold (a tab or a line break in it), and as
// cli::TextOutput does.
void writeRows(cli::TextOutput &out, const std::vector<StoredRow> &rows,
               const std::string &storePath) {
    out.write(schema::kTsvHeader);
    out.write("\n");
    std::string line;
    for (const StoredRow &stored : rows) {
        line.clear();
        for (std::size_t i = 0; i < store::Row::kColumnCount; ++i) {
            const std::string text = store::toText(stored.row.column(i));
            if (text.find_first_of("\t\r\n") != std::string::npos) {
                throw cli::Failure(storePath, "第 " + std::to_string(stored.id) + " 行的 " +
                                                  std::string(schema::kColumns[i]) +
                                                  " 含有制表符或换行，无法写成 TSV");
            }
            line += (i == 0 ? "" : "\t") + text;
        }
        line += '\n';
        out.write(line);
    }
}

}  // namespace

int runExport(const std::vector<std::string> &words) {
    const auto parsed = commandOptions(words, "plimora-table export [选项]", kAbout, kOptions);
    if (!parsed) {
        return 0;
    }
    const cli::Options &options = *parsed;
    refuseArguments(options, "export");
    const std::string storePath = currentStorePath(options);
    refuseStoreAsOutput(options.value("--output"), storePath);
    const StoreFile store(storePath, StoreFile::Access::Read);
    std::vector<StoredRow> rows;
    if (options.has("--all")) {
        try {
            forEachRow(store.db(), schema::kSelectRowsInOrder, -1,
                       [&](const StoredRow &row) { rows.push_back(row); });
        } catch (const store::StoreError &error) {
            store.fail(error);
        }
    } else {
        rows = readHoldings(store).userRows;
    }

    const auto output = options.value("--output");
    cli::TextOutput out(output.value_or("-"), cli::OutputEncoding::Utf8);
    writeRows(out, rows, storePath);
    out.commit();
    std::fprintf(stderr, "已导出 %zu 行%s%s\n", rows.size(),
                 options.has("--all") ? "（整个表）" : "（您添加的行）",
                 out.toStandardOutput() ? "" : ("到 " + store::escapedText(out.name())).c_str());
    return 0;
}

}  // namespace table
