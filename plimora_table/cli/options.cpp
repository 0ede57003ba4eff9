#include "plimora_table/cli/options.h"

#include <algorithm>

#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/terminal.h"

namespace cli {

namespace {

const OptionSpec *find(std::span<const OptionSpec> known, std::string_view word) {
    for (const OptionSpec &option : known) {
        if (option.name == word || (!option.shortName.empty() && option.shortName == word)) {
            return &option;
        }
    }
    return nullptr;
}

std::string signature(const OptionSpec &option) {
    std::string text = option.shortName.empty() ? "    " : std::string(option.shortName) + ", ";
    text += option.name;
    if (!option.valueName.empty()) {
        text += ' ';
        text += option.valueName;
    }
    return text;
}

}  // namespace

std::optional<std::string> Options::value(std::string_view name) const {
    const auto found = m_values.find(std::string(name));
    if (found == m_values.end()) {
        return std::nullopt;
    }
    return found->second;
}

Options parseOptions(const std::vector<std::string> &words, std::span<const OptionSpec> known) {
    Options options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string &word = words[i];
        if (optionsEnded || word == "-" || word.empty() || word[0] != '-') {
            options.m_arguments.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name = word;
        std::optional<std::string> attached;
        if (word.starts_with("--")) {
            if (const auto equals = word.find('='); equals != std::string::npos) {
                name = std::string_view(word).substr(0, equals);
                attached = word.substr(equals + 1);
            }
        }
        const OptionSpec *option = find(known, name);
        if (!option) {
            throw UsageError("不认识的选项 " + std::string(name));
        }
        const std::string key(option->name);
        if (options.m_values.contains(key)) {
            throw UsageError("选项 " + key + " 只能给一次");
        }
        if (option->valueName.empty()) {
            if (attached) {
                throw UsageError("选项 " + key + " 不带值：" + word);
            }
            options.m_values[key] = "";
            continue;
        }
        if (attached) {
            options.m_values[key] = *attached;
            continue;
        }
        if (i + 1 == words.size()) {
            throw UsageError("选项 " + std::string(name) + " 后面缺少 " +
                             std::string(option->valueName));
        }
        options.m_values[key] = words[++i];
    }
    return options;
}

std::string optionHelp(std::span<const OptionSpec> known) {
    std::size_t width = 0;
    for (const OptionSpec &option : known) {
        width = std::max(width, displayWidth(signature(option)));
    }
    std::string text;
    for (const OptionSpec &option : known) {
        // A value named in Chinese (手机) takes two columns a character.
        const std::string left = signature(option);
        text += "  " + left + std::string(width - displayWidth(left) + 2, ' ') +
                std::string(option.help) + "\n";
    }
    return text;
}

}  // namespace cli
