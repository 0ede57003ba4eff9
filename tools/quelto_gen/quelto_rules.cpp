// Everything the generator decides about a row lives here; main.cpp only asks
// the geocoder and feeds its answers in.
#include "tools/quelto_gen/quelto_rules.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "store/schema.h"

namespace tools::quelto {

namespace {

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
};

constexpr Rename kRenames[] = {
    {"湖北", "襄樊", "襄阳"},  // renamed 2010
    {"云南", "思茅", "普洱"},  // renamed 2007
    {"安徽", "巢湖", "合肥"},  // prefecture dissolved 2011; its seat and 0551 went to 合肥
    {"山东", "莱芜", "济南"},  // merged into 济南 2019
    {"湖南", "株州", "株洲"},  // misspelt in the fixed-line descriptions
    {"广东", "潮阳", "汕头"},  // county-level city, a district of 汕头 since 2003
    {"广东", "顺德", "佛山"},  // county-level city, a district of 佛山 since 2003
};

struct Allocation {
    int block;  // 3 digits, or 4 where the block is split between networks
    std::string_view carrier;
};

constexpr std::string_view kMobile = "中国移动";
constexpr std::string_view kUnicom = "中国联通";
constexpr std::string_view kTelecom = "中国电信";
constexpr std::string_view kBroadnet = "中国广电";
constexpr std::string_view kMobileResale = "中国移动(虚拟运营商)";
constexpr std::string_view kUnicomResale = "中国联通(虚拟运营商)";
constexpr std::string_view kTelecomResale = "中国电信(虚拟运营商)";

constexpr Allocation kAllocations[] = {
    {130, kUnicom},
    {131, kUnicom},
    {132, kUnicom},
    {133, kTelecom},
    {134, kMobile},
    // 1349 began as the satellite block; the geocoder gives its prefixes
    // city-level places (nearly all 北京), i.e. ordinary mobile numbers, and
    // they are issued by China Mobile like the rest of 134.
    {1349, kMobile},
    {135, kMobile},
    {136, kMobile},
    {137, kMobile},
    {138, kMobile},
    {139, kMobile},
    {145, kUnicom},
    {147, kMobile},
    {149, kTelecom},
    {150, kMobile},
    {151, kMobile},
    {152, kMobile},
    {153, kTelecom},
    {155, kUnicom},
    {156, kUnicom},
    {157, kMobile},
    {158, kMobile},
    {159, kMobile},
    {162, kTelecomResale},
    {165, kMobileResale},
    {166, kUnicom},
    {167, kUnicomResale},
    {1700, kTelecomResale},
    {1701, kTelecomResale},
    {1702, kTelecomResale},
    {1703, kMobileResale},
    {1704, kUnicomResale},
    {1705, kMobileResale},
    {1706, kMobileResale},
    {1707, kUnicomResale},
    {1708, kUnicomResale},
    {1709, kUnicomResale},
    {171, kUnicomResale},
    {172, kMobile},
    {173, kTelecom},
    {175, kUnicom},
    {176, kUnicom},
    {177, kTelecom},
    {178, kMobile},
    {180, kTelecom},
    {181, kTelecom},
    {182, kMobile},
    {183, kMobile},
    {184, kMobile},
    {185, kUnicom},
    {186, kUnicom},
    {187, kMobile},
    {188, kMobile},
    {189, kTelecom},
    {190, kTelecom},
    {191, kTelecom},
    {192, kBroadnet},
    {193, kTelecom},
    {195, kMobile},
    {196, kUnicom},
    {197, kMobile},
    {198, kMobile},
    {199, kTelecom},
};

struct AreaCodeFact {
    std::string_view province;
    std::string_view city;
    std::string_view code;
};

constexpr AreaCodeFact kAreaCodeFacts[] = {
    {"广西", "来宾", "0772"},    // cut from 柳州's prefecture in 2002, kept its network
    {"广西", "崇左", "0771"},    // cut from 南宁's prefecture in 2003, kept its network
    {"广西", "贺州", "0774"},    // shares 梧州's network
    {"广西", "贵港", "0775"},    // shares 玉林's network
    {"甘肃", "嘉峪关", "0937"},  // shares 酒泉's network
    {"甘肃", "金昌", "0935"},    // shares 武威's network
    {"湖北", "潜江", "0728"},    // 仙桃, 潜江 and 天门 share one network
    {"湖北", "神农架", "0719"},  // on 十堰's network
    {"安徽", "亳州", "0558"},    // shares 阜阳's network
    {"新疆", "伊犁", "0999"},    // 伊宁, the seat; 0992 belongs to 奎屯
    {"山东", "济南", "0531"},  // 莱芜's 0634 comes with the merged city; the city's own code stays
    {"青海", "海西", "0977"},  // 德令哈, the seat; 0979 belongs to 格尔木
};

bool stripSuffix(std::string_view &text, std::string_view suffix) {
    if (text.size() <= suffix.size() || !text.ends_with(suffix))
        return false;
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

std::optional<Place> placeIn(const Province &province, std::string_view city) {
    if (province.municipality)
        return Place{std::string(province.name), std::string(province.name)};
    if (city.empty())
        return std::nullopt;
    Place place{std::string(province.name), shortCity(city)};
    for (const Rename &rename : kRenames) {
        if (place.province == rename.province && place.city == rename.from)
            place.city = rename.to;
    }
    return place;
}

const Province *findProvince(std::string_view &description) {
    for (const Province &province : kProvinces) {
        if (description.starts_with(province.name)) {
            description.remove_prefix(province.name.size());
            if (description.starts_with(province.suffix))
                description.remove_prefix(province.suffix.size());
            return &province;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<Place> parsePlace(std::string_view description) {
    const Province *province = findProvince(description);
    if (province == nullptr)
        return std::nullopt;
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
            if (province == nullptr)
                return {};
            place = placeIn(*province, item);
            if (!place)
                return {};
        } else {
            place = placeIn(*province, item);
        }
        if (place && std::find(places.begin(), places.end(), *place) == places.end())
            places.push_back(std::move(*place));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + kSeparator.size());
    }
    return places;
}

std::string_view carrierOf(int prefix) {
    if (prefix < 1000000 || prefix > 1999999)
        return {};
    const int four = prefix / 1000;
    const int three = prefix / 10000;
    for (const Allocation &allocation : kAllocations) {
        if (allocation.block == four)
            return allocation.carrier;
    }
    for (const Allocation &allocation : kAllocations) {
        if (allocation.block == three)
            return allocation.carrier;
    }
    return {};
}

void AreaCodes::addFixedLine(std::string_view code, std::string_view description) {
    const std::vector<Place> places = parsePlaces(description);
    for (const Place &place : places) {
        std::vector<Candidate> &candidates = m_fixedLine[place];
        const bool known = std::any_of(candidates.begin(), candidates.end(),
                                       [&](const Candidate &c) { return c.code == code; });
        if (!known)
            candidates.push_back({std::string(code), places.size() > 1});
    }
}

std::optional<std::string> AreaCodes::codeOf(const Place &place) const {
    for (const AreaCodeFact &fact : kAreaCodeFacts) {
        if (place.province == fact.province && place.city == fact.city)
            return std::string(fact.code);
    }
    const auto found = m_fixedLine.find(place);
    if (found == m_fixedLine.end() || found->second.empty())
        return std::nullopt;
    const auto rank = [](const Candidate &c) { return std::tuple(!c.shared, c.code.size()); };
    std::vector<Candidate> candidates = found->second;
    std::sort(candidates.begin(), candidates.end(),
              [&](const Candidate &a, const Candidate &b) { return rank(a) < rank(b); });
    if (candidates.size() > 1 && rank(candidates[0]) == rank(candidates[1]))
        return std::nullopt;
    return candidates.front().code;
}

void TableBuilder::add(int prefix, const Place &place, const std::string &areaCode,
                       std::string_view carrier) {
    if (!m_rows.empty() && prefix <= m_rows.back().last)
        throw std::invalid_argument("prefix " + std::to_string(prefix) + " is not above " +
                                    std::to_string(m_rows.back().last));
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

}  // namespace tools::quelto
