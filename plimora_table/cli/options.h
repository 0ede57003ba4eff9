// Command-line options in the form users of command-line tools expect:
// "--name value", "--name=value", a short "-o value", "--" to end the options,
// and a help listing generated from the same table that the parser reads.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// One option a command accepts.
struct OptionSpec {
    std::string_view name;       // "--store"
    std::string_view shortName;  // "-o", or "" when there is none
    std::string_view valueName;  // "PATH", or "" for a flag that takes no value
    std::string_view help;       // one line for --help
};

// The options and arguments of one command line.
class Options {
public:
    // True when the option (by its long name) was given.
    bool has(std::string_view name) const { return m_values.contains(std::string(name)); }
    // The value given to the option, or nullopt when it was not given (a
    // flag's value is "").
    std::optional<std::string> value(std::string_view name) const;
    // The words that are not options, in order ("-" counts as one).
    const std::vector<std::string> &arguments() const { return m_arguments; }

private:
    friend Options parseOptions(const std::vector<std::string> &, std::span<const OptionSpec>);

    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_arguments;
};

// Reads words against the known options. Throws UsageError, naming the
// word, for an option not among them, an option without its value, a value given to a flag
// ("--all=1") or an option given twice. Nothing is checked about the
// arguments; the caller counts them.
Options parseOptions(const std::vector<std::string> &words, std::span<const OptionSpec> known);

// The option lines of a --help text: "  -o, --output FILE  help", the help
// texts aligned in one column, one line per option, each ending in "\n".
std::string optionHelp(std::span<const OptionSpec> known);

}  // namespace cli
