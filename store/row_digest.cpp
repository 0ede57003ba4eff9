#include "store/row_digest.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace store {

namespace {

constexpr std::uint32_t kOffsetBasis = 2166136261u;
constexpr std::uint32_t kPrime = 16777619u;

std::string textOf(const Variant &value) {
    if (const auto *number = std::get_if<double>(&value)) {
        char buffer[32];
        if (std::trunc(*number) == *number && std::fabs(*number) < 1e15) {
            std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(*number));
        } else {
            std::snprintf(buffer, sizeof buffer, "%.17g", *number);
        }
        return buffer;
    }
    if (const auto *text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return "\xFF";
}

}  // namespace

std::uint32_t rowDigest(const Row &row) {
    std::uint32_t hash = kOffsetBasis;
    for (std::size_t i = 0; i < Row::kColumnCount; ++i) {
        std::string text = textOf(row.column(i));
        if (i > 0) {
            text.insert(text.begin(), '\t');
        }
        for (const char c : text) {
            hash ^= static_cast<unsigned char>(c);
            hash *= kPrime;
        }
    }
    return hash;
}

}  // namespace store
