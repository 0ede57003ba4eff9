// quelto_gen: writes the shipped table data/quelto.tsv from libphonenumber's
// offline geocoder. It reads the Chinese (zh) description of every fixed-line
// area code to learn each city's code, then of every 7-digit mobile prefix
// 1300000..1999999, and writes one row per run of prefixes with the same
// place, area code and carrier. Prefixes the geocoder places only in the
// country get no row.
//
// Usage: quelto_gen <quelto.tsv>
#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>

#include "tools/quelto_gen/quelto_rules.h"

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberOfflineGeocoder;
using i18n::phonenumbers::PhoneNumberUtil;

constexpr int kFirstPrefix = 1300000;
constexpr int kLastPrefix = 1999999;

class Geocoder {
public:
    Geocoder() : m_util(*PhoneNumberUtil::GetInstance()), m_locale("zh") {
        m_number.set_country_code(86);
    }

    // The description of the national number, "" when libphonenumber does not
    // take it for a valid fixed-line number.
    std::string fixedLine(std::uint64_t national) {
        m_number.set_national_number(national);
        if (!m_util.IsValidNumber(m_number))
            return {};
        const auto type = m_util.GetNumberType(m_number);
        if (type != PhoneNumberUtil::FIXED_LINE && type != PhoneNumberUtil::FIXED_LINE_OR_MOBILE)
            return {};
        return describe();
    }

    // The description of an 11-digit mobile number; its validity is not
    // asked, since the geocoder knows blocks that the number patterns lag
    // behind and the other way round.
    std::string mobile(std::uint64_t national) {
        m_number.set_national_number(national);
        return describe();
    }

private:
    // With the user in China the description leaves the country out, and is
    // the country's name alone when nothing finer is known.
    std::string describe() {
        return m_geocoder.GetDescriptionForValidNumber(m_number, m_locale, "CN");
    }

    const PhoneNumberUtil &m_util;
    PhoneNumberOfflineGeocoder m_geocoder;
    icu::Locale m_locale;
    PhoneNumber m_number;
};

// The area codes in use: 10, 2x and 3xx..9xx, as dialled after the leading 0.
std::vector<int> areaCodeCandidates() {
    std::vector<int> codes{10};
    for (int code = 20; code <= 29; ++code) codes.push_back(code);
    for (int code = 300; code <= 999; ++code) codes.push_back(code);
    return codes;
}

tools::quelto::AreaCodes readAreaCodes(Geocoder &geocoder) {
    tools::quelto::AreaCodes areaCodes;
    for (int code : areaCodeCandidates()) {
        // Subscriber numbers of 7 and 8 digits with every leading digit, so a
        // code is found whatever its numbering plan; an unused code yields no
        // valid number at all.
        std::set<std::string> descriptions;
        for (std::uint64_t length : {7u, 8u}) {
            std::uint64_t scale = 1;
            for (std::uint64_t i = 0; i < length; ++i) scale *= 10;
            for (std::uint64_t lead = 2; lead <= 9; ++lead) {
                const std::uint64_t subscriber = lead * (scale / 10) + 2345678 % (scale / 10);
                std::string description = geocoder.fixedLine(code * scale + subscriber);
                if (!description.empty())
                    descriptions.insert(std::move(description));
            }
        }
        for (const std::string &description : descriptions)
            areaCodes.addFixedLine("0" + std::to_string(code), description);
    }
    return areaCodes;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cerr << "usage: quelto_gen <quelto.tsv>\n";
        return 2;
    }

    Geocoder geocoder;
    const tools::quelto::AreaCodes areaCodes = readAreaCodes(geocoder);

    // Every problem is collected first, so one run names all of them.
    std::map<std::string, int> unreadable;
    std::map<tools::quelto::Place, int> withoutCode;
    std::map<int, int> withoutCarrier;
    std::map<tools::quelto::Place, std::string> codes;
    tools::quelto::TableBuilder table;
    long covered = 0;

    for (int prefix = kFirstPrefix; prefix <= kLastPrefix; ++prefix) {
        const std::string description = geocoder.mobile(std::uint64_t(prefix) * 10000);
        const std::optional<tools::quelto::Place> place = tools::quelto::parsePlace(description);
        if (!place) {
            if (description != "中国")
                ++unreadable[description];
            continue;
        }
        auto code = codes.find(*place);
        if (code == codes.end()) {
            std::optional<std::string> found = areaCodes.codeOf(*place);
            if (!found) {
                ++withoutCode[*place];
                continue;
            }
            code = codes.emplace(*place, *found).first;
        }
        const std::string_view carrier = tools::quelto::carrierOf(prefix);
        if (carrier.empty()) {
            ++withoutCarrier[prefix / 10000];
            continue;
        }
        table.add(prefix, *place, code->second, carrier);
        ++covered;
    }

    for (const auto &[description, count] : unreadable)
        std::cerr << "quelto_gen: no place in \"" << description << "\" (" << count
                  << " prefixes)\n";
    for (const auto &[place, count] : withoutCode)
        std::cerr << "quelto_gen: no single area code for " << place.province << '/' << place.city
                  << " (" << count << " prefixes)\n";
    for (const auto &[block, count] : withoutCarrier)
        std::cerr << "quelto_gen: no carrier for block " << block << " (" << count
                  << " prefixes)\n";
    if (!unreadable.empty() || !withoutCode.empty() || !withoutCarrier.empty())
        return 1;

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    tools::quelto::writeTsv(out, table.rows());
    out.close();
    if (!out) {
        std::cerr << "quelto_gen: cannot write " << argv[1] << '\n';
        return 1;
    }
    std::cout << "quelto_gen: " << covered << " prefixes in " << table.rows().size()
              << " rows written to " << argv[1] << '\n';
    return 0;
}
