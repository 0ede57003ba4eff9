#include "store/area_codes.h"

#include <algorithm>
#include <stdexcept>

#include "store/schema.h"
#include "store/store_error.h"

namespace store {

namespace {

bool isCode(std::string_view code) {
    return (code.size() == 3 || code.size() == 4) && code[0] == '0' && code[1] != '0' &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isLengths(std::string_view lengths) {
    return lengths == "7" || lengths == "8" || lengths == "7,8";
}

std::string columnText(sqlite3_stmt *statement, int column) {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text ? std::string(text,
                              static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

// The first problem of codes, sorted by code, or "".
std::string tableProblem(const AreaCodes &codes) {
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (std::string problem = areaCodeProblem(codes[i]); !problem.empty()) {
            return "区号 " + codes[i].code + "：" + problem;
        }
        if (i > 0 && codes[i - 1].code >= codes[i].code) {
            return "区号 " + codes[i].code + " 出现了两次，或者没有按区号排好";
        }
    }
    return "";
}

}  // namespace

std::string areaCodeProblem(const AreaCode &area) {
    if (!isCode(area.code)) {
        return "区号应是 0 加两位或三位数字";
    }
    if (!isLengths(area.localLengths)) {
        return "本地号码位数应是 7、8 或 7,8";
    }
    if (area.province.empty() || area.city.empty()) {
        return "省份和城市不能为空";
    }
    return "";
}

bool fitsLocalLength(const AreaCode &area, std::size_t digits) {
    const char wanted = static_cast<char>('0' + digits);
    return digits < 10 && area.localLengths.find(wanted) != std::string::npos;
}

const AreaCode *findAreaCode(const AreaCodes &codes, std::string_view national) {
    for (const std::size_t length : {std::size_t{3}, std::size_t{4}}) {
        if (national.size() < length) {
            break;
        }
        const std::string_view code = national.substr(0, length);
        const auto found = std::lower_bound(
            codes.begin(), codes.end(), code,
            [](const AreaCode &area, std::string_view wanted) { return area.code < wanted; });
        if (found != codes.end() && found->code == code) {
            return &*found;
        }
    }
    return nullptr;
}

std::optional<AreaCodes> readAreaCodes(const Database &db) {
    const Statement has = db.prepare(schema::kHasAreaCodes);
    if (!db.step(has.get()) || sqlite3_column_int(has.get(), 0) == 0) {
        return std::nullopt;
    }
    const Statement select = db.prepare(schema::kSelectAreaCodes);
    AreaCodes codes;
    while (db.step(select.get())) {
        codes.push_back({columnText(select.get(), 0), columnText(select.get(), 1),
                         columnText(select.get(), 2), columnText(select.get(), 3),
                         columnText(select.get(), 4)});
    }
    if (const std::string problem = tableProblem(codes); !problem.empty()) {
        throw StoreError(SQLITE_CORRUPT, "区号表有误：" + problem);
    }
    return codes;
}

void writeAreaCodes(const Database &db, const AreaCodes &codes) {
    if (const std::string problem = tableProblem(codes); !problem.empty()) {
        throw StoreError(SQLITE_CONSTRAINT, "区号表有误：" + problem);
    }
    db.exec(schema::kCreateAreaCodes);
    const Statement insert = db.prepare(schema::kInsertAreaCode);
    for (const AreaCode &area : codes) {
        db.bind(insert.get(), 1, area.code);
        db.bind(insert.get(), 2, area.province);
        db.bind(insert.get(), 3, area.city);
        db.bind(insert.get(), 4, area.sharedCities);
        db.bind(insert.get(), 5, area.localLengths);
        db.step(insert.get());
        db.reset(insert.get());
    }
}

}  // namespace store
