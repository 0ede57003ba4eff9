#include "store/backups.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "store/files.h"

namespace store {

namespace {

constexpr std::string_view kSuffix = ".bak";
constexpr std::size_t kStampSize = 15;  // "YYYYMMDD-HHMMSS"

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The stamp and the count of a backup's name, for sorting; count 1 when the
// name has none.
struct Order {
    std::string stamp;
    long long count = 1;
    bool operator<(const Order &other) const {
        return stamp != other.stamp ? stamp < other.stamp : count < other.count;
    }
};

std::optional<Order> orderOf(std::string_view storeName, std::string_view name) {
    if (name.size() < storeName.size() + 1 + kStampSize + kSuffix.size() ||
        !name.starts_with(storeName) || name[storeName.size()] != '.' || !name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    std::string_view rest = name.substr(storeName.size() + 1);
    rest.remove_suffix(kSuffix.size());
    const std::string_view stamp = rest.substr(0, kStampSize);
    if (!allDigits(stamp.substr(0, 8)) || stamp[8] != '-' || !allDigits(stamp.substr(9, 6))) {
        return std::nullopt;
    }
    Order order{std::string(stamp)};
    rest.remove_prefix(kStampSize);
    if (rest.empty()) {
        return order;
    }
    if (rest[0] != '-' || !allDigits(rest.substr(1)) || rest[1] == '0') {
        return std::nullopt;
    }
    const auto [end, error] =
        std::from_chars(rest.data() + 1, rest.data() + rest.size(), order.count);
    if (error != std::errc() || order.count < 2) {
        return std::nullopt;
    }
    return order;
}

}  // namespace

std::string backupPath(const std::string &storePath, std::string_view stamp, int n) {
    std::string path = storePath;
    path.append(".").append(stamp);
    if (n > 1) {
        path.append("-").append(std::to_string(n));
    }
    return path.append(kSuffix);
}

bool isBackupName(std::string_view storeName, std::string_view name) {
    return orderOf(storeName, name).has_value();
}

std::vector<std::string> backupsOf(const std::string &storePath) {
    const std::string folder = folderOf(storePath);
    const std::string storeName = fileName(storePath);
    std::vector<std::pair<Order, std::string>> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(nativePath(folder), error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = pathText(it->path().filename());
        if (const auto order = orderOf(storeName, name)) {
            found.emplace_back(*order, storePath + name.substr(storeName.size()));
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto &[order, path] : found) {
        paths.push_back(std::move(path));
    }
    return paths;
}

std::optional<std::string> newestBackup(const std::string &storePath) {
    auto backups = backupsOf(storePath);
    if (backups.empty()) {
        return std::nullopt;
    }
    return backups.back();
}

}  // namespace store
