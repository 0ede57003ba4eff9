// quelto_gen: writes the shipped table data/quelto.tsv from the two source
// tables in data/sources/, the phonedata prefix table and libphonenumber's
// Chinese geocoding text, and a report of every prefix where they disagree;
// beside it the area-code table with its own report, and a comparison of the
// table's carriers with libphonenumber's carrier file. The output depends
// only on the source files and the rules in quelto_rules, so a rerun writes
// the same bytes.
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/command.h"
#include "plimora_table/cli/exit_codes.h"
#include "plimora_table/cli/failure.h"
#include "store/allocation.h"
#include "store/schema.h"
#include "tools/quelto_gen/quelto_rules.h"

namespace {

namespace quelto = tools::quelto;

constexpr std::string_view kTool = "quelto_gen";
constexpr int kFirstPrefix = 1300000;
constexpr int kLastPrefix = 1999999;
constexpr std::string_view kPhonedataHeader = "号段\t省份\t城市\t邮编\t区号\t运营商";
constexpr std::string_view kReportHeader = "号码1\t号码2\t规则\tlibphonenumber\tphonedata\t采用";
constexpr std::string_view kAreaCodeReportHeader =
    "区号\t城市\t规则\tlibphonenumber\tphonedata\t采用";
constexpr std::string_view kCarrierReportHeader = "前缀\tlibphonenumber\t卡信息\t号码前缀数\t结论";

constexpr cli::OptionSpec kOptions[] = {
    {"--phonedata", "", "FILE", "phonedata 号段表（.tsv 或 .tsv.gz），必须给出"},
    {"--geocoding", "", "FILE", "libphonenumber 的中文地理编码文本 86.txt（可为 .gz），必须给出"},
    {"--out", "", "FILE", "写出的号码表，必须给出"},
    {"--report", "", "FILE", "写出的不一致报告（可省略）"},
    {"--areacodes", "", "FILE", "写出的区号表（可省略）"},
    {"--areacode-report", "", "FILE", "写出的区号不一致报告（可省略）"},
    {"--carrier", "", "FILE", "libphonenumber 的中文运营商文本 86.txt（可为 .gz），用于核对运营商"},
    {"--carrier-report", "", "FILE", "写出的运营商核对报告（要和 --carrier 一起用）"},
    {"--help", "-h", "", "显示这段说明并退出"},
};

constexpr std::string_view kUsage =
    "quelto_gen --phonedata FILE --geocoding FILE --out FILE [选项]";
constexpr std::string_view kAbout =
    "由两份号段资料生成号码表（制表符分隔的文本），并可写出两者不一致之处的报告。";
constexpr std::string_view kExitCodes =
    "退出码：\n"
    "  0  成功\n"
    "  1  资料有误或无法写出；原因写在标准错误上\n"
    "  2  命令行用法错误\n";

// Reads a text file line by line, gzip-compressed or plain (zlib reads both).
class LineReader {
public:
    explicit LineReader(const std::string &path)
        : m_path(path), m_file(gzopen(path.c_str(), "rb")) {
        if (m_file == nullptr) {
            throw cli::unreadable(path, errno);
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
                throw failure("读取失败");
            }
            return false;
        }
        ++m_number;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        return true;
    }

    // A problem with the line last read, naming the file and the line.
    cli::Failure failure(const std::string &message) const {
        return cli::Failure(m_path, static_cast<std::size_t>(m_number), message);
    }

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
    quelto::AreaCodeTable areaCodeTable;
    // The mobile entries left out, 4 digits or fewer: digits and description.
    std::vector<std::pair<std::string, std::string>> wholeBlocks;
};

// Calls visit with the prefix after "86" and the text of every line
// "86<prefix>|<text>" of a libphonenumber prefix file (comments and blank
// lines skipped). Throws cli::Failure naming the file and line of any other
// line, or of a prefix shorter than shortest digits; visit may throw the
// reader's failure() too.
void forEachPrefixLine(const std::string &path, std::size_t shortest, std::string_view textName,
                       const std::function<void(std::string_view prefix, std::string_view text,
                                                const LineReader &reader)> &visit) {
    LineReader reader(path);
    std::string line;
    while (reader.next(line)) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t bar = line.find('|');
        const std::string_view key = std::string_view(line).substr(0, bar);
        if (bar == std::string::npos || !key.starts_with("86") || !allDigits(key) ||
            key.size() < 2 + shortest || bar + 1 == line.size()) {
            throw reader.failure("不是“86号码前缀|" + std::string(textName) + "”形式的一行");
        }
        visit(key.substr(2), std::string_view(line).substr(bar + 1), reader);
    }
}

