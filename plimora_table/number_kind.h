// The kinds of number plimora-table lookup answers besides mainland mobiles:
// landlines with their area code, 400 and 800 numbers, the carriers' and
// other service numbers, numbers of Hong Kong, Macau and Taiwan, and numbers
// of other countries. One home for the rules that tell them apart; the
// mobile rules stay store::readMobileNumber()'s, which the windows share.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "store/area_codes.h"
#include "store/number_text.h"

namespace table {

// What a number is. Mobile is answered from the number table; every other
// kind carries its answer itself.
enum class NumberKind {
    Invalid,     // none of these, for the reason given
    Mobile,      // a mainland mobile number
    Landline,    // a mainland landline with its area code
    NationWide,  // a 400 or 800 number
    Service,     // a carrier's service number, or a 95xxx/96xxx one
    HongKongMacauTaiwan,
    Foreign,  // a number of another country
};

// The kinds in the order the summary counts them, with their names there
// ("手机", "固定电话", "400/800", "服务号码", "港澳台", "境外").
inline constexpr NumberKind kCountedKinds[] = {NumberKind::Mobile,
                                               NumberKind::Landline,
                                               NumberKind::NationWide,
                                               NumberKind::Service,
                                               NumberKind::HongKongMacauTaiwan,
                                               NumberKind::Foreign};
std::string_view kindName(NumberKind kind);

// How a text was read, with the answer for every kind but Mobile.
struct NumberAnswer {
    NumberKind kind = NumberKind::Invalid;
    // For Mobile the eleven digits and their key; for Invalid with an empty
    // reason, the mobile rules' problem, which is then the answer.
    store::MobileNumber mobile;
    // The answer's texts for the kinds other than Mobile and Invalid.
    std::string province;
    std::string city;
    std::string areaCode;
    std::string card;
    // For Invalid beyond the mobile rules: the status text after "无效：" and
    // its short name for the summary ("缺少区号", "本地号码位数不对" …).
    std::string reason;
    std::string_view reasonName;
    // Whether the number begins with a mainland area code's 0 and was
    // answered by the mobile rules alone because areaCodes was null.
    bool lacksAreaCodes = false;
};

// Reads text: first by store::readMobileNumber(), whose mobiles and
// refusals for characters no number is written with (letters, Chinese,
// other characters, nothing at all) stand. Every other text is read from
// its digits and a "+" or "00" in front:
//   - after "+" or "00" a country code of libphonenumber's list: 86 is read
//     as a mainland number below, 852, 853 and 886 (a trunk 0 dropped) as
//     HongKongMacauTaiwan when 8, 8 and 8 or 9 digits follow, any other
//     code as Foreign when at least 4 digits follow the code and at most
//     15 the "+" or "00" (else Invalid saying so); an unknown code keeps
//     the mobile rules' problem;
//   - without either, "852" or "853" before 8 digits and "886" before 8 or
//     9 are HongKongMacauTaiwan (no mainland number has 11 or 12 digits
//     beginning 8);
//   - 10086, 10010, 10000, 10099, 95 before 3 to 6 digits and 96 before 3
//     or 4 are Service; 400 or 800 before 7 digits NationWide;
//   - a 0 and an area code of areaCodes (after +86 the 0 may be left out)
//     is a Landline when the local number behind it has a length that area
//     uses, else Invalid saying the lengths; 10 digits or more that begin
//     with a code's shape (010, 02, 03 to 09) but no code of areaCodes are
//     Invalid, "没有这个区号"; without areaCodes (null) such a
//     number keeps the mobile rules' answer and lacksAreaCodes is set;
//   - 7 or 8 digits beginning 2 to 8 are Invalid, "缺少区号".
// Anything else keeps the mobile rules' problem. Throws nothing.
NumberAnswer readNumber(std::string_view text, const store::AreaCodes *areaCodes);

// The status text after "无效：" of an Invalid answer.
std::string invalidText(const NumberAnswer &answer);

}  // namespace table
