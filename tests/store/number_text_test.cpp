// The rules about a number text, one table per rule, each printing the input
// that broke it.
#include "store/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(NumberText, PrefixKeyReadsTheFirstSevenCharactersAsANumber) {
    const struct {
        const char *text;
        double key;
    } cases[] = {
        {"13800138000", 1380013},       // an eleven-digit number and its head agree
        {"1380013", 1380013},           // exactly seven
        {"138001", 138001},             // fewer than seven: all of them
        {"138", 138},                   //
        {"", 0},                        // nothing read gives 0
        {"   13800138000  ", 1380013},  // spaces at both ends do not count
        {"  1380013", 1380013},         //
        {"138a0013", 138},              // reading stops at the letter
        {"a1380013", 0},                // a first character that cannot start a number
        {"1380 013999", 138001},        // an inner space is one of the seven, then skipped
        {"13\t80013", 138001},          // tabs are skipped like blanks
        {"13\n80013", 138001},          // and line feeds
        {"13e5\r00", 1300000},          // but a carriage return ends the number
        {"138\r0013", 138},             //
        {"-123456", -123456},           // a sign may start the number
        {"+123456", 123456},            //
        {"12.5678", 12.5678},           // a decimal point
        {"1e3", 1000},                  // an exponent
        {"1e", 1},                      // an exponent with no digits is not read
        {"--12", 0},                    // a second sign cannot continue
        {"号码1380013", 0},             // a Chinese character cannot start a number
        {"１３８００１３", 0},          // nor can a full-width digit
        {"\t\t\t\t\t\t1380013", 1},     // tabs are not trimmed, so they use up the seven
        {"0001380", 1380},              //
    };
    for (const auto &c : cases) {
        EXPECT_DOUBLE_EQ(store::prefixKey(c.text), c.key) << "text \"" << c.text << '"';
    }
    const double huge = store::prefixKey("9e99999");
    EXPECT_TRUE(std::isinf(huge) && huge > 0) << "an exponent too large gives an infinite key";
}

TEST(NumberText, TypedKeyFilterKeepsDigitsBackspaceAndEnterWhereKept) {
    const struct {
        int code;
        int lookup;     // what the lookup field keeps (Enter kept)
        int addRecord;  // what the add-record number and area-code fields keep
    } cases[] =
        {
            {'0', '0', '0'}, {'5', '5', '5'}, {'9', '9', '9'}, {'/', 0, 0}, {':', 0, 0},
            {13, 13, 0},     {8, 8, 8},       {'a', 0, 0},     {' ', 0, 0}, {'-', 0, 0},
            {'+', 0, 0},     {'.', 0, 0},     {9, 0, 0},       {10, 0, 0},  {0, 0, 0},
            {0xFF11, 0, 0},  // a full-width digit is not typed as a digit
            {0x4E2D, 0, 0},  // 中
            {0x1F600, 0, 0},
        };
    for (const auto &c : cases) {
        EXPECT_EQ(store::filterTypedKey(c.code, store::EnterKey::Kept), c.lookup)
            << "code " << c.code;
        EXPECT_EQ(store::filterTypedKey(c.code, store::EnterKey::Dropped), c.addRecord)
            << "code " << c.code;
    }
}

