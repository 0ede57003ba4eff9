// What every command-line tool of the project does around its work: the
// --help text, and the one way a tool reports what stopped it.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "plimora_table/cli/options.h"

namespace cli {

// A command's --help text: "用法：" and usage, about, "选项：" with the
// option lines of optionHelp(), then exitCodes, the lines that say what each
// exit code means.
std::string commandHelp(std::string_view usage, std::string_view about,
                        std::span<const OptionSpec> options, std::string_view exitCodes);

// Runs work as the whole of the tool named tool and returns its exit code.
// When work throws, prints what stopped it on stderr after "tool: " (as
// store::escapedText() shows it, line feeds kept) and
// returns kExitUsage for a UsageError (with a line pointing to
// "helpCommand --help"), kExitFailure for a Failure (its text), a lack of
// memory or anything else (an unexpected error).
int runReporting(std::string_view tool, std::string_view helpCommand,
                 const std::function<int()> &work);

}  // namespace cli
