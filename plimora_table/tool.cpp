// plimora-table: picks the sub-command, shows --help, and turns every way a
// command can stop short into a message on stderr and an exit code.
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/command.h"
#include "plimora_table/cli/exit_codes.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/commands.h"
#include "plimora_table/store_file.h"
#include "store/database.h"
#include "store/store_error.h"
#include "store/store_writer.h"

namespace table {

namespace {

struct Command {
    std::string_view name;
    int (*run)(const std::vector<std::string> &);
};

constexpr Command kCommands[] = {
    {"update", runUpdate}, {"import", runImport}, {"export", runExport},
    {"check", runCheck},   {"build", runBuild},   {"lookup", runLookup},
};

constexpr std::string_view kExitCodes =
    "退出码：\n"
    "  0  成功（check：没有发现问题）\n"
    "  1  失败，或 check 发现了问题；原因写在标准错误上\n"
    "  2  命令行用法错误\n";

constexpr std::string_view kToolHelp =
    "用法：plimora-table <子命令> [选项]\n"
    "\n"
    "管理 Plimora 的号码表文件 sys.dat：换成新版本的号码表时保留您自己添加的行，\n"
    "导入、导出您的行，检查文件；一次查询一批号码。\n"
    "\n"
    "子命令：\n"
    "  update   换成新版本的号码表，保留您添加的行（原文件留作备份）\n"
    "  import   从 UTF-8 的 TSV 或 CSV 文件导入您的行（要么全部导入，要么一行不导入）\n"
    "  export   把您添加的行（或整个表）导出为 TSV\n"
    "  check    检查一个 sys.dat，列出其中的问题\n"
    "  build    从文本号码表建立新的 sys.dat（已有的文件不会被覆盖）\n"
    "  lookup   查询号码清单或表格里每个号码的归属地，答案与查询窗口相同\n"
    "\n"
    "每个子命令都接受 --store PATH（默认：本程序旁边的 sys.dat）和 --help；\n"
    "用 plimora-table <子命令> --help 查看它的全部选项；plimora-table --version 显示版本。\n"
    "\n";

}  // namespace

std::string defaultStorePath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return "sys.dat";
    }
    return cli::folderOf(std::string(path, static_cast<std::size_t>(length))) + "/sys.dat";
}

std::string storePathOf(const cli::Options &options) {
    return options.value("--store").value_or(defaultStorePath());
}

std::string commandHelp(std::string_view usage, std::string_view about,
                        std::span<const cli::OptionSpec> options) {
    return cli::commandHelp(usage, about, options, kExitCodes);
}

std::optional<cli::Options> commandOptions(const std::vector<std::string> &words,
                                           std::string_view usage, std::string_view about,
                                           std::span<const cli::OptionSpec> options) {
    cli::Options parsed = cli::parseOptions(words, options);
    if (parsed.has("--help")) {
        std::fputs(commandHelp(usage, about, options).c_str(), stdout);
        return std::nullopt;
    }
    return parsed;
}

void refuseArguments(const cli::Options &options, std::string_view command) {
    if (!options.arguments().empty()) {
        throw cli::UsageError(std::string(command) + " 不接受参数：" + options.arguments().front());
    }
}

int run(int argc, char **argv) {
    // A file-size limit (ulimit -f) then shows as a write error with a message
    // instead of killing the tool halfway through a file; likewise a closed
    // pipe (plimora-table lookup big.csv | head -1).
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    store::setUpEngine();
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::fprintf(stderr, "%s%s", kToolHelp.data(), kExitCodes.data());
        return cli::kExitUsage;
    }
    const std::string &name = words.front();
    if (name == "--help" || name == "-h" || name == "help") {
        std::printf("%s%s", kToolHelp.data(), kExitCodes.data());
        return cli::kExitOk;
    }
    if (name == "--version") {
        std::printf("%s\n", store::builtBy().c_str());
        return cli::kExitOk;
    }
    const Command *command = nullptr;
    for (const Command &candidate : kCommands) {
        if (candidate.name == name) {
            command = &candidate;
        }
    }
    const std::string helpCommand = "plimora-table" + (command ? " " + name : std::string());
    return cli::runReporting("plimora-table", helpCommand, [&] {
        if (!command) {
            throw cli::UsageError("不认识的子命令 \"" + name + "\"");
        }
        try {
            return command->run(std::vector<std::string>(words.begin() + 1, words.end()));
        } catch (const store::StoreError &error) {
            throw cli::Failure("", storeErrorText(error.number(), error.description()));
        }
    });
}

}  // namespace table