TEST(NumberText, LengthThresholdsCountCharactersOfTheUntrimmedText) {
    const struct {
        const char *text;
        bool longEnough;  // may be searched or added (7 or more)
        bool clears;      // clears the lookup's results (7 or fewer)
        bool areaCode;    // a valid area-code length (3 or 4)
    } cases[] = {
        {"", false, true, false},
        {"02", false, true, false},
        {"027", false, true, true},
        {"0710", false, true, true},
        {"07100", false, true, false},
        {"区号区", false, true, true},  // characters, not bytes
        {" 27", false, true, true},     // spaces count: nothing is trimmed
        {"138001", false, true, false},
        {"1380013", true, true, false},  // at exactly 7 both hold
        {"13800138", true, false, false},
        {"13800138000", true, false, false},
        {"😀😀😀😀😀😀😀", true, true, false},  // an emoji counts once
        {"中文中文中文", false, true, false},
        {" 138001", true, true, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(store::isLongEnough(c.text), c.longEnough) << '"' << c.text << '"';
        EXPECT_EQ(store::clearsResults(c.text), c.clears) << '"' << c.text << '"';
        EXPECT_EQ(store::isAreaCodeLength(c.text), c.areaCode) << '"' << c.text << '"';
    }
    EXPECT_EQ(store::characterCount("\xff\xfe"), 2u) << "bytes that are not UTF-8";
}

TEST(NumberText, PastedTextKeepsItsDigitsAndAPhoneNumberLosesItsCountryCode) {
    const struct {
        const char *pasted;
        const char *phoneNumber;  // as a phone-number field takes it
        const char *areaCode;     // as the area-code field takes it
    } cases[] = {
        {"13800138000", "13800138000", "13800138000"},
        {"138-0013-8000", "13800138000", "13800138000"},
        {"1 380 013 8000", "13800138000", "13800138000"},
        {"138.0013.8000", "13800138000", "13800138000"},
        {"(138) 0013 8000\r\n", "13800138000", "13800138000"},
        {"+86 138 0013 8000", "13800138000", "8613800138000"},
        {"+8613800138000", "13800138000", "8613800138000"},
        {"0086 138 0013 8000", "13800138000", "008613800138000"},
        {"86-13800138000", "13800138000", "8613800138000"},
        {"+86 138 0013 800", "861380013800", "861380013800"},     // ten digits after 86: kept
        {"+86 238 0013 8000", "8623800138000", "8623800138000"},  // not a cell-phone number
        {"+86 10 8888 6666", "861088886666", "861088886666"},
        {"00086 13800138000", "0008613800138000", "0008613800138000"},
        {"8686 13800138000", "868613800138000", "868613800138000"},
        {"１３８－００１３－８０００", "13800138000", "13800138000"},  // full-width
        {"＋８６ １３８００１３８０００", "13800138000", "8613800138000"},
        {"(027)", "027", "027"},
        {"０２７", "027", "027"},
        {"1e99999", "199999", "199999"},
        {"电话：138 0013 8000。", "13800138000", "13800138000"},
        {"一三八", "", ""},  // Chinese numerals are not digits
        {"abc", "", ""},
        {"", "", ""},
        {"\xEF\xBC", "", ""},  // a cut-off full-width character
        {"٣", "", ""},         // other scripts' digits are not taken
    };
    for (const auto &c : cases) {
        EXPECT_EQ(store::cleanPaste(c.pasted, store::NumberField::PhoneNumber), c.phoneNumber)
            << '"' << c.pasted << '"';
        EXPECT_EQ(store::cleanPaste(c.pasted, store::NumberField::AreaCode), c.areaCode)
            << '"' << c.pasted << '"';
    }
}

TEST(NumberText, AMobileNumberIsReadTheWayPeopleWriteIt) {
    const struct {
        const char *text;
        const char *number;
    } cases[] = {
        {"13800138000", "13800138000"},
        {"138 0013 8000", "13800138000"},
        {"138-0013-8000", "13800138000"},
        {"138.0013.8000", "13800138000"},
        {"(138) 0013-8000", "13800138000"},
        {"  13800138000  ", "13800138000"},
        {"\t13800138000", "13800138000"},  // a tab that keeps a spreadsheet from making it a number
        {"+86 138 0013 8000", "13800138000"},
        {"+8613800138000", "13800138000"},
        {"(+86) 138-0013-8000", "13800138000"},
        {"+86-138-0013-8000", "13800138000"},
        {"0086 13800138000", "13800138000"},
        {"008613800138000", "13800138000"},
        {"86 13800138000", "13800138000"},
        {"8613800138000", "13800138000"},
        {"１３８００１３８０００", "13800138000"},             // full-width digits
        {"＋８６ １３８－００１３－８０００", "13800138000"},  // full-width plus and dash
        {"（１３８）００１３．８０００", "13800138000"},       // full-width brackets and dot
        {"138\u30000013\u30008000", "13800138000"},            // ideographic space
        {"138\u00A00013\u00A08000", "13800138000"},            // no-break space
        {"\uFEFF13800138000", "13800138000"},                  // a byte-order mark
        {"138\u20130013\u20148000", "13800138000"},            // en and em dash
        {"138·0013·8000", "13800138000"},                      // middle dot
        {"19912345678", "19912345678"},
        {"10000000000", "10000000000"},  // eleven digits from 1: the table decides
        {"- 1 3 8 0 0 1 3 8 0 0 0 -", "13800138000"},
        {"+ 86 138 0013 8000", "13800138000"},
        {"++86 138 0013 8000", "13800138000"},
        {"861 3800 1380 00", "13800138000"},
        {"00 86 138-0013-8000", "13800138000"},
    };
    for (const auto &c : cases) {
        const store::MobileNumber number = store::readMobileNumber(c.text);
        EXPECT_EQ(number.problem, store::NumberProblem::None)
            << '"' << c.text << "\": " << store::problemText(number);
        EXPECT_EQ(number.digits, c.number) << '"' << c.text << '"';
        EXPECT_EQ(static_cast<double>(number.key), store::prefixKey(number.digits))
            << '"' << c.text << "\": the key is the window's";
    }
}

TEST(NumberText, WhatIsNoMobileNumberIsRefusedWithItsReasonNeverGuessed) {
    using Problem = store::NumberProblem;
    const struct {
        const char *text;
        Problem problem;
        const char *says;  // problemText()
    } cases[] = {
        {"", Problem::Empty, "空"},
        {"   ", Problem::Empty, "空"},
        {"\u3000", Problem::Empty, "空"},
        {"138abc00000", Problem::Letters, "含有字母"},
        {"1.38001E+10", Problem::Letters, "含有字母"},  // a spreadsheet's number format
        {"１３８ＡＢ", Problem::Letters, "含有字母"},
        {"手机 13800138000", Problem::Chinese, "含有汉字"},
        {"13800138000转1", Problem::Chinese, "含有汉字"},
        {"13800138000/13900139000", Problem::OtherCharacters, "含有号码以外的字符"},
        {"=\"13800138000\"", Problem::OtherCharacters, "含有号码以外的字符"},
        {"138001380000+", Problem::OtherCharacters, "含有号码以外的字符"},  // a plus after digits
        {"138\r0013", Problem::OtherCharacters, "含有号码以外的字符"},
        {"138\xFF"
         "0013",
         Problem::OtherCharacters, "含有号码以外的字符"},              // not UTF-8
        {"\xEF\xBC", Problem::OtherCharacters, "含有号码以外的字符"},  // cut short
        {"😀13800138000", Problem::OtherCharacters, "含有号码以外的字符"},
        {"--", Problem::NoDigits, "没有数字"},
        {"( )", Problem::NoDigits, "没有数字"},
        {"+", Problem::NoDigits, "没有数字"},
        {"+1 650 253 0000", Problem::Foreign, "不是中国大陆的号码（国家代码不是 86）"},
        {"+852 9123 4567", Problem::Foreign, "不是中国大陆的号码（国家代码不是 86）"},
        {"001 650 253 0000", Problem::Foreign, "不是中国大陆的号码（国家代码不是 86）"},
        {"+13800138000", Problem::Foreign, "不是中国大陆的号码（国家代码不是 86）"},
        {"+0086 138 0013 8000", Problem::Foreign, "不是中国大陆的号码（国家代码不是 86）"},
        {"86+13800138000", Problem::OtherCharacters, "含有号码以外的字符"},
        {"+86 1380013800", Problem::TooFewDigits, "位数不足（10 位）"},
        {"+86 138 0013 8000 1", Problem::TooManyDigits, "位数太多（12 位）"},
        {"0086 138 0013 800", Problem::TooFewDigits, "位数不足（10 位）"},
        {"86 238 0013 8000", Problem::TooManyDigits, "位数太多（13 位）"},
        {"010-8888 6666", Problem::Landline, "固定电话号码（带区号）"},
        {"(0755) 8888-6666", Problem::Landline, "固定电话号码（带区号）"},
        {"0710-888 6666", Problem::Landline, "固定电话号码（带区号）"},
        {"021 6888 8888", Problem::Landline, "固定电话号码（带区号）"},
        {"+86 010 8888 6666", Problem::Landline, "固定电话号码（带区号）"},
        {"0086 0755 8888 6666", Problem::Landline, "固定电话号码（带区号）"},
        {"8888 6666", Problem::TooFewDigits, "位数不足（8 位）"},  // a landline without its code
        {"1380013800", Problem::TooFewDigits, "位数不足（10 位）"},
        {"138 0013 800", Problem::TooFewDigits, "位数不足（10 位）"},
        {"1380013", Problem::TooFewDigits, "位数不足（7 位）"},  // a prefix, not a number
        {"+86", Problem::TooFewDigits, "位数不足（0 位）"},
        {"+86 10 8888 6666", Problem::TooFewDigits, "位数不足（10 位）"},
        {"138001380000", Problem::TooManyDigits, "位数太多（12 位）"},
        {"013800138000", Problem::TooManyDigits, "位数太多（12 位）"},  // a 0 before a mobile
        {"13800138000.0", Problem::TooManyDigits, "位数太多（12 位）"},
        {"86 86 138 0013 8000", Problem::TooManyDigits, "位数太多（15 位）"},
        {"+86 86 138 0013 8000", Problem::TooManyDigits, "位数太多（13 位）"},
        {"13800138000 13900139000", Problem::TooManyDigits, "位数太多（22 位）"},
        {"23800138000", Problem::NotLeadingOne, "不以 1 开头"},
        {"+86 755 8888 6666", Problem::NotLeadingOne, "不以 1 开头"},
        {"８６２３８００１３８０００", Problem::TooManyDigits, "位数太多（13 位）"},
    };
    for (const auto &c : cases) {
        const store::MobileNumber number = store::readMobileNumber(c.text);
        EXPECT_EQ(number.problem, c.problem) << '"' << c.text << "\": " << problemText(number);
        EXPECT_EQ(store::problemText(number), c.says) << '"' << c.text << '"';
        EXPECT_EQ(number.key, 0u) << '"' << c.text << '"';
    }
    EXPECT_EQ(store::problemName(Problem::TooFewDigits), "位数不足") << "the name has no count";
}

}  // namespace
