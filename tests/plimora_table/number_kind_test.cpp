// The kinds of number lookup answers besides mobiles: each way of writing
// them, each length rule and each refusal, read against the shipped
// area-code table.
#include <gtest/gtest.h>

#include "plimora_table/number_kind.h"
#include "plimora_table/table_text.h"

namespace {

using table::NumberAnswer;

// The answer as one line: the kind, then the four texts, or for an invalid
// number its status text; "手机 13800138000" for a mobile.
std::string described(const NumberAnswer &answer) {
    switch (answer.kind) {
        case table::NumberKind::Invalid:
            return "无效：" + table::invalidText(answer);
        case table::NumberKind::Mobile:
            return "手机 " + answer.mobile.digits;
        default:
            return std::string(table::kindName(answer.kind)) + " " + answer.province + "|" +
                   answer.city + "|" + answer.areaCode + "|" + answer.card;
    }
}

struct Case {
    const char *text;
    const char *expected;
};

TEST(NumberKind, EachWayOfWritingEachLengthAndEachRefusal) {
    const store::AreaCodes codes = table::readAreaCodeTsv(AREACODES_TSV);
    const Case cases[] = {
        // Landlines, written every way lists write them.
        {"010-8888 6666", "固定电话 北京|北京|010|固定电话"},
        {"(021)6321 8888", "固定电话 上海|上海|021|固定电话"},
        {"0755 8888 8888", "固定电话 广东|深圳|0755|固定电话"},
        {"０１０８８８８６６６６", "固定电话 北京|北京|010|固定电话"},
        {"+86 571 8765 4321", "固定电话 浙江|杭州|0571|固定电话"},
        {"+86 (0)571 8765 4321", "固定电话 浙江|杭州|0571|固定电话"},
        {"0086 10 8888 6666", "固定电话 北京|北京|010|固定电话"},
        {"02887654321", "固定电话 四川|成都、资阳、眉山|028|固定电话"},
        {"024-2345 6789", "固定电话 辽宁|沈阳、铁岭、抚顺、本溪|024|固定电话"},
        // Each area's local length: 8, 7, and 7 or 8.
        {"0571 876 5432", "无效：本地号码位数不对（0571 的本地号码是 8 位，这里 7 位）"},
        {"010 8888 666", "无效：本地号码位数不对（010 的本地号码是 8 位，这里 7 位）"},
        {"0391 123 4567", "固定电话 河南|焦作、济源|0391|固定电话"},
        {"0391 1234 5678", "无效：本地号码位数不对（0391 的本地号码是 7 位，这里 8 位）"},
        {"0851 234 5678", "固定电话 贵州|贵阳、遵义、安顺|0851|固定电话"},
        {"0851 2345 6789", "固定电话 贵州|贵阳、遵义、安顺|0851|固定电话"},
        {"0851 2345 67890", "无效：本地号码位数不对（0851 的本地号码是 7 或 8 位，这里 9 位）"},
        {"0300 123 4567", "无效：没有这个区号"},
        {"8888 6666", "无效：缺少区号"},
        {"234 5678", "无效：缺少区号"},
        {"9888 6666", "无效：位数不足（8 位）"},
        {"013800138000", "无效：位数太多（12 位）"},
        // Nation-wide and service numbers.
        {"400-810-8888", "400/800 |||400号码"},
        {"8008208820", "400/800 |||800号码"},
        {"+86 400 810 8888", "400/800 |||400号码"},
        {"400 810 888", "无效：位数不足（9 位）"},
        {"10086", "服务号码 |||中国移动客服"},
        {"10010", "服务号码 |||中国联通客服"},
        {"10000", "服务号码 |||中国电信客服"},
        {"10099", "服务号码 |||中国广电客服"},
        {"10087", "无效：位数不足（5 位）"},
        {"95588", "服务号码 |||服务号码"},
        {"95105888", "服务号码 |||服务号码"},
        {"951058889", "无效：位数不足（9 位）"},
        {"96123", "服务号码 |||服务号码"},
        {"9612345", "无效：位数不足（7 位）"},
        // Hong Kong, Macau and Taiwan, with "+", "00" or nothing.
        {"+852 9123 4567", "港澳台 香港|香港||香港号码"},
        {"00852 9123 4567", "港澳台 香港|香港||香港号码"},
        {"85291234567", "港澳台 香港|香港||香港号码"},
        {"+852 9123 456", "无效：位数不对（+852 后应为 8 位，这里 7 位）"},
        {"8529123456", "无效：位数不足（10 位）"},
        {"+853 6612 3456", "港澳台 澳门|澳门||澳门号码"},
        {"+886 912 345 678", "港澳台 台湾|台湾||台湾号码"},
        {"+886 0912 345 678", "港澳台 台湾|台湾||台湾号码"},
        {"886912345678", "港澳台 台湾|台湾||台湾号码"},
        {"+886 89 123 456", "港澳台 台湾|台湾||台湾号码"},
        {"+886 2 2345 67890", "无效：位数不对（+886 后应为 8 或 9 位，这里 10 位）"},
        // Other countries, never a mainland place.
        {"+1 650 253 0000", "境外 |||境外号码（+1）"},
        {"001 650 253 0000", "境外 |||境外号码（+1）"},
        {"0044 20 7946 0958", "境外 |||境外号码（+44）"},
        {"+44 123", "无效：位数不对（+44 后 3 位）"},
        {"+1 2345 6789 0123 456", "无效：位数不对（+1 后 15 位）"},
        {"+999 1234 5678", "无效：不是中国大陆的号码（国家代码不是 86）"},
        {"+01 650 253 0000", "无效：不是中国大陆的号码（国家代码不是 86）"},
        // Mobiles stay mobiles; refusals for characters stand.
        {"+86 138 0013 8000", "手机 13800138000"},
        {"8613800138000", "手机 13800138000"},
        {"010-8888 6666 转 123", "无效：含有汉字"},
        {"+852 abc", "无效：含有字母"},
        {"010+8888 6666", "无效：含有号码以外的字符"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(described(table::readNumber(c.text, &codes)), c.expected) << c.text;
    }

    // A store without the area-code table gives a landline the mobile
    // rules' answer and says why.
    for (const char *text : {"010-8888 6666", "+86 571 8765 4321", "0300 123 4567"}) {
        const NumberAnswer answer = table::readNumber(text, nullptr);
        EXPECT_EQ(answer.kind, table::NumberKind::Invalid) << text;
        EXPECT_TRUE(answer.reason.empty()) << text;
        EXPECT_TRUE(answer.lacksAreaCodes) << text;
    }
    EXPECT_FALSE(table::readNumber("013800138000", nullptr).lacksAreaCodes);
}

}  // namespace
