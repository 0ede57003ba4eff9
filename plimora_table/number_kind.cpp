// A number that is no mainland mobile is told apart by its digits alone,
// never by a guess: each rule below takes only lengths that no mainland
// mobile and no other rule's numbers have.
#include "plimora_table/number_kind.h"

#include <algorithm>
#include <array>

namespace table {

namespace {

// The country calling codes of libphonenumber 8.12.57
// (PhoneNumberUtil::GetSupportedCallingCodes()). They are prefix-free, so a
// number begins with at most one of them.
constexpr std::array<int, 215> kCallingCodes = {
    1,   7,   20,  27,  30,  31,  32,  33,  34,  36,  39,  40,  41,  43,  44,  45,  46,  47,
    48,  49,  51,  52,  53,  54,  55,  56,  57,  58,  60,  61,  62,  63,  64,  65,  66,  81,
    82,  84,  86,  90,  91,  92,  93,  94,  95,  98,  211, 212, 213, 216, 218, 220, 221, 222,
    223, 224, 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 239, 240,
    241, 242, 243, 244, 245, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255, 256, 257, 258,
    260, 261, 262, 263, 264, 265, 266, 267, 268, 269, 290, 291, 297, 298, 299, 350, 351, 352,
    353, 354, 355, 356, 357, 358, 359, 370, 371, 372, 373, 374, 375, 376, 377, 378, 380, 381,
    382, 383, 385, 386, 387, 389, 420, 421, 423, 500, 501, 502, 503, 504, 505, 506, 507, 508,
    509, 590, 591, 592, 593, 594, 595, 596, 597, 598, 599, 670, 672, 673, 674, 675, 676, 677,
    678, 679, 680, 681, 682, 683, 685, 686, 687, 688, 689, 690, 691, 692, 800, 808, 850, 852,
    853, 855, 856, 870, 878, 880, 881, 882, 883, 886, 888, 960, 961, 962, 963, 964, 965, 966,
    967, 968, 970, 971, 972, 973, 974, 975, 976, 977, 979, 992, 993, 994, 995, 996, 998};

// A number of another country has at least this many digits behind its
// code, and no number more than kLongestInternational after the "+".
constexpr std::size_t kShortestForeign = 4;
constexpr std::size_t kLongestInternational = 15;

struct Region {
    std::string_view code;
    std::string_view name;  // 省份 and 城市
    std::string_view card;
    std::size_t shortest;  // digits after the code, a trunk 0 left out
    std::size_t longest;
};

constexpr std::array<Region, 3> kRegions = {{
    {"852", "香港", "香港号码", 8, 8},
    {"853", "澳门", "澳门号码", 8, 8},
    {"886", "台湾", "台湾号码", 8, 9},
}};

struct Carrier {
    std::string_view number;
    std::string_view card;
};

constexpr std::array<Carrier, 4> kCarrierServices = {{
    {"10086", "中国移动客服"},
    {"10010", "中国联通客服"},
    {"10000", "中国电信客服"},
    {"10099", "中国广电客服"},
}};

constexpr std::string_view kServiceCard = "服务号码";
constexpr std::string_view kLandlineCard = "固定电话";
constexpr std::size_t kNationWideLength = 10;
// An area code and the shortest local number: "010" and 7 digits.
constexpr std::size_t kShortestLandline = 10;
// A local number (behind an area code) begins with one of these.
constexpr char kLowestLocalLead = '2';
constexpr char kHighestLocalLead = '8';

bool isPlus(std::string_view text, std::size_t at) {
    constexpr std::string_view kFullWidthPlus = "\xEF\xBC\x8B";
    return text[at] == '+' || text.substr(at, kFullWidthPlus.size()) == kFullWidthPlus;
}

// Whether a plus stands before the first digit of text.
bool hasPlus(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            return false;
        }
        if (isPlus(text, i)) {
            return true;
        }
        // A full-width digit is EF BC 90 to 99.
        if (text.substr(i, 2) == "\xEF\xBC" && i + 2 < text.size() &&
            static_cast<unsigned char>(text[i + 2]) - 0x90u < 10u) {
            return false;
        }
    }
    return false;
}

// The length of the calling code digits begin with; 0 when they begin with
// none.
std::size_t callingCodeLength(std::string_view digits) {
    // No code begins with 0, and "+01" must not read as the code 1.
    if (digits.starts_with("0")) {
        return 0;
    }
    for (std::size_t length = 1; length <= 3 && length <= digits.size(); ++length) {
        const int code = std::stoi(std::string(digits.substr(0, length)));
        if (std::binary_search(kCallingCodes.begin(), kCallingCodes.end(), code)) {
            return length;
        }
    }
    return 0;
}

std::string lengthsText(std::size_t shortest, std::size_t longest) {
    return shortest == longest ? std::to_string(shortest)
                               : std::to_string(shortest) + " 或 " + std::to_string(longest);
}

NumberAnswer invalid(NumberAnswer answer, std::string reason, std::string_view name) {
    answer.kind = NumberKind::Invalid;
    answer.reason = std::move(reason);
    answer.reasonName = name;
    return answer;
}

NumberAnswer found(NumberAnswer answer, NumberKind kind, std::string_view province,
                   std::string_view city, std::string_view areaCode, std::string_view card) {
    answer.kind = kind;
    answer.province = province;
    answer.city = city;
    answer.areaCode = areaCode;
    answer.card = card;
    return answer;
}

// digits after a region's code (a trunk 0 already dropped).
NumberAnswer regionNumber(NumberAnswer answer, const Region &region, std::string_view digits) {
    if (digits.size() < region.shortest || digits.size() > region.longest) {
        return invalid(std::move(answer),
                       "位数不对（+" + std::string(region.code) + " 后应为 " +
                           lengthsText(region.shortest, region.longest) + " 位，这里 " +
                           std::to_string(digits.size()) + " 位）",
                       "港澳台号码位数不对");
    }
    return found(std::move(answer), NumberKind::HongKongMacauTaiwan, region.name, region.name, "",
                 region.card);
}

