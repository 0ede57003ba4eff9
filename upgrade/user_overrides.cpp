#include "upgrade/user_overrides.h"

#include <algorithm>
#include <cmath>

namespace upgrade {

namespace {

// The whole keys from low to high, or an empty range (first > second).
std::pair<long long, long long> wholeKeys(const store::Row &row) {
    const double low = row.lowNumber();
    const double high = row.highNumber();
    if (std::isnan(low) || std::isnan(high)) {
        return {1, 0};
    }
    return {static_cast<long long>(std::ceil(low)), static_cast<long long>(std::floor(high))};
}

}  // namespace

UserOverrides::UserOverrides(const std::vector<StoredRow> &userRows) : m_rows(userRows) {
    std::vector<std::pair<long long, long long>> ranges;
    for (const StoredRow &stored : userRows) {
        const auto range = wholeKeys(stored.row);
        if (range.first <= range.second) {
            ranges.push_back(range);
        }
    }
    std::sort(ranges.begin(), ranges.end());
    for (const auto &range : ranges) {
        if (!m_covered.empty() && range.first <= m_covered.back().second + 1) {
            m_covered.back().second = std::max(m_covered.back().second, range.second);
        } else {
            m_covered.push_back(range);
        }
    }
}

std::vector<store::Row> UserOverrides::uncovered(const store::Row &shipped) {
    const auto [low, high] = wholeKeys(shipped);
    auto it = std::lower_bound(m_covered.begin(), m_covered.end(), low,
                               [](const auto &range, long long key) { return range.second < key; });
    if (low > high || it == m_covered.end() || it->first > high) {
        return {shipped};
    }

    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const auto [userLow, userHigh] = wholeKeys(m_rows[i].row);
        if (userLow <= userHigh && userLow <= high && low <= userHigh) {
            m_overlaps.push_back({i, shipped});
        }
    }
    std::vector<store::Row> parts;
    auto keep = [&](long long from, long long to) {
        store::Row part = shipped;
        part.low = static_cast<double>(from);
        part.high = static_cast<double>(to);
        parts.push_back(std::move(part));
    };
    long long next = low;
    for (; it != m_covered.end() && it->first <= high; ++it) {
        if (it->first > next) {
            keep(next, it->first - 1);
        }
        m_overridden += std::min(high, it->second) - std::max(next, it->first) + 1;
        next = it->second + 1;
    }
    if (next <= high) {
        keep(next, high);
    }
    return parts;
}

std::vector<std::pair<std::size_t, std::size_t>> overlappingPairs(
    const std::vector<StoredRow> &rows) {
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return wholeKeys(rows[a].row) < wholeKeys(rows[b].row);
    });
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto [low, high] = wholeKeys(rows[order[i]].row);
        if (low > high) {
            continue;
        }
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            const auto [otherLow, otherHigh] = wholeKeys(rows[order[j]].row);
            if (otherLow > high) {
                break;
            }
            if (otherLow <= otherHigh) {
                pairs.emplace_back(std::min(order[i], order[j]), std::max(order[i], order[j]));
            }
        }
    }
    return pairs;
}

}  // namespace upgrade
