// plimora-table: picks the sub-command, shows --help, and turns every way a
// command can stop short into a message on stderr and an exit code.
#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/command.h"
#include "plimora_table/cli/exit_codes.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/progress.h"
#include "plimora_table/commands.h"
#include "plimora_table/store_file.h"
#include "store/database.h"
#include "store/files.h"
#include "store/store_error.h"
#include "store/store_writer.h"
#include "store/text.h"
#include "upgrade/folder_step.h"

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
    "用法：plimora-table [--store PATH] <子命令> [选项]\n"
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
    "每个子命令都接受 --store PATH（默认：本程序旁边的 sys.dat）和 --help，写在子命令\n"
    "前后都可以；用 plimora-table <子命令> --help 查看它的全部选项；\n"
    "plimora-table --version 显示版本。\n"
    "\n";

bool isHelp(std::string_view word) {
    return word == kHelpOption.name || word == kHelpOption.shortName;
}

// Where the command's name is in words: after the options every command
// takes (--store PATH, --store=PATH, --help), which may come before it; at
// words.size() when there is none.
std::size_t commandAt(const std::vector<std::string> &words) {
    const std::string storeWithValue = std::string(kStoreOption.name) + "=";
    std::size_t at = 0;
    while (at < words.size()) {
        const std::string &word = words[at];
        if (word == kStoreOption.name) {
            at += 2;
        } else if (word.starts_with(storeWithValue) || isHelp(word)) {
            ++at;
        } else {
            break;
        }
    }
    return std::min(at, words.size());
}

}  // namespace

namespace {

// The path of the running program, or "" when the system cannot say.
std::string programFile() {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return store::pathText(std::filesystem::path(path));
        }
        path.resize(path.size() * 2);
    }
#else
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length <= 0 ? std::string() : std::string(path, static_cast<std::size_t>(length));
#endif
}

}  // namespace

std::string defaultStorePath() {
    const std::string program = programFile();
    const std::string name(upgrade::kStoreName);
    return program.empty() ? name : store::joinPath(store::folderOf(program), name);
}

std::string storePathOf(const cli::Options &options) {
    return options.value("--store").value_or(defaultStorePath());
}

void refuseStoreAsOutput(const std::optional<std::string> &output, const std::string &storePath) {
    if (output && *output != "-" && cli::sameFile(*output, storePath)) {
        throw cli::Failure(*output,
                           "这是号码表文件 " + storePath +
                               " 本身，写到这里会用文本表格换掉您的号码表；请换一个文件名");
    }
}

std::string currentStorePath(const cli::Options &options) {
    const std::string storePath = storePathOf(options);
    makeFolderCurrent(storePath);
    return storePath;
}

void makeFolderCurrent(const std::string &storePath) {
    if (store::fileName(storePath) != upgrade::kStoreName) {
        return;
    }
    std::optional<cli::Progress> progress;
    const upgrade::FolderState state = upgrade::makeCurrent(
        store::folderOf(storePath), [&](std::uint64_t done, std::uint64_t total) {
            if (!progress) {
                progress.emplace("正在把号码表更新到 edition.dat 的版本", total);
            }
            progress->update(done);
        });
    if (progress) {
        progress->finish();
    }
    using Outcome = upgrade::FolderState::Outcome;
    switch (state.outcome) {
        case Outcome::Updated:
            printUpdateReport(state.report, stderr);
            break;
        case Outcome::EditionUnusable:
            std::fprintf(stderr, "plimora-table: %s；没有用它更新 %s\n", state.failure->what(),
                         store::escapedText(storePath).c_str());
            break;
        case Outcome::NotUpdated:
            std::fprintf(stderr, "plimora-table: 没能把 %s 更新到 edition.dat 的%s：%s\n",
                         store::escapedText(storePath).c_str(), state.edition.describe().c_str(),
                         state.failure->what());
            break;
        case Outcome::NotCreated:
            std::fprintf(stderr, "plimora-table: 没能从 edition.dat 建立 %s：%s\n",
                         store::escapedText(storePath).c_str(), state.failure->what());
            break;
        default:
            // A store that cannot be read is reported by the command that
            // opens it.
            break;
    }
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
#ifdef _WIN32
    // The tool's texts are UTF-8, as its file names are (its manifest sets
    // the process's code page).
    ::SetConsoleOutputCP(CP_UTF8);
#else
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
#endif
    store::setUpEngine();
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::fprintf(stderr, "%s%s", kToolHelp.data(), kExitCodes.data());
        return cli::kExitUsage;
    }
    if (words.front() == "--version") {
        std::printf("%s\n", store::builtBy().c_str());
        return cli::kExitOk;
    }
    const std::size_t at = commandAt(words);
    const bool helpAsked = std::any_of(words.begin(), words.begin() + static_cast<long>(at),
                                       [](const std::string &word) { return isHelp(word); });
    if (at == words.size() && helpAsked) {
        std::printf("%s%s", kToolHelp.data(), kExitCodes.data());
        return cli::kExitOk;
    }
    const std::string name = at < words.size() ? words[at] : "";
    if (name == "help") {
        std::printf("%s%s", kToolHelp.data(), kExitCodes.data());
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
        // The options before the command's name are the command's own.
        std::vector<std::string> own(words.begin(), words.begin() + static_cast<long>(at));
        if (!command) {
            constexpr cli::OptionSpec kCommon[] = {kStoreOption, kHelpOption};
            cli::parseOptions(own, kCommon);
            if (name.empty()) {
                throw cli::UsageError("缺少子命令");
            }
            if (name.starts_with('-')) {
                throw cli::UsageError("子命令前面只能写 --store PATH 和 --help：" + name);
            }
            throw cli::UsageError("不认识的子命令 \"" + name + "\"");
        }
        own.insert(own.end(), words.begin() + static_cast<long>(at) + 1, words.end());
        try {
            return command->run(own);
        } catch (const store::StoreError &error) {
            throw cli::Failure("", storeErrorText(error.number(), error.description()));
        } catch (const upgrade::Failure &failure) {
            throw cli::Failure(failure.file(), failure.message());
        }
    });
}

}  // namespace table
