// The generator's rules, one table per rule, with descriptions and names as
// the two source tables write them.
#include "tools/quelto_gen/quelto_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tools::quelto::Answer;
using tools::quelto::AreaCodeLine;
using tools::quelto::AreaCodeNote;
using tools::quelto::AreaCodes;
using tools::quelto::AreaCodeTable;
using tools::quelto::CarrierMatch;
using tools::quelto::CarrierTable;
using tools::quelto::Choice;
using tools::quelto::choose;
using tools::quelto::GeocoderTable;
using tools::quelto::localLengths;
using tools::quelto::parsePlace;
using tools::quelto::parsePlaces;
using tools::quelto::phonedataCarrier;
using tools::quelto::phonedataPlace;
using tools::quelto::Place;
using tools::quelto::Row;
using tools::quelto::Rule;
using tools::quelto::ruleName;
using tools::quelto::TableBuilder;

std::string show(const std::optional<Place> &place) {
    if (!place) {
        return "(none)";
    }
    return place->province + "/" + place->city +
           (place->formerCity.empty() ? "" : "(" + place->formerCity + ")");
}

TEST(QueltoRulesTest, ShortNamesOfOneDescription) {
    struct Case {
        const char *description;
        std::optional<Place> expected;
    };
    const Case cases[] = {
        {"广东省深圳市", Place{"广东", "深圳"}},
        {"吉林省吉林市", Place{"吉林", "吉林"}},
        {"北京市", Place{"北京", "北京"}},
        {"天津", Place{"天津", "天津"}},
        {"天津市", Place{"天津", "天津"}},
        {"上海市", Place{"上海", "上海"}},
        {"重庆市", Place{"重庆", "重庆"}},
        {"广西南宁市", Place{"广西", "南宁"}},
        {"广西壮族自治区桂林市", Place{"广西", "桂林"}},
        {"新疆维吾尔自治区乌鲁木齐市", Place{"新疆", "乌鲁木齐"}},
        {"宁夏银川市", Place{"宁夏", "银川"}},
        {"内蒙古呼和浩特市", Place{"内蒙古", "呼和浩特"}},
        {"内蒙古锡林郭勒盟", Place{"内蒙古", "锡林郭勒盟"}},
        {"新疆伊犁哈萨克自治州", Place{"新疆", "伊犁"}},
        {"新疆克孜勒苏柯尔克孜自治州", Place{"新疆", "克孜勒苏"}},
        {"新疆博尔塔拉蒙古自治州", Place{"新疆", "博尔塔拉"}},
        {"新疆石河子市", Place{"新疆", "石河子"}},
        {"青海省海西蒙古族藏族自治州", Place{"青海", "海西"}},
        // 海南 alone would read as the province.
        {"青海省海南藏族自治州", Place{"青海", "海南州"}},
        {"海南省海口市", Place{"海南", "海口"}},
        {"湖北省恩施土家族苗族自治州", Place{"湖北", "恩施"}},
        {"湖北省神农架林区", Place{"湖北", "神农架"}},
        {"黑龙江省大兴安岭地区", Place{"黑龙江", "大兴安岭"}},
        {"西藏日喀则地区", Place{"西藏", "日喀则"}},
        {"贵州省黔西南布依族苗族自治州", Place{"贵州", "黔西南"}},
        {"云南省德宏傣族景颇族自治州", Place{"云南", "德宏"}},
        {"云南省红河哈尼族彝族自治州", Place{"云南", "红河"}},
        {"四川省阿坝藏族羌族自治州", Place{"四川", "阿坝"}},
        {"吉林省延边朝鲜族自治州", Place{"吉林", "延边"}},
        // Renamed or merged cities come out under their current names.
        {"湖北省襄樊市", Place{"湖北", "襄阳"}},
        {"云南省思茅市", Place{"云南", "普洱"}},
        {"安徽省巢湖市", Place{"安徽", "合肥"}},
        // 莱芜's blocks keep its area code inside 济南.
        {"山东省莱芜市", Place{"山东", "济南", "莱芜"}},
        {"湖南省株州市", Place{"湖南", "株洲"}},
        // A rename is tied to its province.
        {"河北省莱芜市", Place{"河北", "莱芜"}},
        // Nothing below the country.
        {"中国", std::nullopt},
        {"", std::nullopt},
        {"广东省", std::nullopt},
        {"美国", std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(show(parsePlace(c.description)), show(c.expected)) << c.description;
    }
}

TEST(QueltoRulesTest, PlacesOfAFixedLineDescription) {
    struct Case {
        const char *description;
        std::vector<Place> expected;
    };
    const Case cases[] = {
        {"四川省成都市、资阳市、眉山市", {{"四川", "成都"}, {"四川", "资阳"}, {"四川", "眉山"}}},
        {"湖南省长沙市、湘潭市、株州市", {{"湖南", "长沙"}, {"湖南", "湘潭"}, {"湖南", "株洲"}}},
        // Counties and county towns listed beside their prefecture are the prefecture.
        {"吉林省延边朝鲜族自治州、珲春市、延吉市", {{"吉林", "延边"}}},
        {"西藏阿里地区、普兰县、扎达县", {{"西藏", "阿里"}}},
        {"吉林省通化市、梅河口市", {{"吉林", "通化"}}},
        {"西藏索县", {{"西藏", "那曲"}}},
        // A name that renames into one already listed is kept once.
        {"安徽省合肥市、巢湖市", {{"安徽", "合肥"}}},
        {"湖北省襄樊市、襄樊市", {{"湖北", "襄阳"}}},
        {"广东省汕头市、潮阳市", {{"广东", "汕头"}}},
        {"广东省深圳市", {{"广东", "深圳"}}},
        {"北京市", {{"北京", "北京"}}},
        {"中国", {}},
        {"", {}},
    };
    for (const Case &c : cases) {
        const std::vector<Place> places = parsePlaces(c.description);
        ASSERT_EQ(places.size(), c.expected.size()) << c.description;
        for (std::size_t i = 0; i < places.size(); ++i) {
            EXPECT_EQ(show(places[i]), show(c.expected[i])) << c.description << " item " << i;
        }
    }
}

TEST(QueltoRulesTest, PhonedataNames) {
    struct Case {
        const char *province;
        const char *city;
        std::optional<Place> expected;
    };
    const Case cases[] = {
        {"广东", "深圳", Place{"广东", "深圳"}},
        {"北京", "北京", Place{"北京", "北京"}},
        // A municipality's districts are the municipality.
        {"重庆", "万州", Place{"重庆", "重庆"}},
        {"重庆", "黔江", Place{"重庆", "重庆"}},
        // Informal short forms and county towns become the prefecture.
        {"新疆", "巴州", Place{"新疆", "巴音郭楞"}},
        {"新疆", "库尔勒", Place{"新疆", "巴音郭楞"}},
        {"新疆", "奎屯", Place{"新疆", "伊犁"}},
        {"内蒙古", "兴安", Place{"内蒙古", "兴安盟"}},
        {"内蒙古", "锡林郭勒", Place{"内蒙古", "锡林郭勒盟"}},
        {"湖南", "吉首", Place{"湖南", "湘西"}},
        {"吉林", "珲春", Place{"吉林", "延边"}},
        {"青海", "格尔木", Place{"青海", "海西"}},
        // The renames both sources share.
        {"山东", "莱芜", Place{"山东", "济南", "莱芜"}},
        {"安徽", "巢湖", Place{"安徽", "合肥"}},
        {"青海", "海南", Place{"青海", "海南州"}},
        // Province-level units named as themselves stay.
        {"海南", "三亚", Place{"海南", "三亚"}},
        {"河南", "济源", Place{"河南", "济源"}},
        // An alias belongs to its province.
        {"河北", "吉首", Place{"河北", "吉首"}},
        {"未知", "北京", std::nullopt},
        {"", "", std::nullopt},
        {"广东", "", std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(show(phonedataPlace(c.province, c.city)), show(c.expected))
            << c.province << "/" << c.city;
    }
}

TEST(QueltoRulesTest, PhonedataCarrierLabels) {
    const std::pair<const char *, const char *> cases[] = {
        {"移动", "中国移动"},
        {"联通", "中国联通"},
        {"电信", "中国电信"},
        {"广电", "中国广电"},
        {"移动虚拟", "中国移动(虚拟运营商)"},
        {"联通虚拟", "中国联通(虚拟运营商)"},
        {"电信虚拟", "中国电信(虚拟运营商)"},
        {"未知", ""},
        {"", ""},
    };
    for (const auto &[label, carrier] : cases) {
        EXPECT_EQ(phonedataCarrier(label), carrier) << label;
    }
}

TEST(QueltoRulesTest, GeocoderLeavesWholeBlockEntriesOut) {
    GeocoderTable table;
    EXPECT_FALSE(table.add("173", "北京市"));
    EXPECT_FALSE(table.add("1784", "吉林省长春市"));
    EXPECT_FALSE(table.add("1451", "北京市"));
    EXPECT_TRUE(table.add("17840", "广西桂林市"));
    EXPECT_TRUE(table.add("145100", "天津市"));
    EXPECT_TRUE(table.add("1451001", "河北省石家庄市"));
    struct Case {
        int prefix;
        const char *description;  // "" when no entry may answer
        int digits;
    };
    const Case cases[] = {
        {1731234, "", 0},           {1784100, "", 0},       {1784000, "广西桂林市", 5},
        {1784099, "广西桂林市", 5}, {1451000, "天津市", 6}, {1451001, "河北省石家庄市", 7},
        {1451002, "天津市", 6},     {1451010, "", 0},
    };
    for (const Case &c : cases) {
        const std::optional<GeocoderTable::Hit> hit = table.find(c.prefix);
        EXPECT_EQ(hit ? std::string(hit->description) : "", c.description) << c.prefix;
        EXPECT_EQ(hit ? hit->digits : 0, c.digits) << c.prefix;
    }
}

// The merge rules between the two sources, with the networks as the
// fixed-line descriptions give them.
TEST(QueltoRulesTest, ChoiceBetweenTheSources) {
    AreaCodes codes;
    codes.addFixedLine("029", "陕西省西安市、咸阳市");
    codes.addFixedLine("0731", "湖南省长沙市、湘潭市、株州市");
    codes.addFixedLine("0775", "广西玉林市");
    codes.addFixedLine("020", "广东省广州市");

    const Answer xian{{"陕西", "西安"}, "029"};
    const Answer xianyang{{"陕西", "咸阳"}, "029"};
    const Answer changsha{{"湖南", "长沙"}, "0731"};
    const Answer zhuzhou{{"湖南", "株洲"}, "0731"};
    const Answer xiangtan{{"湖南", "湘潭"}, "0731"};
    const Answer yulin{{"广西", "玉林"}, "0775"};
    const Answer guigang{{"广西", "贵港"}, "0775"};
    const Answer guangzhouBlock{{"广东", "广州"}, "020", 5};
    const Answer shenzhen{{"广东", "深圳"}, "0755"};
    const Answer guangzhou{{"广东", "广州"}, "020"};
    const Answer jinanLaiwu{{"山东", "济南", "莱芜"}, "0634"};
    const Answer jinan{{"山东", "济南"}, "0531"};

    struct Case {
        const char *name;
        std::optional<Answer> phonedata;
        std::optional<Answer> geocoder;
        Rule rule;
        bool fromPhonedata;
    };
    const Case cases[] = {
        {"the same place", xian, xian, Rule::Agree, true},
        {"only phonedata", xianyang, std::nullopt, Rule::OnlyPhonedata, true},
        {"only the geocoder", std::nullopt, xian, Rule::OnlyGeocoder, false},
        {"geocoder names the hub", xianyang, xian, Rule::SharedNetwork, true},
        {"phonedata names the hub", xian, xianyang, Rule::SharedNetwork, false},
        {"hub of a network listed alone", guigang, yulin, Rule::SharedNetwork, true},
        {"hub of a network listed alone, other way", yulin, guigang, Rule::SharedNetwork, false},
        {"two cities on one network, neither the hub", zhuzhou, xiangtan, Rule::Current, true},
        {"block entry against a city", shenzhen, guangzhouBlock, Rule::BlockEntry, true},
        {"block entry naming the same city", guangzhou, guangzhouBlock, Rule::Agree, true},
        {"different networks", shenzhen, guangzhou, Rule::Current, true},
        {"hub on another network is no hub rule", zhuzhou, xian, Rule::Current, true},
        {"a merged city is not its new city", jinan, jinanLaiwu, Rule::Current, true},
        {"a merged city is not its new city, other way", jinanLaiwu, jinan, Rule::Current, true},
        {"hub against block entry of a city", changsha, Answer{{"湖南", "株洲"}, "0731", 6},
         Rule::SharedNetwork, false},
    };
    for (const Case &c : cases) {
        const Choice choice = choose(c.phonedata, c.geocoder, codes);
        EXPECT_EQ(ruleName(choice.rule), ruleName(c.rule)) << c.name;
        EXPECT_EQ(choice.fromPhonedata, c.fromPhonedata) << c.name;
    }
    EXPECT_THROW(choose(std::nullopt, std::nullopt, codes), std::invalid_argument);
}

TEST(QueltoRulesTest, HubOfANetwork) {
    AreaCodes codes;
    codes.addFixedLine("024", "辽宁省沈阳市、铁岭市、抚顺市");
    codes.addFixedLine("0851", "贵州省贵阳市、遵义市、安顺市");
    codes.addFixedLine("0851", "贵州省遵义市");
    codes.addFixedLine("0634", "山东省莱芜市");
    EXPECT_EQ(show(codes.hubOf("024")), "辽宁/沈阳");
    EXPECT_EQ(show(codes.hubOf("0851")), "贵州/贵阳");
    EXPECT_EQ(show(codes.hubOf("0634")), "山东/济南(莱芜)");
    EXPECT_EQ(show(codes.hubOf("0999")), "(none)");
}

TEST(QueltoRulesTest, AreaCodeOfCity) {
    struct Entry {
        const char *code;
        const char *description;
    };
    struct Case {
        const char *name;
        std::vector<Entry> entries;
        Place place;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"own code", {{"0755", "广东省深圳市"}}, {"广东", "深圳"}, "0755"},
        {"shared beats own",
         {{"0410", "辽宁省铁岭市"}, {"024", "辽宁省沈阳市、铁岭市、抚顺市"}},
         {"辽宁", "铁岭"},
         "024"},
        {"shared beats own, other order",
         {{"024", "辽宁省沈阳市、铁岭市、抚顺市"}, {"0410", "辽宁省铁岭市"}},
         {"辽宁", "铁岭"},
         "024"},
        {"shorter shared beats longer shared",
         {{"0832", "四川省内江市、资阳市"}, {"028", "四川省成都市、资阳市、眉山市"}},
         {"四川", "资阳"},
         "028"},
        {"renamed city in a shared entry",
         {{"0731", "湖南省长沙市、湘潭市、株州市"}},
         {"湖南", "株洲"},
         "0731"},
        {"the same code twice is no tie",
         {{"0710", "湖北省襄樊市、襄樊市"}, {"0710", "湖北省襄樊市"}},
         {"湖北", "襄阳"},
         "0710"},
        {"two own codes tie",
         {{"0902", "新疆哈密地区"}, {"0903", "新疆哈密地区"}},
         {"新疆", "哈密"},
         std::nullopt},
        {"fact beats the entries", {{"0992", "新疆伊犁哈萨克自治州"}}, {"新疆", "伊犁"}, "0999"},
        {"fact settles a merged city",
         {{"0531", "山东省济南市"}, {"0634", "山东省莱芜市"}},
         {"山东", "济南"},
         "0531"},
        {"the merged city's blocks keep its code",
         {{"0531", "山东省济南市"}, {"0634", "山东省莱芜市"}},
         {"山东", "济南", "莱芜"},
         "0634"},
        {"开封 joined 郑州's network", {{"0378", "河南省开封市"}}, {"河南", "开封"}, "0371"},
        {"本溪 joined 沈阳's network", {{"0414", "辽宁省本溪市"}}, {"辽宁", "本溪"}, "024"},
        {"fact fills a gap", {}, {"广西", "来宾"}, "0772"},
        {"unknown city", {{"0755", "广东省深圳市"}}, {"广东", "广州"}, std::nullopt},
        {"city of another province",
         {{"0974", "青海省海南藏族自治州"}},
         {"海南", "海南"},
         std::nullopt},
    };
    for (const Case &c : cases) {
        AreaCodes codes;
        for (const Entry &entry : c.entries) {
            codes.addFixedLine(entry.code, entry.description);
        }
        EXPECT_EQ(codes.codeOf(c.place).value_or("(none)"), c.expected.value_or("(none)"))
            << c.name;
    }
}

TEST(QueltoRulesTest, LocalNumberLengths) {
    const std::pair<const char *, const char *> cases[] = {
        {"010", "8"},    {"029", "8"},  {"0311", "8"}, {"0898", "8"}, {"0433", "7,8"},
        {"0851", "7,8"}, {"0310", "7"}, {"0771", "7"}, {"0999", "7"},
    };
    for (const auto &[code, lengths] : cases) {
        EXPECT_EQ(localLengths(code), lengths) << code;
    }
}

std::string show(const AreaCodeLine &line) {
    std::string text = line.code + " " + line.province + "/" + line.city + " [";
    for (const std::string &other : line.others) {
        text += other + ";";
    }
    return text + "] " + line.lengths;
}

std::string show(const AreaCodeNote &note) {
    return note.code + " " + show(std::optional<Place>(note.place)) + " " + note.rule + " " +
           note.libphonenumber + " | " + note.phonedata + " -> " + note.taken;
}

TEST(QueltoRulesTest, AreaCodeTableFromBothSources) {
    struct Entry {
        const char *code;  // two digits after the 0 for a range entry ("033")
        const char *description;
    };
    struct Dialled {
        Place place;
        const char *code;
        int prefixes;
    };
    struct Case {
        const char *name;
        std::vector<Entry> fixedLine;
        std::vector<Entry> ranges;
        std::vector<Dialled> phonedata;
        std::vector<std::string> lines;
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {"a shared network: libphonenumber's order, then phonedata's; old codes left out",
         {{"024", "辽宁省沈阳市、铁岭市、抚顺市"},
          {"0410", "辽宁省铁岭市"},
          {"0414", "辽宁省本溪市"}},
         {},
         {{{"辽宁", "沈阳"}, "024", 1},
          {{"辽宁", "本溪"}, "024", 5},
          {{"辽宁", "抚顺"}, "024", 1},
          {{"辽宁", "铁岭"}, "024", 1}},
         {"024 辽宁/沈阳 [铁岭;抚顺;本溪;] 8"},
         {"024 辽宁/本溪 phonedata-only 0414 | 024 -> phonedata",
          "0410 辽宁/铁岭 withdrawn 024、0410 | 024 -> phonedata",
          "0414 辽宁/本溪 withdrawn 0414 | 024 -> phonedata"}},
        {"a code libphonenumber never lists: the city with most prefixes, then by name",
         {},
         {},
         {{{"湖北", "天门"}, "0728", 2},
          {{"湖北", "潜江"}, "0728", 2},
          {{"湖北", "仙桃"}, "0728", 9}},
         {"0728 湖北/仙桃 [天门;潜江;] 7"},
         {"0728 湖北/仙桃 phonedata-only — | 0728 -> phonedata",
          "0728 湖北/天门 phonedata-only — | 0728 -> phonedata",
          "0728 湖北/潜江 phonedata-only — | 0728 -> phonedata"}},
        {"a city phonedata does not know keeps libphonenumber's code",
         {{"0901", "新疆塔城地区"}},
         {},
         {},
         {"0901 新疆/塔城 [] 7"},
         {"0901 新疆/塔城 libphonenumber-only 0901 | — -> libphonenumber"}},
        {"a range entry stands for the one code phonedata dials in it",
         {},
         {{"033", "河北省秦皇岛市"}},
         {{{"河北", "秦皇岛"}, "0335", 3}},
         {"0335 河北/秦皇岛 [] 7"},
         {"0335 河北/秦皇岛 range-entry 033x | 0335 -> phonedata"}},
        {"a range entry without a code in phonedata names none",
         {},
         {{"058", "浙江省舟山市"}},
         {{{"浙江", "舟山"}, "0572", 1}},
         {"0572 浙江/舟山 [] 7"},
         {"0572 浙江/舟山 phonedata-only — | 0572 -> phonedata",
          "058x 浙江/舟山 range-entry 058x | 0572 -> none"}},
    };
    for (const Case &c : cases) {
        AreaCodeTable table;
        for (const Entry &entry : c.fixedLine) {
            table.addFixedLine(entry.code, entry.description);
        }
        for (const Entry &entry : c.ranges) {
            table.addRangeEntry(entry.code, entry.description);
        }
        for (const Dialled &dialled : c.phonedata) {
            for (int i = 0; i < dialled.prefixes; ++i) {
                table.addPhonedata(dialled.place, dialled.code);
            }
        }
        const AreaCodeTable::Result result = table.build();
        std::vector<std::string> lines;
        for (const AreaCodeLine &line : result.lines) {
            lines.push_back(show(line));
        }
        std::vector<std::string> notes;
        for (const AreaCodeNote &note : result.notes) {
            notes.push_back(show(note));
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(notes, c.notes) << c.name;
    }
}

TEST(QueltoRulesTest, AreaCodeServesOneProvince) {
    AreaCodeTable table;
    table.addFixedLine("0898", "海南省海口市");
    table.addPhonedata({"广东", "湛江"}, "0898");
    EXPECT_THROW(table.build(), std::runtime_error);
}

TEST(QueltoRulesTest, CarrierOfTheLongestEntry) {
    CarrierTable carriers;
    carriers.add("15", "中国移动");
    carriers.add("153", "中国电信");
    carriers.add("161", "中国广电");
    carriers.add("1703", "中国移动");
    struct Case {
        int prefix;
        const char *digits;  // "" when no entry names the prefix
        const char *carrier;
    };
    const Case cases[] = {
        {1530000, "153", "中国电信"},  {1589999, "15", "中国移动"}, {1619999, "161", "中国广电"},
        {1703000, "1703", "中国移动"}, {1702999, "", ""},
    };
    for (const Case &c : cases) {
        const std::optional<CarrierTable::Hit> hit = carriers.find(c.prefix);
        EXPECT_EQ(hit ? std::string(hit->digits) : "", c.digits) << c.prefix;
        EXPECT_EQ(hit ? std::string(hit->carrier) : "", c.carrier) << c.prefix;
    }
}

TEST(QueltoRulesTest, CarrierLabelAgainstTheSource) {
    struct Case {
        const char *table;
        const char *source;
        CarrierMatch match;
    };
    const Case cases[] = {
        {"中国广电", "中国广电", CarrierMatch::Same},
        {"中国联通(上网卡)", "中国联通", CarrierMatch::Narrower},
        {"中国电信(卫星电话)", "中国电信", CarrierMatch::Narrower},
        {"卫星电话", "中国电信", CarrierMatch::Different},
        {"中国移动(上网卡)", "中国联通", CarrierMatch::Different},
        {"中国电信", "中国电信(虚拟运营商)", CarrierMatch::Different},
        {"中国电信(卫星", "中国电信", CarrierMatch::Different},
        {"(上网卡)", "", CarrierMatch::Different},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(tools::quelto::carrierMatchName(tools::quelto::compareCarrier(c.table, c.source)),
                  tools::quelto::carrierMatchName(c.match))
            << c.table << " against " << c.source;
    }
}

TEST(QueltoRulesTest, ConsecutivePrefixesWithTheSameTextsMerge) {
    const Place shenzhen{"广东", "深圳"};
    const Place guangzhou{"广东", "广州"};
    TableBuilder table;
    table.add(1300000, shenzhen, "0755", "中国联通");
    table.add(1300001, shenzhen, "0755", "中国联通");
    table.add(1300002, shenzhen, "0755", "中国联通");
    table.add(1300004, shenzhen, "0755", "中国联通");   // a gap
    table.add(1300005, guangzhou, "020", "中国联通");   // another city
    table.add(1300006, guangzhou, "020", "中国移动");   // another carrier
    table.add(1300007, guangzhou, "0200", "中国移动");  // another code
    table.add(1300008, guangzhou, "0200", "中国移动");
    const std::vector<Row> expected{
        {1300000, 1300002, "广东", "深圳", "0755", "中国联通"},
        {1300004, 1300004, "广东", "深圳", "0755", "中国联通"},
        {1300005, 1300005, "广东", "广州", "020", "中国联通"},
        {1300006, 1300006, "广东", "广州", "020", "中国移动"},
        {1300007, 1300008, "广东", "广州", "0200", "中国移动"},
    };
    EXPECT_EQ(table.rows(), expected);
}

TEST(QueltoRulesTest, PrefixesMustRise) {
    const Place place{"北京", "北京"};
    for (int next : {1380013, 1380012, 1300000}) {
        TableBuilder table;
        table.add(1380010, place, "010", "中国移动");
        table.add(1380013, place, "010", "中国移动");
        EXPECT_THROW(table.add(next, place, "010", "中国移动"), std::invalid_argument) << next;
        EXPECT_EQ(table.rows().size(), 2u) << next;
    }
}

TEST(QueltoRulesTest, WritesHeaderAndTabSeparatedRows) {
    std::ostringstream out;
    tools::quelto::writeTsv(out,
                            {{1380010, 1380019, "北京", "北京", "010", "中国移动"},
                             {1700000, 1700004, "北京", "北京", "010", "中国电信(虚拟运营商)"}});
    EXPECT_EQ(out.str(),
              "号码1\t号码2\t省份\t城市\t区号\t卡信息\n"
              "1380010\t1380019\t北京\t北京\t010\t中国移动\n"
              "1700000\t1700004\t北京\t北京\t010\t中国电信(虚拟运营商)\n");
}

}  // namespace
