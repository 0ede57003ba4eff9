// The store's table: its name, its six column names and the header line of
// its text form; the metadata table and the area-code table beside it; and
// every statement the tools write them with. Everything that names a column
// of quelto, in the program, the tools and the tests, takes the name from
// here. The statements are spelled out for reading; the checks below tie
// each spelling to the names.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace store::schema {

inline constexpr std::string_view kTable = "quelto";

inline constexpr std::string_view kLow = "号码1";      // lowest prefix key of the range
inline constexpr std::string_view kHigh = "号码2";     // highest prefix key of the range
inline constexpr std::string_view kProvince = "省份";  // province where the block is registered
inline constexpr std::string_view kCity = "城市";      // its city
inline constexpr std::string_view kAreaCode = "区号";  // the city's telephone area code
inline constexpr std::string_view kCard = "卡信息";    // the kind of card (carrier)

// The six columns in the order of the text form.
inline constexpr std::array<std::string_view, 6> kColumns = {kLow,  kHigh,     kProvince,
                                                             kCity, kAreaCode, kCard};

namespace detail {
// Whether text holds part at position at; at is then moved past it.
constexpr bool take(std::string_view text, std::size_t &at, std::string_view part) {
    if (text.substr(at, part.size()) != part) {
        return false;
    }
    at += part.size();
    return true;
}
// Whether text holds, at position at, the column names from the one numbered
// from on, each with before in front, separated by separator; at is then
// moved past them.
constexpr bool takeColumns(std::string_view text, std::size_t &at, std::string_view separator,
                           std::string_view before = "", std::size_t from = 0) {
    for (std::size_t i = from; i < kColumns.size(); ++i) {
        if ((i > from && !take(text, at, separator)) || !take(text, at, before) ||
            !take(text, at, kColumns[i])) {
            return false;
        }
    }
    return true;
}
// Whether text is exactly the column names joined by separator.
constexpr bool spellsColumns(std::string_view text, std::string_view separator) {
    std::size_t at = 0;
    return takeColumns(text, at, separator) && at == text.size();
}
}  // namespace detail

// The header line of the text form (data/quelto.tsv), without its line end.
inline constexpr std::string_view kTsvHeader = "号码1\t号码2\t省份\t城市\t区号\t卡信息";
static_assert(detail::spellsColumns(kTsvHeader, "\t"));

// The six columns as a select list, in the order of the text form.
#define PLIMORA_QUELTO_COLUMNS "号码1, 号码2, 省份, 城市, 区号, 卡信息"
static_assert(detail::spellsColumns(PLIMORA_QUELTO_COLUMNS, ", "));

// The table as the tools write it: an R*Tree over the range, the four texts
// as auxiliary columns, rows numbered by id.
inline constexpr std::string_view kId = "id";
inline constexpr const char *kCreateTable =
    "create virtual table quelto using rtree(id, 号码1, 号码2, +省份, +城市, +区号, +卡信息)";
static_assert([] {
    const std::string_view text = kCreateTable;
    std::size_t at = text.find("rtree(");
    return at != text.npos && detail::take(text, at, "rtree(") && detail::take(text, at, kId) &&
           detail::take(text, at, ", ") && detail::take(text, at, kLow) &&
           detail::take(text, at, ", ") && detail::take(text, at, kHigh) &&
           detail::take(text, at, ", ") && detail::takeColumns(text, at, ", ", "+", 2) &&
           detail::take(text, at, ")") && at == text.size();
}());
// A row under the id given: shipped rows get 1, 2, 3 … in the order of the
// text table, and the rows an update carries over get the ids after them.
inline constexpr const char *kInsertWithId =
    "insert into quelto (id, " PLIMORA_QUELTO_COLUMNS ") values (?, ?, ?, ?, ?, ?, ?)";
// A row under an id the store chooses, one above the highest (an imported
// row, like a row the add-record window writes).
inline constexpr const char *kInsertRow =
    "insert into quelto (" PLIMORA_QUELTO_COLUMNS ") values (?, ?, ?, ?, ?, ?)";
// Every row with its row number; any store, also a plain table.
inline constexpr const char *kSelectRows = "select rowid, " PLIMORA_QUELTO_COLUMNS " from quelto";
// The same in row-number order: every row, the rows numbered up to ?1 (an
// edition's), the rows numbered above ?1 (the user's).
inline constexpr const char *kSelectRowsInOrder =
    "select rowid, " PLIMORA_QUELTO_COLUMNS " from quelto order by rowid";
inline constexpr const char *kSelectRowsUpTo =
    "select rowid, " PLIMORA_QUELTO_COLUMNS " from quelto where rowid <= ?1 order by rowid";
inline constexpr const char *kSelectRowsAbove =
    "select rowid, " PLIMORA_QUELTO_COLUMNS " from quelto where rowid > ?1 order by rowid";