Geocoding readGeocoding(const std::string &path) {
    Geocoding geocoding;
    forEachPrefixLine(
        path, 2, "地名",
        [&](std::string_view digits, std::string_view description, const LineReader &reader) {
            if (digits.front() == '1' && digits.size() >= 3 && digits[1] >= '3') {
                if (!geocoding.mobile.add(digits, description)) {
                    geocoding.wholeBlocks.emplace_back(digits, description);
                }
            } else if (digits.size() == 2 && digits.front() >= '3') {
                // Codes beginning 3..9 have three digits; "34" stands for every
                // code 034x and names no code of its own, so the city's code comes
                // from phonedata.
                geocoding.areaCodeTable.addRangeEntry("0" + std::string(digits), description);
            } else if (digits.size() <= 3) {
                geocoding.areaCodes.addFixedLine("0" + std::string(digits), description);
                geocoding.areaCodeTable.addFixedLine("0" + std::string(digits), description);
            } else {
                throw reader.failure("无法识别的号码前缀 86" + std::string(digits));
            }
        });
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

// Every row names a place and the code dialled there, also in segments the
// table leaves out.
Phonedata readPhonedata(const std::string &path, quelto::AreaCodeTable &areaCodeTable) {
    Phonedata phonedata;
    phonedata.rows.resize(kLastPrefix - kFirstPrefix + 1);
    LineReader reader(path);
    std::string line;
    if (!reader.next(line) || line != kPhonedataHeader) {
        throw reader.failure("第一行应为表头“号段 省份 城市 邮编 区号 运营商”");
    }
    while (reader.next(line)) {
        const std::vector<std::string_view> fields = split(line, '\t');
        if (fields.size() != 6 || fields[0].size() != 7 || !allDigits(fields[0])) {
            throw reader.failure("应为六栏，第一栏为七位号段");
        }
        const int prefix = std::stoi(std::string(fields[0]));
        if (prefix < kFirstPrefix || prefix > kLastPrefix) {
            throw reader.failure("号段 " + std::string(fields[0]) + " 不在 13x–19x");
        }
        std::optional<quelto::Place> place = quelto::phonedataPlace(fields[1], fields[2]);
        if (!place) {
            throw reader.failure("无法识别的地名 " + std::string(fields[1]) + "/" +
                                 std::string(fields[2]));
        }
        std::optional<PhonedataRow> &row = phonedata.rows[prefix - kFirstPrefix];
        if (row) {
            throw reader.failure("号段 " + std::string(fields[0]) + " 重复");
        }
        phonedata.codes[*place].emplace(fields[4]);
        areaCodeTable.addPhonedata(*place, fields[4]);
        row = PhonedataRow{std::move(*place), std::string(fields[2]), std::string(fields[4]),
                           std::string(fields[5])};
    }
    return phonedata;
}

quelto::CarrierTable readCarriers(const std::string &path) {
    quelto::CarrierTable carriers;
    forEachPrefixLine(path, 1, "运营商",
                      [&](std::string_view prefix, std::string_view carrier, const LineReader &) {
                          carriers.add(prefix, carrier);
                      });
    return carriers;
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
// leaves any earlier file as it was. Throws cli::Failure naming path.
void writeFile(const std::string &path, const std::string &text) {
    cli::OutputFile file(path);
    if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size()) {
        throw cli::Failure(path, "写入失败：" + cli::describeErrno(errno));
    }
    file.commit();
}

int generate(const cli::Options &options) {
    const auto required = [&](std::string_view name) {
        const auto value = options.value(name);
        if (!value || value->empty()) {
            throw cli::UsageError("--phonedata、--geocoding 和 --out 都必须给出");
        }
        return *value;
    };
    if (!options.arguments().empty()) {
        throw cli::UsageError("不接受参数：" + options.arguments().front());
    }
    const std::string phonedataPath = required("--phonedata");
    const std::string geocodingPath = required("--geocoding");
    const std::string outPath = required("--out");
    const std::string reportPath = options.value("--report").value_or("");
    const std::string areaCodesPath = options.value("--areacodes").value_or("");
    const std::string areaCodeReportPath = options.value("--areacode-report").value_or("");
    const std::string carrierPath = options.value("--carrier").value_or("");
    const std::string carrierReportPath = options.value("--carrier-report").value_or("");
    if (!carrierReportPath.empty() && carrierPath.empty()) {
        throw cli::UsageError("--carrier-report 要和 --carrier 一起用");
    }

    Geocoding geocoding = readGeocoding(geocodingPath);
    const Phonedata phonedata = readPhonedata(phonedataPath, geocoding.areaCodeTable);
    const std::optional<quelto::CarrierTable> carrierFile =
        carrierPath.empty() ? std::nullopt : std::optional(readCarriers(carrierPath));

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
    // libphonenumber's entry, its carrier, the table's carrier -> prefixes
    std::map<std::tuple<std::string, std::string, std::string>, long> carrierCheck;
    long carrierUnnamed = 0;
    std::map<std::tuple<std::string, std::string, std::string>, long> areaCodeFixes;
    std::map<std::pair<std::string, std::string>, long> names;  // phonedata's name -> table's
    // Whole-block entry -> prefixes it alone would have answered, and how
    // many of those phonedata places elsewhere.
    std::map<std::string, std::pair<long, long>> wholeBlockReach;
    long covered = 0;

    for (int prefix = kFirstPrefix; prefix <= kLastPrefix; ++prefix) {
        const int segment = prefix / store::kSegmentSize;
        const std::optional<PhonedataRow> &row = phonedata.rows[prefix - kFirstPrefix];
        const std::optional<quelto::GeocoderTable::Hit> hit = geocoding.mobile.find(prefix);
        const std::string_view carrier = store::carrierOf(prefix);
        if (carrier.empty()) {
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
        table.add(prefix, taken.place, taken.areaCode, carrier);
        ++covered;
        if (carrierFile) {
            if (const auto named = carrierFile->find(prefix)) {
                ++carrierCheck[{std::string(named->digits), std::string(named->carrier),
                                std::string(carrier)}];
            } else {
                ++carrierUnnamed;
            }
        }

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
        std::cerr << kTool << ": " << geocodingPath << ": 无法识别地名“" << description << "”（"
                  << count << " 个号段）\n";
    }
    for (const auto &[place, count] : withoutCode) {
        std::cerr << kTool << ": " << show(place) << " 没有唯一的区号（" << count << " 个号段）\n";
    }
    if (!unreadable.empty() || !withoutCode.empty()) {
        return cli::kExitFailure;
    }

    const quelto::AreaCodeTable::Result areaCodes = geocoding.areaCodeTable.build();

    std::ostringstream tableText;
    quelto::writeTsv(tableText, table.rows());
    writeFile(outPath, tableText.str());
    if (!areaCodesPath.empty()) {
        std::ostringstream text;
        quelto::writeAreaCodes(text, areaCodes.lines);
        writeFile(areaCodesPath, text.str());
    }
    if (!areaCodeReportPath.empty()) {
        std::ostringstream text;
        text << kAreaCodeReportHeader << '\n';
        for (const quelto::AreaCodeNote &note : areaCodes.notes) {
            text << note.code << '\t' << show(note.place) << '\t' << note.rule << '\t'
                 << note.libphonenumber << '\t' << note.phonedata << '\t' << note.taken << '\n';
        }
        writeFile(areaCodeReportPath, text.str());
    }
    if (!carrierReportPath.empty()) {
        std::ostringstream text;
        text << kCarrierReportHeader << '\n';
        for (const auto &[key, count] : carrierCheck) {
            const auto &[digits, named, shown] = key;
            const quelto::CarrierMatch match = quelto::compareCarrier(shown, named);
            if (match != quelto::CarrierMatch::Same) {
                text << digits << '\t' << named << '\t' << shown << '\t' << count << '\t'
                     << quelto::carrierMatchName(match) << '\n';
            }
        }
        writeFile(carrierReportPath, text.str());
    }
    if (!reportPath.empty()) {
        std::ostringstream reportText;
        reportText << kReportHeader << '\n';
        for (const ReportRow &r : report) {
            reportText << r.first << '\t' << r.last << '\t' << r.texts << '\n';
        }
        writeFile(reportPath, reportText.str());
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
    std::map<std::string, long> lengths;  // local lengths -> codes
    std::map<std::string, long> notes;    // area-code rule -> codes and cities
    for (const quelto::AreaCodeLine &line : areaCodes.lines) {
        ++lengths[line.lengths];
    }
    for (const quelto::AreaCodeNote &note : areaCodes.notes) {
        ++notes[note.rule];
    }
    std::cout << "area codes\t" << areaCodes.lines.size() << '\n';
    for (const auto &[digits, count] : lengths) {
        std::cout << "area codes with local length\t" << digits << '\t' << count << '\n';
    }
    for (const auto &[rule, count] : notes) {
        std::cout << "area code rule\t" << rule << '\t' << count << '\n';
    }
    if (carrierFile) {
        std::map<std::string, long> matches;  // match -> prefixes
        for (const auto &[key, count] : carrierCheck) {
            const auto &[digits, named, shown] = key;
            matches[std::string(quelto::carrierMatchName(quelto::compareCarrier(shown, named)))] +=
                count;
        }
        for (const auto &[match, count] : matches) {
            std::cout << "carrier check\t" << match << '\t' << count << '\n';
        }
        std::cout << "carrier check\tno entry\t" << carrierUnnamed << '\n';
    }
    return cli::kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    return cli::runReporting(kTool, kTool, [&] {
        const cli::Options options = cli::parseOptions(words, kOptions);
        if (options.has("--help")) {
            std::cout << cli::commandHelp(kUsage, kAbout, kOptions, kExitCodes);
            return cli::kExitOk;
        }
        return generate(options);
    });
}
