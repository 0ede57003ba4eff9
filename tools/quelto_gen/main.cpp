// quelto_gen: writes the shipped table data/quelto.tsv from the two source
// tables in data/sources/, the phonedata prefix table and libphonenumber's
// Chinese geocoding text, and a report of every prefix where they disagree.
// The output depends only on the two files and the rules in quelto_rules, so
// a rerun writes the same bytes.
#include <zlib.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "store/schema.h"
#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/failure.h"
#include "store/allocation.h"
#include "tools/quelto_gen/quelto_rules.h"

namespace {

namespace quelto = tools::quelto;

constexpr int kFirstPrefix = 1300000;
constexpr int kLastPrefix = 1999999;
constexpr std::string_view kPhonedataHeader = "号段\t省份\t城市\t邮编\t区号\t运营商";
constexpr std::string_view kReportHeader = "号码1\t号码2\t规则\tlibphonenumber\tphonedata\t采用";

constexpr std::string_view kUsage =
    "用法：quelto_gen --phonedata <文件> --geocoding <文件> --out <quelto.tsv> "
    "[--report <disagreements.tsv>]\n"
    "\n"
    "由两份号段资料生成号码表（制表符分隔的文本），并可写出两者不一致之处的报告。\n"
    "\n"
    "选项：\n"
    "  --phonedata <文件>   phonedata 号段表（.tsv 或 .tsv.gz）\n"
    "  --geocoding <文件>   libphonenumber 的中文地理编码文本 86.txt（可为 .gz）\n"
    "  --out <文件>         写出的号码表\n"
    "  --report <文件>      写出的不一致报告（可省略）\n"
    "  --help               显示本说明\n"
    "\n"
    "退出码：0 成功；1 资料有误或无法写出；2 用法错误。\n";

// A problem with an input file, reported with the file and the line.
struct InputError {
    std::string message;
};

// Reads a text file line by line, gzip-compressed or plain (zlib reads both).
class LineReader {
public:
    explicit LineReader(const std::string &path)
        : m_path(path), m_file(gzopen(path.c_str(), "rb")) {
        if (m_file == nullptr) {
            throw InputError{path + "：无法打开"};
        }
    }
    ~LineReader() { gzclose(m_file); }
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // The next line without its line end; false at the end of the file.
    bool next(std::string &line) {
        line.clear();
        char buffer[4096];
        while (gzgets(m_file, buffer, sizeof buffer) != nullptr) {
            line += buffer;
            if (!line.empty() && line.back() == '\n') {
                break;
            }
        }
        if (line.empty()) {
            int code = Z_OK;
            gzerror(m_file, &code);
            if (code != Z_OK && code != Z_STREAM_END) {
                throw InputError{where() + "读取失败"};
            }
            return false;
        }
        ++m_number;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        return true;
    }

    // "file:line: " for a message about the line last read.
    std::string where() const { return m_path + ":" + std::to_string(m_number) + "："; }

private:
    std::string m_path;
    gzFile m_file;
    int m_number = 0;
};

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t end = line.find(separator);
        fields.push_back(line.substr(0, end));
        if (end == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(end + 1);
    }
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

struct Geocoding {
    quelto::GeocoderTable mobile;
    quelto::AreaCodes areaCodes;
    // The mobile entries left out, 4 digits or fewer: digits and description.
    std::vector<std::pair<std::string, std::string>> wholeBlocks;
};

Geocoding readGeocoding(const std::string &path) {
    Geocoding geocoding;
    LineReader reader(path);
    std::string line;
    while (reader.next(line)) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t bar = line.find('|');
        const std::string_view key = std::string_view(line).substr(0, bar);
        if (bar == std::string::npos || !key.starts_with("86") || !allDigits(key) ||
            key.size() < 4 || bar + 1 == line.size()) {
            throw InputError{reader.where() + "不是“86号码前缀|地名”形式的一行"};
        }
        const std::string_view digits = key.substr(2);
        const std::string_view description = std::string_view(line).substr(bar + 1);
        if (digits.front() == '1' && digits.size() >= 3 && digits[1] >= '3') {
            if (!geocoding.mobile.add(digits, description)) {
                geocoding.wholeBlocks.emplace_back(digits, description);
            }
        } else if (digits.size() == 2 && digits.front() >= '3') {
            // Codes beginning 3..9 have three digits; "34" stands for every
            // code 034x and names no code of its own, so the city's code comes
            // from phonedata.
            continue;
        } else if (digits.size() <= 3) {
            geocoding.areaCodes.addFixedLine("0" + std::string(digits), description);
        } else {
            throw InputError{reader.where() + "无法识别的号码前缀 " + std::string(key)};
        }
    }
    return geocoding;
}

