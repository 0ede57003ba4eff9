// minimal_lookup TABLE NUMBERS OUTPUT
//
// The yardstick for plimora-table lookup on a plain list: the least a C++
// program has to do to give the same output. It reads the whole table as
// `plimora-table export --all` writes it (TABLE) into one 4 MB array that
// holds, per 7-digit prefix key, the index of one of the table's distinct
// answers; then it reads NUMBERS line by line, takes the digits out of each
// line, indexes the array and writes the line, the four texts and the status
// to OUTPUT in large blocks. Nothing of Plimora's own code is used, so that
// what separates the tool from it is the tool's own cost.
//
// It knows only what the benchmarks' lists hold (digits, full-width digits,
// spaces, dashes, a leading + and country codes, landlines and short
// numbers) and stops with exit code 3 at any other character; it assumes
// the table has no overlapping ranges (the shipped table has none).
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::uint32_t kLowestKey = 1000000;
constexpr std::uint32_t kKeys = 1000000;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::size_t kBlock = 1 << 18;

[[noreturn]] void stop(const char *what, const std::string &line) {
    std::fprintf(stderr, "minimal_lookup: %s: %s\n", what, line.c_str());
    std::exit(3);
}

// What follows a line that is no mobile number: empty texts and the reason.
std::string invalid(const std::string &reason) {
    return "\t\t\t\t\t无效：" + reason;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: minimal_lookup TABLE NUMBERS OUTPUT\n");
        return 2;
    }
    std::vector<std::uint32_t> slots(kKeys, kNone);
    // Each answer once ("\t省份\t城市\t区号\t卡信息\t找到"), so that the few
    // thousand of them stay in the cache.
    std::vector<std::string> answers;
    std::unordered_map<std::string, std::uint32_t> answerIndex;
    std::ifstream table(argv[1]);
    std::string line;
    std::getline(table, line);  // the header
    while (std::getline(table, line)) {
        // 号码1 and 号码2, then the four texts as they are written out.
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        long low = 0;
        long high = 0;
        if (second == std::string::npos ||
            std::from_chars(line.data(), line.data() + first, low).ec != std::errc() ||
            std::from_chars(line.data() + first + 1, line.data() + second, high).ec !=
                std::errc()) {
            stop("not a row of the table", line);
        }
        const auto [at, added] = answerIndex.try_emplace(
            line.substr(second) + "\t找到", static_cast<std::uint32_t>(answers.size()));
        if (added) {
            answers.push_back(at->first);
        }
        low = std::max(low, long{kLowestKey});
        high = std::min(high, long{kLowestKey + kKeys - 1});
        for (long key = low; key <= high; ++key) {
            slots[static_cast<std::size_t>(key - kLowestKey)] = at->second;
        }
    }

    std::ifstream numbers(argv[2], std::ios::binary);
    std::FILE *out = std::fopen(argv[3], "wb");
    if (!numbers || !out) {
        std::fprintf(stderr, "minimal_lookup: cannot open the numbers or the output\n");
        return 1;
    }
    const std::string notFound = "\t\t\t\t\t未找到";
    std::string output = "号码\t省份\t城市\t区号\t卡信息\t状态\n";
    std::string digits;
    while (std::getline(numbers, line)) {
        digits.clear();
        bool plus = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c >= '0' && c <= '9') {
                digits += c;
            } else if (c == '\xEF' && i + 2 < line.size() && line[i + 1] == '\xBC' &&
                       line[i + 2] >= '\x90' && line[i + 2] <= '\x99') {
                digits += static_cast<char>('0' + (line[i + 2] - '\x90'));
                i += 2;
            } else if (c == '+' && digits.empty()) {
                plus = true;
            } else if (c != ' ' && c != '-') {
                stop("a character this loop does not know", line);
            }
        }
        output += line;
        if (plus || digits.starts_with("00")) {
            const std::string code = plus ? "86" : "0086";
            if (!digits.starts_with(code)) {
                output += invalid("不是中国大陆的号码（国家代码不是 86）");
                output += '\n';
                continue;
            }
            digits.erase(0, code.size());
        } else if (digits.size() == 13 && digits.starts_with("861")) {
            digits.erase(0, 2);
        }
        if (digits.empty()) {
            output += invalid("空");
        } else if (digits.size() >= 10 && digits.size() <= 12 && digits[0] == '0' &&
                   (digits[1] != '1' || digits[2] == '0')) {
            output += invalid("固定电话号码（带区号）");
        } else if (digits.size() < 11) {
            output += invalid("位数不足（" + std::to_string(digits.size()) + " 位）");
        } else if (digits.size() > 11) {
            output += invalid("位数太多（" + std::to_string(digits.size()) + " 位）");
        } else if (digits[0] != '1') {
            output += invalid("不以 1 开头");
        } else {
            std::uint32_t key = 0;
            std::from_chars(digits.data(), digits.data() + 7, key);
            const std::uint32_t answer = slots[key - kLowestKey];
            output += answer == kNone ? notFound : answers[answer];
        }
        output += '\n';
        if (output.size() >= kBlock) {
            std::fwrite(output.data(), 1, output.size(), out);
            output.clear();
        }
    }
    std::fwrite(output.data(), 1, output.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
