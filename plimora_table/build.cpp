// plimora-table build: a new store from a text table, for a program folder
// that has none yet. It never replaces a store, which may hold the user's rows.
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/progress.h"
#include "plimora_table/commands.h"
#include "plimora_table/store_file.h"
#include "plimora_table/table_text.h"
#include "store/files.h"
#include "store/store_error.h"
#include "upgrade/file_ops.h"

namespace table {

namespace {

constexpr cli::OptionSpec kOptions[] = {
    kStoreOption,
    {"--table", "", "FILE", "号码表（TSV，如 data/quelto.tsv），必须给出"},
    {"--edition", "", "FILE", "版本说明（默认：号码表旁边的 edition.tsv）"},
    {"--areacodes", "", "FILE", "区号表（默认：号码表旁边的 areacodes.tsv，有就用）"},
    {"--if-missing", "", "", "存储文件已经存在时什么也不做（不算失败）"},
    kHelpOption,
};

constexpr std::string_view kAbout =
    "从文本号码表建立新的存储文件。存储文件已经存在时不会覆盖它（里面可能有您\n"
    "添加的行）：要换成新版本并保留这些行，请用 update。";

}  // namespace

int runBuild(const std::vector<std::string> &words) {
    const auto parsed =
        commandOptions(words, "plimora-table build --table FILE [选项]", kAbout, kOptions);
    if (!parsed) {
        return 0;
    }
    const cli::Options &options = *parsed;
    refuseArguments(options, "build");
    const auto table = options.value("--table");
    if (!table) {
        throw cli::UsageError("build 需要 --table FILE");
    }
    const std::string storePath = storePathOf(options);
    std::error_code noStatus;
    const auto type =
        std::filesystem::symlink_status(store::nativePath(storePath), noStatus).type();
    if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none) {
        if (options.has("--if-missing")) {
            return 0;
        }
        throw cli::Failure(
            storePath,
            "已经存在，里面可能有您添加的行，所以不覆盖它；要换成新版本并保留这些行，"
            "请用 plimora-table update");
    }
    if (!upgrade::canWriteFolder(cli::folderOf(storePath))) {
        throw cli::Failure(storePath, "它所在的文件夹 " + cli::folderOf(storePath) + " 不能写入（" +
                                          cli::describeErrno(errno) + "）");
    }
    const std::string editionPath =
        options.value("--edition").value_or(cli::folderOf(*table) + "/edition.tsv");
    std::error_code noSize;
    cli::Progress progress("正在建立号码表", std::filesystem::file_size(*table, noSize));
    std::size_t rows = 0;
    try {
        rows = buildSysdat(
            *table, storePath, editionPath,
            [&](std::uint64_t done, std::uint64_t) { progress.update(done); },
            options.value("--areacodes").value_or(areaCodesBeside(*table)));
    } catch (const store::StoreError &error) {
        failOnStore(storePath, error);
    }
    progress.finish();
    const store::Edition edition = readEdition(editionPath);
    std::printf("%s：已建立第 %lld 版号码表，共 %zu 行\n", storePath.c_str(),
                edition.serial().value_or(0), rows);
    return 0;
}

}  // namespace table
