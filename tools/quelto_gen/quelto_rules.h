// The rules that turn the two source tables into rows of the shipped table:
// short place names, current names, area codes, carriers, the choice between
// the sources where they disagree, and the merging of consecutive prefixes.
// Kept free of any file reading so that every rule can be tested on its own.
#pragma once

#include <compare>
#include <map>
#include <optional>
#include <ostream>
#include <set>
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

// The lengths a local number has behind the area code (with its leading 0:
// "010", "0433"): "8", "7", or "7,8" where both are in use. Read off the
// fixed-line pattern of libphonenumber 9.0.35's metadata (territory CN): the
// codes of two digits after the 0 and a list of three-digit codes take 8
// digits, four codes take either, every other code 7.
std::string_view localLengths(std::string_view code);

// One line of the area-code table: a code, the city it is named after and
// the other cities that dial it, all in one province.
struct AreaCodeLine {
    std::string code;
    std::string province;
    std::string city;
    std::vector<std::string> others;  // the other cities on the code
    std::string lengths;              // localLengths(code)

    bool operator==(const AreaCodeLine &) const = default;
};

// A code and city on which the two sources differ, and what the table took.
struct AreaCodeNote {
    std::string code;
    Place place;
    std::string rule;            // withdrawn, phonedata-only, libphonenumber-only, range-entry
    std::string libphonenumber;  // the codes libphonenumber gives the city, "、"-separated
    std::string phonedata;       // the codes phonedata gives the city
    std::string taken;           // the source whose word the table follows

    bool operator==(const AreaCodeNote &) const = default;
};

// The area-code table, from libphonenumber's fixed-line descriptions (which
// places each code serves) and the code phonedata gives each of its prefixes.
// A city's codes are the ones phonedata dials there; libphonenumber's are
// taken only for a city phonedata does not know, so a code a city gave up
// when it joined a shared network (开封's 0378, 本溪's 0414) is left out.
class AreaCodeTable {
public:
    // Records libphonenumber's fixed-line entry: code (with its leading 0,
    // "0755") serves every place description lists.
    void addFixedLine(std::string_view code, std::string_view description);

    // Records libphonenumber's entry for two digits ("033" for 8633): it
    // stands for the one code that begins with them, which phonedata names.
    void addRangeEntry(std::string_view digits, std::string_view description);

    // Records one phonedata prefix of place, dialled with code.
    void addPhonedata(const Place &place, std::string_view code);

    struct Result {
        std::vector<AreaCodeLine> lines;  // sorted by code
        std::vector<AreaCodeNote> notes;  // sorted by code, then place
    };

    // The table and every code and city on which the sources differ. The
    // city a code is named after is the first place libphonenumber lists for
    // it, else the place with the most phonedata prefixes on it; the others
    // follow in libphonenumber's order, then by phonedata's prefixes. Throws
    // std::runtime_error when one code would serve places in two provinces.
    Result build() const;

private:
    using City = std::pair<std::string, std::string>;  // province, city
    struct Sources {
        std::map<std::string, int> libphonenumber;  // code -> position in its description
        std::map<std::string, long> phonedata;      // code -> prefixes
        std::string range;                          // a two-digit entry naming the city
    };
    std::map<City, Sources> m_cities;
    std::set<std::string> m_fixedLineCodes;
};

// libphonenumber's carrier names ("86161|中国广电"): each entry names the
// carrier of every prefix it begins, the longest entry winning.
class CarrierTable {
public:
    // Records the entry for digits (the national prefix without 86, "161").
    void add(std::string_view digits, std::string_view carrier);

    struct Hit {
        std::string_view digits;
        std::string_view carrier;
    };

    // The longest entry that begins the 7-digit prefix; nullopt when none does.
    std::optional<Hit> find(int prefix) const;

private:
    std::map<std::string, std::string, std::less<>> m_entries;
};

// How the table's carrier label compares with a source's name for the
// carrier: the same, narrower (the same network with the kind of service
// added: "中国联通(上网卡)" against "中国联通"), or different.
enum class CarrierMatch { Same, Narrower, Different };

CarrierMatch compareCarrier(std::string_view table, std::string_view source);

// The name of a match in the carrier report ("narrower").
std::string_view carrierMatchName(CarrierMatch match);

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

// The header of the area-code table.
inline constexpr std::string_view kAreaCodeHeader = "区号\t省份\t城市\t共用城市\t本地号码位数";

// Writes kAreaCodeHeader and one tab-separated line per code, the other
// cities "、"-separated, LF line ends.
void writeAreaCodes(std::ostream &out, const std::vector<AreaCodeLine> &lines);

}  // namespace tools::quelto