struct PhonedataRow {
    quelto::Place place;
    std::string city;  // as phonedata writes it
    std::string areaCode;
    std::string label;
};

struct Phonedata {
    std::vector<std::optional<PhonedataRow>> rows;  // by prefix - kFirstPrefix
    std::map<quelto::Place, std::set<std::string>> codes;
};

Phonedata readPhonedata(const std::string &path) {
    Phonedata phonedata;
    phonedata.rows.resize(kLastPrefix - kFirstPrefix + 1);
    LineReader reader(path);
    std::string line;
    if (!reader.next(line) || line != kPhonedataHeader) {
        throw InputError{reader.where() + "第一行应为表头“号段 省份 城市 邮编 区号 运营商”"};
    }
    while (reader.next(line)) {
        const std::vector<std::string_view> fields = split(line, '\t');
        if (fields.size() != 6 || fields[0].size() != 7 || !allDigits(fields[0])) {
            throw InputError{reader.where() + "应为六栏，第一栏为七位号段"};
        }
        const int prefix = std::stoi(std::string(fields[0]));
        if (prefix < kFirstPrefix || prefix > kLastPrefix) {
            throw InputError{reader.where() + "号段 " + std::string(fields[0]) + " 不在 13x–19x"};
        }
        std::optional<quelto::Place> place = quelto::phonedataPlace(fields[1], fields[2]);
        if (!place) {
            throw InputError{reader.where() + "无法识别的地名 " + std::string(fields[1]) + "/" +
                             std::string(fields[2])};
        }
        std::optional<PhonedataRow> &row = phonedata.rows[prefix - kFirstPrefix];
        if (row) {
            throw InputError{reader.where() + "号段 " + std::string(fields[0]) + " 重复"};
        }
        phonedata.codes[*place].emplace(fields[4]);
        row = PhonedataRow{std::move(*place), std::string(fields[2]), std::string(fields[4]),
                           std::string(fields[5])};
    }
    return phonedata;
}

std::string show(const quelto::Place &place) {
    std::string text = place.province + "/" + place.city;
    if (!place.formerCity.empty()) {
        text += "(" + place.formerCity + ")";
    }
    return text;
}

std::string show(const quelto::Answer &answer) {
    return show(answer.place) + " " + answer.areaCode;
}

// A run of consecutive prefixes with the same report texts.
struct ReportRow {
    int first;
    int last;
    std::string texts;  // 规则, libphonenumber, phonedata, 采用, tab-separated
};

// Writes text to path through a temporary file beside it, so a failure
// leaves any earlier file as it was; says why on stderr when it fails.
bool writeFile(const std::string &path, const std::string &text) {
    try {
        cli::AtomicFile file(path);
        std::fwrite(text.data(), 1, text.size(), file.stream());
        file.commit();
        return true;
    } catch (const cli::Failure &failure) {
        std::cerr << "quelto_gen：" << failure.text() << '\n';
        return false;
    }
}

struct Options {
    std::string phonedata;
    std::string geocoding;
    std::string out;
    std::string report;
};