// The row numbered ?1.
inline constexpr const char *kSelectRowById =
    "select rowid, " PLIMORA_QUELTO_COLUMNS " from quelto where rowid = ?1";
// The rows whose range meets [?2, ?1]: bind the highest key first.
inline constexpr const char *kSelectMeeting =
    "select rowid, " PLIMORA_QUELTO_COLUMNS " from quelto where 号码1 <= ?1 and ?2 <= 号码2";
// The six columns of every row, without the row number: also a view or a
// table without one has them.
inline constexpr const char *kSelectRanges = "select " PLIMORA_QUELTO_COLUMNS " from quelto";
// The number of rows.
inline constexpr const char *kCountRows = "select count(*) from quelto";
// The six columns, for checking that a store has them: no row is read.
inline constexpr const char *kSelectNoRow = "select * from quelto limit 0";
static_assert([] {
    const std::string_view text = kSelectMeeting;
    std::size_t at = text.find(" where ");
    return at != text.npos && detail::take(text, at, " where ") && detail::take(text, at, kLow) &&
           detail::take(text, at, " <= ?1 and ?2 <= ") && detail::take(text, at, kHigh) &&
           at == text.size();
}());

#undef PLIMORA_QUELTO_COLUMNS

// The metadata table: what the store holds. The windows never read it.
inline constexpr const char *kCreateMeta =
    "create table quelto_meta (key text primary key not null, value text not null)";
inline constexpr const char *kInsertMeta = "insert into quelto_meta (key, value) values (?, ?)";
inline constexpr const char *kSelectMeta = "select key, value from quelto_meta order by rowid";
// Sets the value of a key, in place of any earlier one.
inline constexpr const char *kPutMeta =
    "insert or replace into quelto_meta (key, value) values (?, ?)";
// How the table was created ("create virtual table quelto using rtree(…)").
inline constexpr const char *kTableSql = "select sql from sqlite_master where name = 'quelto'";
inline constexpr const char *kHasMeta =
    "select count(*) from sqlite_master where type = 'table' and name = 'quelto_meta'";

// The area-code table (store/area_codes.h), one row per code. The windows
// never read it.
inline constexpr const char *kCreateAreaCodes =
    "create table quelto_areacodes (code text primary key not null, province text not null, "
    "city text not null, shared_cities text not null, local_lengths text not null)";
inline constexpr const char *kInsertAreaCode =
    "insert into quelto_areacodes (code, province, city, shared_cities, local_lengths) "
    "values (?, ?, ?, ?, ?)";
inline constexpr const char *kSelectAreaCodes =
    "select code, province, city, shared_cities, local_lengths from quelto_areacodes "
    "order by code";
inline constexpr const char *kHasAreaCodes =
    "select count(*) from sqlite_master where type = 'table' and name = 'quelto_areacodes'";
// The header line of the text form (data/areacodes.tsv).
inline constexpr std::string_view kAreaCodesHeader = "区号\t省份\t城市\t共用城市\t本地号码位数";

// Keys of the metadata. The edition's own keys (data/edition.tsv) are copied
// as they are; among them:
inline constexpr std::string_view kEditionKey = "edition";  // serial number, newer is larger
inline constexpr std::string_view kDateKey = "date";        // when the edition was made
inline constexpr std::string_view kSourcesKey = "sources";  // where its data comes from
// Keys the tools write themselves, which an edition file may not use:
inline constexpr std::string_view kBuiltByKey = "built_by";  // "plimora-table 1.0"
// N: rows with ids 1..N are the edition's; every row above N is the user's.
inline constexpr std::string_view kShippedRowsKey = "shipped_rows";
// Prefixes of the edition left out because a row of the user's answers them.
inline constexpr std::string_view kOverriddenKey = "shipped_overridden";
// What the program noted in a user's store: the answer the user gave for an
// older program folder beside the program's own, under this prefix and the
// folder's path ("yes", "no", or "none" when it had no row to bring), so that
// it asks once. An update carries these entries into the new file.
inline constexpr std::string_view kAskedPrefix = "rows_from_asked:";
constexpr bool isLocalKey(std::string_view key) {
    return key.starts_with(kAskedPrefix);
}
// True for the keys above that the tools and the program write themselves.
constexpr bool isToolKey(std::string_view key) {
    return key == kBuiltByKey || key == kShippedRowsKey || key == kOverriddenKey || isLocalKey(key);
}

// The header line of the edition file (data/edition.tsv).
inline constexpr std::string_view kEditionHeader = "key\tvalue";

// The R*Tree module that tableSql, the statement that created the store's
// table (as kTableSql reads it), makes it a virtual table of: "rtree" (its
// coordinates 32-bit real numbers) or "rtree_i32" (32-bit integers), in lower
// case; "" when it makes no R*Tree.
std::string rtreeModule(std::string_view tableSql);

// Whether tableSql makes the store's table an R*Tree: rtreeModule() is not "".
bool declaresRtree(std::string_view tableSql);

}  // namespace store::schema
