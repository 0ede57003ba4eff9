// Everything the generator decides about a row lives here; main.cpp only
// reads the two source files and feeds their lines in.
#include "tools/quelto_gen/quelto_rules.h"

#include <algorithm>
#include <limits>
#include <span>
#include <stdexcept>
#include <tuple>

#include "store/allocation.h"
#include "store/schema.h"

namespace tools::quelto {

namespace {

using namespace store::carrier;

struct Province {
    std::string_view name;    // the short form shown in the table
    std::string_view suffix;  // what follows it in a full name, if written
    bool municipality;        // its own single city
};

constexpr Province kProvinces[] = {
    {"北京", "市", true},
    {"天津", "市", true},
    {"上海", "市", true},
    {"重庆", "市", true},
    {"河北", "省", false},
    {"山西", "省", false},
    {"内蒙古", "自治区", false},
    {"辽宁", "省", false},
    {"吉林", "省", false},
    {"黑龙江", "省", false},
    {"江苏", "省", false},
    {"浙江", "省", false},
    {"安徽", "省", false},
    {"福建", "省", false},
    {"江西", "省", false},
    {"山东", "省", false},
    {"河南", "省", false},
    {"湖北", "省", false},
    {"湖南", "省", false},
    {"广东", "省", false},
    {"广西", "壮族自治区", false},
    {"海南", "省", false},
    {"四川", "省", false},
    {"贵州", "省", false},
    {"云南", "省", false},
    {"西藏", "自治区", false},
    {"陕西", "省", false},
    {"甘肃", "省", false},
    {"青海", "省", false},
    {"宁夏", "回族自治区", false},
    {"新疆", "维吾尔自治区", false},
    {"台湾", "省", false},
    {"香港", "特别行政区", true},
    {"澳门", "特别行政区", true},
};

// The peoples named in autonomous prefectures, longest spelling first so that
// "蒙古族" is taken whole before "蒙古" is tried.
constexpr std::string_view kPeoples[] = {
    "柯尔克孜", "哈萨克", "蒙古族", "土家族", "布依族", "景颇族", "傈僳族",
    "哈尼族",   "朝鲜族", "蒙古",   "回族",   "苗族",   "藏族",   "羌族",
    "彝族",     "白族",   "傣族",   "壮族",   "侗族",
};

struct Rename {
    std::string_view province;
    std::string_view from;
    std::string_view to;
    bool keepsCode = false;  // the merged city's area code lives on (Place::formerCity)
};

constexpr Rename kRenames[] = {
    {"湖北", "襄樊", "襄阳"},        // renamed 2010
    {"云南", "思茅", "普洱"},        // renamed 2007
    {"安徽", "巢湖", "合肥"},        // prefecture dissolved 2011; its seat and 0551 went to 合肥
    {"山东", "莱芜", "济南", true},  // merged into 济南 2019; its districts still dial 0634
    {"湖南", "株州", "株洲"},        // misspelt in the fixed-line descriptions
    {"广东", "潮阳", "汕头"},        // county-level city, a district of 汕头 since 2003
    {"广东", "顺德", "佛山"},        // county-level city, a district of 佛山 since 2003
    {"青海", "海南", "海南州"},      // 海南 alone reads as the province 海南
};

// Names phonedata gives where the table shows the prefecture: towns that are
// a prefecture's seat or one of its county-level cities, and informal short
// forms.
constexpr Rename kPhonedataNames[] = {
    {"内蒙古", "兴安", "兴安盟"},
    {"内蒙古", "乌兰浩特", "兴安盟"},
    {"内蒙古", "锡林郭勒", "锡林郭勒盟"},
    {"内蒙古", "阿拉善", "阿拉善盟"},
    {"内蒙古", "临河", "巴彦淖尔"},
    {"内蒙古", "海拉尔", "呼伦贝尔"},
    {"内蒙古", "集宁", "乌兰察布"},
    {"吉林", "珲春", "延边"},
    {"四川", "西昌", "凉山"},
    {"新疆", "巴州", "巴音郭楞"},
    {"新疆", "库尔勒", "巴音郭楞"},
    {"新疆", "博州", "博尔塔拉"},
    {"新疆", "博乐", "博尔塔拉"},
    {"新疆", "克州", "克孜勒苏"},
    {"新疆", "奎屯", "伊犁"},
    {"河北", "雄安", "保定"},  // 雄县, 容城 and 安新 are still counties of 保定
    {"河南", "潢川", "信阳"},
    {"湖北", "江汉", "仙桃"},  // 江汉 with 仙桃's postcode 433000
    {"湖南", "吉首", "湘西"},
    {"青海", "格尔木", "海西"},
    {"青海", "海晏", "海北"},
};

// Counties and county-level cities that libphonenumber's fixed-line
// descriptions list beside their prefecture ("吉林省延边朝鲜族自治州、珲春市、
// 延吉市"); the table's unit is the prefecture.
constexpr Rename kCountyTowns[] = {
    {"吉林", "珲春", "延边"},     {"吉林", "延吉", "延边"},   {"吉林", "梅河口", "通化"},
    {"西藏", "仲巴县", "日喀则"}, {"西藏", "嘉黎县", "那曲"}, {"西藏", "聂荣县", "那曲"},
    {"西藏", "申扎县", "那曲"},   {"西藏", "双湖", "那曲"},   {"西藏", "班戈县", "那曲"},
    {"西藏", "尼玛县", "那曲"},   {"西藏", "索县", "那曲"},   {"西藏", "普兰县", "阿里"},
    {"西藏", "扎达县", "阿里"},
};

struct Label {
    std::string_view label;
    std::string_view carrier;
};

constexpr Label kPhonedataLabels[] = {
    {"移动", kMobile},
    {"联通", kUnicom},
    {"电信", kTelecom},
    {"广电", kBroadnet},
    {"移动虚拟", kMobileResale},
    {"联通虚拟", kUnicomResale},
    {"电信虚拟", kTelecomResale},
};

struct AreaCodeFact {
    std::string_view province;
    std::string_view city;
    std::string_view code;
    std::string_view formerCity = {};
};

constexpr AreaCodeFact kAreaCodeFacts[] = {
    {"广西", "来宾", "0772"},          // cut from 柳州's prefecture in 2002, kept its network
    {"广西", "崇左", "0771"},          // cut from 南宁's prefecture in 2003, kept its network
    {"广西", "贺州", "0774"},          // shares 梧州's network
    {"广西", "贵港", "0775"},          // shares 玉林's network
    {"甘肃", "嘉峪关", "0937"},        // shares 酒泉's network
    {"甘肃", "金昌", "0935"},          // shares 武威's network
    {"湖北", "潜江", "0728"},          // 仙桃, 潜江 and 天门 share one network
    {"湖北", "神农架", "0719"},        // on 十堰's network
    {"安徽", "亳州", "0558"},          // shares 阜阳's network
    {"新疆", "伊犁", "0999"},          // 伊宁, the seat; 0992 belongs to 奎屯
    {"山东", "济南", "0531"},          // the city's own code
    {"山东", "济南", "0634", "莱芜"},  // 莱芜 and 钢城 districts kept 莱芜's network
    {"青海", "海西", "0977"},          // 德令哈, the seat; 0979 belongs to 格尔木
    {"河南", "开封", "0371"},          // joined 郑州's network on 2013-10-26
    {"辽宁", "本溪", "024"},           // joined 沈阳's network on 2014-05-24
    {"海南", "三亚", "0898"},          // the whole province is one network
    {"西藏", "那曲", "0896"},          // libphonenumber's 0807 names 索县, one of its counties
};

// Local numbers of 8 digits (every code of two digits after the 0 too), and
// of 7 or 8, as libphonenumber 9.0.35's fixed-line pattern for CN accepts a
// local number beginning 2..8; every other code has 7.
constexpr std::string_view kEightDigitCodes[] = {
    "0311", "0371", "0377", "0379", "0411", "0431", "0432", "0451", "0510", "0511",
    "0512", "0513", "0514", "0515", "0516", "0517", "0518", "0519", "0523", "0527",
    "0531", "0532", "0551", "0571", "0573", "0574", "0575", "0576", "0577", "0579",
    "0591", "0595", "0731", "0755", "0757", "0760", "0769", "0791", "0871", "0898",
};
constexpr std::string_view kSevenOrEightDigitCodes[] = {"0433", "0435", "0754", "0851"};

bool stripSuffix(std::string_view &text, std::string_view suffix) {
    if (text.size() <= suffix.size() || !text.ends_with(suffix)) {
        return false;
    }
    text.remove_suffix(suffix.size());
    return true;
}

std::string shortCity(std::string_view city) {
    if (stripSuffix(city, "自治州")) {
        bool stripped = true;
        while (stripped) {
            stripped = false;
            for (std::string_view people : kPeoples) {
                if (stripSuffix(city, people)) {
                    stripped = true;
                    break;
                }
            }
        }
        return std::string(city);
    }
    // One suffix at most ("吉林市" is 吉林). "盟" stays: 兴安 alone would read
    // as the county in 广西.
    stripSuffix(city, "地区") || stripSuffix(city, "林区") || stripSuffix(city, "市");
    return std::string(city);
}

void rename(Place &place, std::span<const Rename> renames) {
    for (const Rename &rename : renames) {
        if (place.province == rename.province && place.city == rename.from) {
            if (rename.keepsCode) {
                place.formerCity = place.city;
            }
            place.city = rename.to;
            return;
        }
    }
}

std::optional<Place> placeIn(const Province &province, std::string_view city) {
    if (province.municipality) {
        return Place{std::string(province.name), std::string(province.name)};
    }
    if (city.empty()) {
        return std::nullopt;
    }
    Place place{std::string(province.name), shortCity(city)};
    rename(place, kCountyTowns);
    rename(place, kRenames);
    return place;
}

const Province *findProvince(std::string_view &description) {
    for (const Province &province : kProvinces) {
        if (description.starts_with(province.name)) {
            description.remove_prefix(province.name.size());
            if (description.starts_with(province.suffix)) {
                description.remove_prefix(province.suffix.size());
            }
            return &province;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<Place> parsePlace(std::string_view description) {
    const Province *province = findProvince(description);
    if (province == nullptr) {
        return std::nullopt;
    }
    return placeIn(*province, description);
}

std::vector<Place> parsePlaces(std::string_view description) {
    constexpr std::string_view kSeparator = "、";
    std::vector<Place> places;
    std::string_view rest = description;
    const Province *province = nullptr;
    while (true) {
        const std::size_t end = rest.find(kSeparator);
        std::string_view item = rest.substr(0, end);
        std::optional<Place> place;
        if (province == nullptr) {
            province = findProvince(item);
            if (province == nullptr) {
                return {};
            }
            place = placeIn(*province, item);
            if (!place) {
                return {};
            }
        } else {
            place = placeIn(*province, item);
        }
        if (place && std::find(places.begin(), places.end(), *place) == places.end()) {
            places.push_back(std::move(*place));
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + kSeparator.size());
    }
    return places;
}

std::optional<Place> phonedataPlace(std::string_view province, std::string_view city) {
    for (const Province &known : kProvinces) {
        if (known.name != province) {
            continue;
        }
        if (known.municipality) {
            return Place{std::string(known.name), std::string(known.name)};
        }
        if (city.empty()) {
            return std::nullopt;
        }
        Place place{std::string(known.name), std::string(city)};
        rename(place, kPhonedataNames);
        rename(place, kRenames);
        return place;
    }
    return std::nullopt;
}

std::string_view phonedataCarrier(std::string_view label) {
    for (const Label &known : kPhonedataLabels) {
        if (known.label == label) {
            return known.carrier;
        }
    }
    return {};
}

void AreaCodes::addFixedLine(std::string_view code, std::string_view description) {
    const std::vector<Place> places = parsePlaces(description);
    for (const Place &place : places) {
        std::vector<Candidate> &candidates = m_fixedLine[place];
        const bool known = std::any_of(candidates.begin(), candidates.end(),
                                       [&](const Candidate &c) { return c.code == code; });
        if (!known) {
            candidates.push_back({std::string(code), places.size() > 1});
        }
    }
    if (!places.empty()) {
        m_hubs.try_emplace(std::string(code), places.front());
    }
}

std::optional<Place> AreaCodes::hubOf(std::string_view code) const {
    const auto found = m_hubs.find(code);
    if (found == m_hubs.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::string> AreaCodes::codeOf(const Place &place) const {
    for (const AreaCodeFact &fact : kAreaCodeFacts) {
        if (place.province == fact.province && place.city == fact.city &&
            place.formerCity == fact.formerCity) {
            return std::string(fact.code);
        }
    }
    const auto found = m_fixedLine.find(place);
    if (found == m_fixedLine.end() || found->second.empty()) {
        return std::nullopt;
    }
    const auto rank = [](const Candidate &c) { return std::tuple(!c.shared, c.code.size()); };
    std::vector<Candidate> candidates = found->second;
    std::sort(candidates.begin(), candidates.end(),
              [&](const Candidate &a, const Candidate &b) { return rank(a) < rank(b); });
    if (candidates.size() > 1 && rank(candidates[0]) == rank(candidates[1])) {
        return std::nullopt;
    }
    return candidates.front().code;
}

std::string_view localLengths(std::string_view code) {
    if (code.size() == 3) {
        return "8";
    }
    const auto listed = [&](std::span<const std::string_view> codes) {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    };
    if (listed(kEightDigitCodes)) {
        return "8";
    }
    if (listed(kSevenOrEightDigitCodes)) {
        return "7,8";
    }
    return "7";
}

namespace {

std::string joined(const std::vector<std::string> &items, std::string_view separator) {
    std::string text;
    for (const std::string &item : items) {
        if (!text.empty()) {
            text += separator;
        }
        text += item;
    }
    return text;
}

template <typename Map>
std::string joinedKeys(const Map &map) {
    std::vector<std::string> keys;
    for (const auto &entry : map) {
        keys.push_back(entry.first);
    }
    return keys.empty() ? "—" : joined(keys, "、");
}

}  // namespace

void AreaCodeTable::addFixedLine(std::string_view code, std::string_view description) {
    m_fixedLineCodes.emplace(code);
    const std::vector<Place> places = parsePlaces(description);
    for (std::size_t i = 0; i < places.size(); ++i) {
        Sources &sources = m_cities[{places[i].province, places[i].city}];
        sources.libphonenumber.try_emplace(std::string(code), static_cast<int>(i));
    }
}

void AreaCodeTable::addRangeEntry(std::string_view digits, std::string_view description) {
    if (const std::optional<Place> place = parsePlace(description)) {
        m_cities[{place->province, place->city}].range = std::string(digits);
    }
}

void AreaCodeTable::addPhonedata(const Place &place, std::string_view code) {
    ++m_cities[{place.province, place.city}].phonedata[std::string(code)];
}

AreaCodeTable::Result AreaCodeTable::build() const {
    Result result;
    struct Member {
        City city;
        int position;   // in libphonenumber's description; INT_MAX when it lists none
        long prefixes;  // phonedata's on the code
    };
    std::map<std::string, std::vector<Member>> codes;
    const auto note = [&](const std::string &code, const City &city, std::string_view rule,
                          const Sources &sources, std::string_view taken) {
        result.notes.push_back({code, Place{city.first, city.second}, std::string(rule),
                                joinedKeys(sources.libphonenumber), joinedKeys(sources.phonedata),
                                std::string(taken)});
    };

    for (const auto &[city, sources] : m_cities) {
        std::map<std::string, int> fromLibphonenumber = sources.libphonenumber;
        if (!sources.range.empty()) {
            // The range stands for the one code in it that libphonenumber
            // does not list on its own and phonedata dials in this city.
            std::vector<std::string> inRange;
            for (const auto &entry : sources.phonedata) {
                const std::string &code = entry.first;
                if (code.size() == sources.range.size() + 1 && code.starts_with(sources.range) &&
                    !m_fixedLineCodes.contains(code)) {
                    inRange.push_back(code);
                }
            }
            Sources shown = sources;
            shown.libphonenumber = {{sources.range + "x", 0}};
            if (inRange.size() == 1) {
                fromLibphonenumber.try_emplace(inRange.front(), 0);
                note(inRange.front(), city, "range-entry", shown, "phonedata");
            } else {
                note(sources.range + "x", city, "range-entry", shown, "none");
            }
        }
        const bool phonedataKnows = !sources.phonedata.empty();
        for (const auto &[code, position] : fromLibphonenumber) {
            if (phonedataKnows && !sources.phonedata.contains(code)) {
                note(code, city, "withdrawn", sources, "phonedata");
            } else if (!phonedataKnows) {
                note(code, city, "libphonenumber-only", sources, "libphonenumber");
                codes[code].push_back({city, position, 0});
            }
        }
        for (const auto &[code, prefixes] : sources.phonedata) {
            const auto listed = fromLibphonenumber.find(code);
            if (listed == fromLibphonenumber.end()) {
                note(code, city, "phonedata-only", sources, "phonedata");
            }
            const int position = listed == fromLibphonenumber.end()
                                     ? std::numeric_limits<int>::max()
                                     : listed->second;
            codes[code].push_back({city, position, prefixes});
        }
    }

    for (auto &[code, members] : codes) {
        std::sort(members.begin(), members.end(), [](const Member &a, const Member &b) {
            return std::tuple(a.position, -a.prefixes, a.city) <
                   std::tuple(b.position, -b.prefixes, b.city);
        });
        AreaCodeLine line{code,
                          members.front().city.first,
                          members.front().city.second,
                          {},
                          std::string(localLengths(code))};
        for (std::size_t i = 1; i < members.size(); ++i) {
            if (members[i].city.first != line.province) {
                throw std::runtime_error("area code " + code + " serves " + line.province +
                                         " and " + members[i].city.first);
            }
            line.others.push_back(members[i].city.second);
        }
        result.lines.push_back(std::move(line));
    }
    std::sort(result.notes.begin(), result.notes.end(),
              [](const AreaCodeNote &a, const AreaCodeNote &b) {
                  return std::tie(a.code, a.place) < std::tie(b.code, b.place);
              });
    return result;
}

void CarrierTable::add(std::string_view digits, std::string_view carrier) {
    m_entries.insert_or_assign(std::string(digits), std::string(carrier));
}

std::optional<CarrierTable::Hit> CarrierTable::find(int prefix) const {
    const std::string digits = std::to_string(prefix);
    for (std::size_t length = digits.size(); length > 0; --length) {
        const auto found = m_entries.find(std::string_view(digits).substr(0, length));
        if (found != m_entries.end()) {
            return Hit{found->first, found->second};
        }
    }
    return std::nullopt;
}

CarrierMatch compareCarrier(std::string_view table, std::string_view source) {
    if (table == source) {
        return CarrierMatch::Same;
    }
    if (!source.empty() && table.starts_with(source) &&
        table.substr(source.size()).starts_with('(') && table.ends_with(')')) {
        return CarrierMatch::Narrower;
    }
    return CarrierMatch::Different;
}

std::string_view carrierMatchName(CarrierMatch match) {
    switch (match) {
        case CarrierMatch::Same:
            return "same";
        case CarrierMatch::Narrower:
            return "narrower";
        case CarrierMatch::Different:
            return "different";
    }
    return {};
}

bool GeocoderTable::add(std::string_view digits, std::string_view description) {
    if (digits.size() <= 4) {
        return false;
    }
    m_entries.insert_or_assign(std::string(digits), std::string(description));
    return true;
}

std::optional<GeocoderTable::Hit> GeocoderTable::find(int prefix) const {
    const std::string digits = std::to_string(prefix);
    for (int length = 7; length >= 5; --length) {
        const auto found = m_entries.find(std::string_view(digits).substr(0, length));
        if (found != m_entries.end()) {
            return Hit{found->second, length};
        }
    }
    return std::nullopt;
}

std::string_view ruleName(Rule rule) {
    switch (rule) {
        case Rule::Agree:
            return "agree";
        case Rule::OnlyPhonedata:
            return "only-phonedata";
        case Rule::OnlyGeocoder:
            return "only-libphonenumber";
        case Rule::SharedNetwork:
            return "shared-network";
        case Rule::BlockEntry:
            return "block-entry";
        case Rule::Current:
            return "current";
    }
    return {};
}

Choice choose(const std::optional<Answer> &phonedata, const std::optional<Answer> &geocoder,
              const AreaCodes &areaCodes) {
    if (!phonedata && !geocoder) {
        throw std::invalid_argument("choose needs at least one answer");
    }
    if (!geocoder) {
        return {Rule::OnlyPhonedata, true};
    }
    if (!phonedata) {
        return {Rule::OnlyGeocoder, false};
    }
    if (phonedata->place == geocoder->place) {
        return {Rule::Agree, true};
    }
    if (phonedata->areaCode == geocoder->areaCode) {
        if (const std::optional<Place> hub = areaCodes.hubOf(phonedata->areaCode)) {
            const auto isHub = [&](const Place &place) {
                return place.province == hub->province && place.city == hub->city;
            };
            const bool phonedataHub = isHub(phonedata->place);
            const bool geocoderHub = isHub(geocoder->place);
            if (phonedataHub != geocoderHub) {
                return {Rule::SharedNetwork, geocoderHub};
            }
        }
    }
    if (geocoder->digits < 7) {
        return {Rule::BlockEntry, true};
    }
    return {Rule::Current, true};
}

void TableBuilder::add(int prefix, const Place &place, const std::string &areaCode,
                       std::string_view carrier) {
    if (!m_rows.empty() && prefix <= m_rows.back().last) {
        throw std::invalid_argument("prefix " + std::to_string(prefix) + " is not above " +
                                    std::to_string(m_rows.back().last));
    }
    if (!m_rows.empty()) {
        Row &last = m_rows.back();
        if (last.last + 1 == prefix && last.province == place.province && last.city == place.city &&
            last.areaCode == areaCode && last.carrier == carrier) {
            last.last = prefix;
            return;
        }
    }
    m_rows.push_back(
        Row{prefix, prefix, place.province, place.city, areaCode, std::string(carrier)});
}

void writeTsv(std::ostream &out, const std::vector<Row> &rows) {
    out << store::schema::kTsvHeader << '\n';
    for (const Row &row : rows) {
        out << row.first << '\t' << row.last << '\t' << row.province << '\t' << row.city << '\t'
            << row.areaCode << '\t' << row.carrier << '\n';
    }
}

void writeAreaCodes(std::ostream &out, const std::vector<AreaCodeLine> &lines) {
    out << kAreaCodeHeader << '\n';
    for (const AreaCodeLine &line : lines) {
        out << line.code << '\t' << line.province << '\t' << line.city << '\t'
            << joined(line.others, "、") << '\t' << line.lengths << '\n';
    }
}

}  // namespace tools::quelto