// Returns nullopt, having printed the reason, for a bad command line.
std::optional<Options> parseOptions(int argc, char **argv) {
    Options options;
    const std::map<std::string_view, std::string *> valued{{"--phonedata", &options.phonedata},
                                                           {"--geocoding", &options.geocoding},
                                                           {"--out", &options.out},
                                                           {"--report", &options.report}};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto found = valued.find(arg);
        if (found == valued.end()) {
            std::cerr << "quelto_gen：未知的选项 " << arg << "\n" << kUsage;
            return std::nullopt;
        }
        if (i + 1 == argc) {
            std::cerr << "quelto_gen：选项 " << arg << " 缺少文件名\n" << kUsage;
            return std::nullopt;
        }
        *found->second = argv[++i];
    }
    if (options.phonedata.empty() || options.geocoding.empty() || options.out.empty()) {
        std::cerr << "quelto_gen：--phonedata、--geocoding 和 --out 都必须给出\n" << kUsage;
        return std::nullopt;
    }
    return options;
}

}  // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::cout << kUsage;
            return 0;
        }
    }
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        return 2;
    }

    Geocoding geocoding;
    Phonedata phonedata;
    try {
        geocoding = readGeocoding(options->geocoding);
        phonedata = readPhonedata(options->phonedata);
    } catch (const InputError &error) {
        std::cerr << "quelto_gen：" << error.message << '\n';
        return 1;
    }

    // Every problem is collected first, so one run names all of them.
    std::map<std::string, int> unreadable;
    std::map<quelto::Place, int> withoutCode;
    std::map<quelto::Place, std::optional<std::string>> codes;
    const auto codeOf = [&](const quelto::Place &place) -> const std::optional<std::string> & {
        auto found = codes.find(place);
        if (found == codes.end()) {
            std::optional<std::string> code = geocoding.areaCodes.codeOf(place);
            const auto used = phonedata.codes.find(place);
            if (!code && used != phonedata.codes.end() && used->second.size() == 1) {
                code = *used->second.begin();
            }
            found = codes.emplace(place, std::move(code)).first;
        }
        return found->second;
    };

    quelto::TableBuilder table;
    std::vector<ReportRow> report;
    std::map<std::string, long> ruleCounts;  // rule (direction) -> prefixes
    std::map<int, long> droppedPhonedata;    // segment -> prefixes
    std::map<int, long> droppedGeocoder;     // segment -> prefixes
    std::map<std::tuple<int, std::string, std::string>, long> carriers;  // segment, label, carrier
    std::map<std::tuple<std::string, std::string, std::string>, long> areaCodeFixes;
    std::map<std::pair<std::string, std::string>, long> names;  // phonedata's name -> table's
    // Whole-block entry -> prefixes it alone would have answered, and how
    // many of those phonedata places elsewhere.
    std::map<std::string, std::pair<long, long>> wholeBlockReach;
    long covered = 0;

    for (int prefix = kFirstPrefix; prefix <= kLastPrefix; ++prefix) {
        const int segment = prefix / 10000;
        const std::optional<PhonedataRow> &row = phonedata.rows[prefix - kFirstPrefix];
        const std::optional<quelto::GeocoderTable::Hit> hit = geocoding.mobile.find(prefix);
        if (!store::inPublicService(segment)) {
            droppedPhonedata[segment] += row ? 1 : 0;
            droppedGeocoder[segment] += hit ? 1 : 0;
            continue;
        }

        if (!hit) {
            const std::string digits = std::to_string(prefix);
            for (const auto &[block, description] : geocoding.wholeBlocks) {
                if (digits.starts_with(block)) {
                    auto &[reach, elsewhere] = wholeBlockReach[block + " " + description];
                    ++reach;
                    elsewhere += row && row->place != quelto::parsePlace(description) ? 1 : 0;
                }
            }
        }

        std::optional<quelto::Answer> fromPhonedata;
        std::optional<quelto::Answer> fromGeocoder;
        if (row) {
            if (const std::optional<std::string> &code = codeOf(row->place)) {
                fromPhonedata = quelto::Answer{row->place, *code, 7};
            } else {
                ++withoutCode[row->place];
            }
        }
        if (hit) {
            std::optional<quelto::Place> place = quelto::parsePlace(hit->description);
            if (!place) {
                ++unreadable[std::string(hit->description)];
            } else if (const std::optional<std::string> &code = codeOf(*place)) {
                fromGeocoder = quelto::Answer{std::move(*place), *code, hit->digits};
            } else {
                ++withoutCode[*place];
            }
        }
        if (!fromPhonedata && !fromGeocoder) {
            continue;
        }

        const quelto::Choice choice =
            quelto::choose(fromPhonedata, fromGeocoder, geocoding.areaCodes);
        const quelto::Answer &taken = choice.fromPhonedata ? *fromPhonedata : *fromGeocoder;
        const std::string_view carrier = store::carrierOf(prefix);
        table.add(prefix, taken.place, taken.areaCode, carrier);
        ++covered;

        std::string rule(quelto::ruleName(choice.rule));
        if (choice.rule == quelto::Rule::SharedNetwork) {
            rule += choice.fromPhonedata ? " (phonedata)" : " (libphonenumber)";
        }
        ++ruleCounts[rule];
        if (fromPhonedata && fromGeocoder && choice.rule != quelto::Rule::Agree) {
            std::string texts = std::string(quelto::ruleName(choice.rule)) + '\t' +
                                show(*fromGeocoder) + '\t' + show(*fromPhonedata) + '\t' +
                                (choice.fromPhonedata ? "phonedata" : "libphonenumber");
            if (!report.empty() && report.back().last + 1 == prefix &&
                report.back().texts == texts) {
                report.back().last = prefix;
            } else {
                report.push_back({prefix, prefix, std::move(texts)});
            }
        }
        if (row) {
            if (quelto::phonedataCarrier(row->label) != carrier) {
                ++carriers[{segment, row->label, std::string(carrier)}];
            }
            if (choice.fromPhonedata && row->areaCode != taken.areaCode) {
                ++areaCodeFixes[{show(taken.place), row->areaCode, taken.areaCode}];
            }
            if (row->city != row->place.city && row->place.province != row->place.city) {
                ++names[{row->place.province + "/" + row->city, show(row->place)}];
            }
        }
    }

    for (const auto &[description, count] : unreadable) {
        std::cerr << "quelto_gen：无法识别地名“" << description << "”（" << count << " 个号段）\n";
    }
    for (const auto &[place, count] : withoutCode) {
        std::cerr << "quelto_gen：" << show(place) << " 没有唯一的区号（" << count << " 个号段）\n";
    }
    if (!unreadable.empty() || !withoutCode.empty()) {
        return 1;
    }

    std::ostringstream tableText;
    quelto::writeTsv(tableText, table.rows());
    if (!writeFile(options->out, tableText.str())) {
        std::cerr << "quelto_gen：无法写出 " << options->out << '\n';
        return 1;
    }
    if (!options->report.empty()) {
        std::ostringstream reportText;
        reportText << kReportHeader << '\n';
        for (const ReportRow &r : report) {
            reportText << r.first << '\t' << r.last << '\t' << r.texts << '\n';
        }
        if (!writeFile(options->report, reportText.str())) {
            std::cerr << "quelto_gen：无法写出 " << options->report << '\n';
            return 1;
        }
    }

    // The summary below is what data/README.md reports.
    std::cout << "prefixes\t" << covered << "\nrows\t" << table.rows().size() << '\n';
    for (const auto &[rule, count] : ruleCounts) {
        std::cout << "rule\t" << rule << '\t' << count << '\n';
    }
    for (const auto &[segment, count] : droppedPhonedata) {
        if (count + droppedGeocoder[segment] > 0) {
            std::cout << "unallocated\t" << segment << "\tphonedata " << count
                      << "\tlibphonenumber " << droppedGeocoder[segment] << '\n';
        }
    }
    for (const auto &[block, reach] : wholeBlockReach) {
        std::cout << "whole-block entry left out\t" << block << "\t" << reach.first
                  << " prefixes, phonedata elsewhere for " << reach.second << '\n';
    }
    for (const auto &[key, count] : carriers) {
        const auto &[segment, label, carrier] = key;
        std::cout << "carrier\t" << segment << '\t' << label << " -> " << carrier << '\t' << count
                  << '\n';
    }
    for (const auto &[key, count] : areaCodeFixes) {
        const auto &[place, from, to] = key;
        std::cout << "area code\t" << place << '\t' << from << " -> " << to << '\t' << count
                  << '\n';
    }
    for (const auto &[key, count] : names) {
        std::cout << "name\t" << key.first << " -> " << key.second << '\t' << count << '\n';
    }
    return 0;
}
