// The rules that turn the two source tables into rows of the shipped table:
// short place names, current names, area codes, carriers, the choice between
// the sources where they disagree, and the merging of consecutive prefixes.
// Kept free of any file reading so that every rule can be tested on its own.
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
    // A merged city whose own area code lives on inside the city it joined
    // (莱芜 in 济南); empty for every other place.
    std::string formerCity{};

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

// Reads a place of the phonedata table, which writes short names already but
// names some county-level towns (库尔勒, 珲春, 格尔木) and old or informal
// forms (巴州, 兴安, 莱芜) where the table shows the prefecture. Returns
// nullopt for a province it does not know or an empty city.
std::optional<Place> phonedataPlace(std::string_view province, std::string_view city);

// The carrier a phonedata label names ("移动", "联通虚拟", "广电"), in the
// table's words, so that a label can be compared with store::carrierOf. Returns ""
// for a label it does not know ("未知").
std::string_view phonedataCarrier(std::string_view label);

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

    // The city a shared network's code is named after: the first place of the
    // first fixed-line description added for code (西安 for "029", 玉林 for
    // "0775"). Returns nullopt for a code never added.
    std::optional<Place> hubOf(std::string_view code) const;

private:
    struct Candidate {
        std::string code;
        bool shared;
    };
    std::map<Place, std::vector<Candidate>> m_fixedLine;
    std::map<std::string, Place, std::less<>> m_hubs;
};

// libphonenumber's Chinese mobile descriptions: entries of 5 to 7 digits
// ("1380013", "13051"), each covering every 7-digit prefix it begins. Entries
// of 4 digits or fewer ("1349", "173") name one city for a whole block of
// many cities and are left out.
class GeocoderTable {
public:
    // Records the entry for digits (the national prefix without 86). Returns
    // false, and records nothing, for an entry of 4 digits or fewer.
    bool add(std::string_view digits, std::string_view description);

    struct Hit {
        std::string_view description;
        int digits;  // the length of the entry that answered, 5..7
    };

    // The description of the longest entry that begins the 7-digit prefix;
    // nullopt when none does.
    std::optional<Hit> find(int prefix) const;

private:
    std::map<std::string, std::string, std::less<>> m_entries;
};

// What one source says of a prefix, in the table's words.
struct Answer {
    Place place;
    std::string areaCode;
    int digits = 7;  // the length of the source entry it came from
};

// Why the merged table took the answer it took for a prefix.
enum class Rule {
    Agree,          // both sources name the same place
    OnlyPhonedata,  // the geocoder has no entry
    OnlyGeocoder,   // phonedata has no row
    SharedNetwork,  // one names the city a shared network is named after, the other a
                    // city on that network: the city is taken
    BlockEntry,     // the geocoder answers from an entry for 10 or 100 prefixes:
                    // phonedata's answer for the prefix itself is taken
    Current,        // any other disagreement: phonedata, the current table, is taken
};

// The rule's name in the disagreement report ("shared-network").
std::string_view ruleName(Rule rule);

struct Choice {
    Rule rule;
    bool fromPhonedata;  // which source's answer is taken
};

// Chooses between the two answers for one prefix by the rules above, in
// their order; areaCodes tells which city each shared network's code is
// named after. At least one answer must be given; throws std::invalid_argument
// when neither is.
Choice choose(const std::optional<Answer> &phonedata, const std::optional<Answer> &geocoder,
              const AreaCodes &areaCodes);

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