// A mainland number's digits without a country code; international says
// whether +86 or 0086 stood before them, after which the 0 of an area code
// may be left out.
NumberAnswer mainlandNumber(NumberAnswer answer, std::string_view digits, bool international,
                            const store::AreaCodes *areaCodes) {
    for (const Carrier &carrier : kCarrierServices) {
        if (digits == carrier.number) {
            return found(std::move(answer), NumberKind::Service, "", "", "", carrier.card);
        }
    }
    if ((digits.starts_with("95") && digits.size() >= 5 && digits.size() <= 8) ||
        (digits.starts_with("96") && digits.size() >= 5 && digits.size() <= 6)) {
        return found(std::move(answer), NumberKind::Service, "", "", "", kServiceCard);
    }
    if (digits.size() == kNationWideLength &&
        (digits.starts_with("400") || digits.starts_with("800"))) {
        return found(std::move(answer), NumberKind::NationWide, "", "", "",
                     std::string(digits.substr(0, 3)) + "号码");
    }
    std::string national(digits);
    if (international && !national.empty() && national[0] != '0') {
        national.insert(0, "0");
    }
    if (!national.empty() && national[0] == '0') {
        // 010, 02x and 03xx to 09xx: an area code's shape, as far as it
        // tells without the table; a 0 before a mobile number has not.
        const bool codeShaped =
            national.starts_with("010") || (national.size() > 1 && national[1] >= '2');
        if (areaCodes == nullptr) {
            answer.lacksAreaCodes = codeShaped;
            return answer;
        }
        if (const store::AreaCode *area = store::findAreaCode(*areaCodes, national)) {
            const std::size_t local = national.size() - area->code.size();
            if (!store::fitsLocalLength(*area, local)) {
                const bool both = area->localLengths.size() > 1;
                return invalid(std::move(answer),
                               "本地号码位数不对（" + area->code + " 的本地号码是 " +
                                   (both ? "7 或 8" : area->localLengths) + " 位，这里 " +
                                   std::to_string(local) + " 位）",
                               "本地号码位数不对");
            }
            std::string city = area->city;
            if (!area->sharedCities.empty()) {
                city += "、" + area->sharedCities;
            }
            return found(std::move(answer), NumberKind::Landline, area->province, city, area->code,
                         kLandlineCard);
        }
        if (codeShaped && national.size() >= kShortestLandline) {
            return invalid(std::move(answer), "没有这个区号", "没有这个区号");
        }
        return answer;
    }
    if ((national.size() == 7 || national.size() == 8) && national[0] >= kLowestLocalLead &&
        national[0] <= kHighestLocalLead) {
        return invalid(std::move(answer), "缺少区号", "缺少区号");
    }
    return answer;
}

}  // namespace

std::string_view kindName(NumberKind kind) {
    switch (kind) {
        case NumberKind::Invalid:
            return "无效";
        case NumberKind::Mobile:
            return "手机";
        case NumberKind::Landline:
            return "固定电话";
        case NumberKind::NationWide:
            return "400/800";
        case NumberKind::Service:
            return "服务号码";
        case NumberKind::HongKongMacauTaiwan:
            return "港澳台";
        case NumberKind::Foreign:
            return "境外";
    }
    return "";
}

NumberAnswer readNumber(std::string_view text, const store::AreaCodes *areaCodes) {
    NumberAnswer answer;
    answer.mobile = store::readMobileNumber(text);
    switch (answer.mobile.problem) {
        case store::NumberProblem::None:
            answer.kind = NumberKind::Mobile;
            return answer;
        case store::NumberProblem::Empty:
        case store::NumberProblem::Letters:
        case store::NumberProblem::Chinese:
        case store::NumberProblem::OtherCharacters:
        case store::NumberProblem::NoDigits:
            return answer;
        default:
            break;
    }
    const std::string all = store::digitsOf(text);
    const bool plus = hasPlus(text);
    if (plus || all.starts_with("00")) {
        const std::string_view international = std::string_view(all).substr(plus ? 0 : 2);
        const std::size_t codeLength = callingCodeLength(international);
        if (codeLength == 0) {
            return answer;
        }
        const std::string_view code = international.substr(0, codeLength);
        std::string_view rest = international.substr(codeLength);
        if (code == "86") {
            return mainlandNumber(std::move(answer), rest, true, areaCodes);
        }
        for (const Region &region : kRegions) {
            if (code == region.code) {
                if (rest.starts_with("0")) {
                    rest.remove_prefix(1);
                }
                return regionNumber(std::move(answer), region, rest);
            }
        }
        if (rest.size() < kShortestForeign || international.size() > kLongestInternational) {
            return invalid(
                std::move(answer),
                "位数不对（+" + std::string(code) + " 后 " + std::to_string(rest.size()) + " 位）",
                "境外号码位数不对");
        }
        return found(std::move(answer), NumberKind::Foreign, "", "", "",
                     "境外号码（+" + std::string(code) + "）");
    }
    for (const Region &region : kRegions) {
        const std::size_t rest = all.size() - std::min(all.size(), region.code.size());
        if (all.starts_with(region.code) && rest >= region.shortest && rest <= region.longest) {
            return regionNumber(std::move(answer), region,
                                std::string_view(all).substr(region.code.size()));
        }
    }
    return mainlandNumber(std::move(answer), all, false, areaCodes);
}

std::string invalidText(const NumberAnswer &answer) {
    return answer.reason.empty() ? store::problemText(answer.mobile) : answer.reason;
}

}  // namespace table
