// The rules that turn the geocoder's Chinese descriptions into rows of the
// shipped table: short place names, current names, area codes, carriers and
// the merging of consecutive prefixes. Kept free of libphonenumber so that
// every rule can be tested without it.
#pragma once

#include <compare>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tools::quelto {

// A city in the short form lookup tools show: 广东/深圳, 内蒙古/呼和浩特,
// 新疆/伊犁. A municipality is its own city (北京/北京).
struct Place {
    std::string province;
    std::string city;

    auto operator<=>(const Place &) const = default;
};

// Reads one geocoder description ("广东省深圳市", "内蒙古呼和浩特市",
// "湖北省恩施土家族苗族自治州", "北京市") into a Place, with the current name
// of a renamed or merged city. Returns nullopt when the description does not
// start with a province or names no city below it ("中国", "广东省").
std::optional<Place> parsePlace(std::string_view description);

// Reads a description that may list several places separated by "、", the
// province written only on the first ("四川省成都市、资阳市、眉山市"). Returns
// the places in the order given, with repeats removed; empty when the first
// item is not a place.
std::vector<Place> parsePlaces(std::string_view description);

// The carrier that holds the 7-digit prefix (1380013): "中国移动", "中国联通",
// "中国电信", "中国广电", or for a resale block the host network followed by
// "(虚拟运营商)". Returns "" for a prefix outside every known allocation.
std::string_view carrierOf(int prefix);

// The area code of each city, from the fixed-line descriptions and from a
// small table of facts the descriptions lack or have out of date.
class AreaCodes {
public:
    // Records that the fixed-line area code (with its leading 0: "028")
    // serves every place its description lists.
    void addFixedLine(std::string_view code, std::string_view description);

    // The one area code of place. A fact wins over the fixed-line entries;
    // among those, a code shared by several cities wins over a city's own
    // (the shared local networks are the later ones), then a shorter code
    // over a longer one. Returns nullopt when there is no code or when two
    // codes tie, which needs a fact to settle.
    std::optional<std::string> codeOf(const Place &place) const;

private:
    struct Candidate {
        std::string code;
        bool shared;
    };
    std::map<Place, std::vector<Candidate>> m_fixedLine;
};

// One line of the table: the prefixes first..last (inclusive) share the four texts.
struct Row {
    int first = 0;
    int last = 0;
    std::string province;
    std::string city;
    std::string areaCode;
    std::string carrier;

    bool operator==(const Row &) const = default;
};

// Collects prefixes in increasing order into rows, extending the last row
// while the next prefix directly follows it with the same texts.
class TableBuilder {
public:
    // Adds prefix with its texts. Throws std::invalid_argument when prefix is
    // not greater than the last one added.
    void add(int prefix, const Place &place, const std::string &areaCode, std::string_view carrier);

    const std::vector<Row> &rows() const { return m_rows; }

private:
    std::vector<Row> m_rows;
};

// Writes the header line and one tab-separated line per row, LF line ends.
void writeTsv(std::ostream &out, const std::vector<Row> &rows);

}  // namespace tools::quelto
