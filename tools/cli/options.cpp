#include "tools/cli/options.h"

#include <algorithm>

#include "tools/cli/failure.h"

namespace tools::cli {

namespace {

const OptionSpec *find(std::span<const OptionSpec> specs, std::string_view word) {
    for (const OptionSpec &spec : specs) {
        if (spec.name == word || (!spec.shortName.empty() && spec.shortName == word)) {
            return &spec;
        }
    }
    return nullptr;
}

std::string signature(const OptionSpec &spec) {
    std::string text = spec.shortName.empty() ? "    " : std::string(spec.shortName) + ", ";
    text += spec.name;
    if (!spec.valueName.empty()) {
        text += ' ';
        text += spec.valueName;
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

Options parseOptions(const std::vector<std::string> &words, std::span<const OptionSpec> specs) {
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
        const OptionSpec *spec = find(specs, name);
        if (!spec) {
            throw UsageError("不认识的选项 " + std::string(name));
        }
        const std::string key(spec->name);
        if (options.m_values.contains(key)) {
            throw UsageError("选项 " + key + " 只能给一次");
        }
        if (spec->valueName.empty()) {
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
                             std::string(spec->valueName));
        }
        options.m_values[key] = words[++i];
    }
    return options;
}

std::string optionHelp(std::span<const OptionSpec> specs) {
    std::size_t width = 0;
    for (const OptionSpec &spec : specs) {
        width = std::max(width, signature(spec).size());
    }
    std::string text;
    for (const OptionSpec &spec : specs) {
        const std::string left = signature(spec);
        text +=
            "  " + left + std::string(width - left.size() + 2, ' ') + std::string(spec.help) + "\n";
    }
    return text;
}

}  // namespace tools::cli
