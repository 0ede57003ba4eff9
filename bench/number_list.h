// The list of numbers the lookup benchmarks look up, as people keep them:
// most numbers plain, some with spaces or dashes, a country code or
// full-width digits, some that are no mobile number at all (landlines, ten
// digits).
#pragma once

#include <fstream>
#include <random>
#include <string>

namespace bench {

// Writes count numbers to path, one a line; the same list for the same count.
inline void writeNumberList(const std::string &path, long long count) {
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<long long> mobile(13000000000LL, 19999999999LL);
    std::ofstream out(path, std::ios::binary);
    std::string line;
    for (long long i = 0; i < count; ++i) {
        const std::string n = std::to_string(mobile(random));
        const auto kind = random() % 100;
        if (kind < 70) {
            line = n;
        } else if (kind < 80) {
            line = n.substr(0, 3) + " " + n.substr(3, 4) + " " + n.substr(7);
        } else if (kind < 88) {
            line = "+86 " + n.substr(0, 3) + "-" + n.substr(3, 4) + "-" + n.substr(7);
        } else if (kind < 92) {
            line.clear();
            for (const char c : n) {
                line += "\xEF\xBC";
                line += static_cast<char>(0x90 + (c - '0'));
            }
        } else if (kind < 96) {
            line = "0" + std::to_string(10 + random() % 90) + "-" + n.substr(3);
        } else {
            line = n.substr(0, 10);
        }
        out << line << '\n';
    }
}

}  // namespace bench
