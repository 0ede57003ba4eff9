// What a store file says it holds: the entries of its metadata table, as an
// edition file (data/edition.tsv) gives them and the tools add to them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace store {

struct Edition {
    std::vector<std::pair<std::string, std::string>> entries;  // in the order written

    // The value under key, or nullopt when there is none.
    std::optional<std::string> value(std::string_view key) const;
    // The value under key read as a whole number from 0, or nullopt when
    // there is none or it is not one.
    std::optional<long long> number(std::string_view key) const;
    // number("edition"): the serial number, newer is larger.
    std::optional<long long> serial() const;
    // The edition as a user reads it: "第 2 版（2026-12-08，phonedata 2025-02;
    // libphonenumber 9.0.35）", the date and sources as far as they are given.
    std::string describe() const;
};

// The text as a whole number from 0, or nullopt when it is not one (a sign,
// a space or any other character).
std::optional<long long> wholeNumber(std::string_view text);

// The entries of the metadata of the store file at storePath, in the order
// written, or nullopt when it has no metadata table or cannot be opened or
// read. Opens the file read-only and writes nothing.
std::optional<Edition> recordedEdition(const std::string &storePath);

}  // namespace store
