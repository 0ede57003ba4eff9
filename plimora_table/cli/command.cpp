#include "plimora_table/cli/command.h"

#include <cstdio>
#include <new>

#include "plimora_table/cli/exit_codes.h"
#include "plimora_table/cli/failure.h"
#include "store/text.h"

namespace cli {

std::string commandHelp(std::string_view usage, std::string_view about,
                        std::span<const OptionSpec> options, std::string_view exitCodes) {
    return "用法：" + std::string(usage) + "\n\n" + std::string(about) + "\n\n选项：\n" +
           optionHelp(options) + "\n" + std::string(exitCodes);
}

int runReporting(std::string_view tool, std::string_view helpCommand,
                 const std::function<int()> &work) {
    const std::string prefix = std::string(tool) + ": ";
    // A message may quote a file's name or a stored text: shown escaped, so
    // that nothing in it steers the terminal.
    auto shown = [](std::string_view text) {
        return store::escapedText(text, store::Layout::Kept);
    };
    try {
        return work();
    } catch (const UsageError &error) {
        std::fprintf(stderr, "%s%s\n用 %.*s --help 查看用法。\n", prefix.c_str(),
                     shown(error.what()).c_str(), static_cast<int>(helpCommand.size()),
                     helpCommand.data());
        return kExitUsage;
    } catch (const Failure &failure) {
        std::fprintf(stderr, "%s%s\n", prefix.c_str(), shown(failure.text()).c_str());
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s内存不足\n", prefix.c_str());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s意外的错误：%s\n", prefix.c_str(), error.what());
    }
    return kExitFailure;
}

}  // namespace cli
