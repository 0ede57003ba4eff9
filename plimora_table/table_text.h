// The table's text forms: the text table (data/quelto.tsv) read row by row
// under the rule every row of a store obeys, an edition file
// (data/edition.tsv), and a store file built from the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

#include "plimora_table/cli/table_reader.h"
#include "store/area_codes.h"
#include "store/edition.h"
#include "store/row.h"

namespace table {

// A key field of a text table as a store holds it: digits without a leading
// zero as the number they write, any other text as it is (which
// store::rowProblems() then refuses).
store::Variant keyField(std::string text);

// Reads an edition file: UTF-8, tab-separated, the header "key<TAB>value",
// then one key and its value a line. Throws cli::Failure naming path and the
// line for a file that cannot be read, a wrong header, a line without exactly
// two fields, an empty or repeated key, a key the tools write themselves
// (built_by, shipped_rows, shipped_overridden) or an "edition" that is
// missing or not a whole number from 1.
store::Edition readEdition(const std::string &path);

// Reads the area-code table's text form (data/areacodes.tsv): UTF-8,
// tab-separated, the header "区号 省份 城市 共用城市 本地号码位数", then one
// code a line with exactly five fields, sorted by code. Throws cli::Failure
// naming path (and the line) for a file that cannot be read, a wrong header
// or a line without five fields; store::writeAreaCodes() refuses the rest.
store::AreaCodes readAreaCodeTsv(const std::string &path);

// The text form of quelto, read row by row: UTF-8, tab-separated, the header
// "号码1 号码2 省份 城市 区号 卡信息", then one row a line that obeys
// store::rowProblems(). The texts are taken as they stand.
class QueltoTsv {
public:
    // Opens path and reads its header. Throws cli::Failure naming path (and
    // line 1 for a wrong header).
    explicit QueltoTsv(std::string path);

    // Reads the next row into row; false at the end. Throws cli::Failure
    // naming the file and line of a malformed row; row is then unchanged.
    bool next(store::Row &row);

    std::uint64_t bytesRead() const { return m_reader.bytesRead(); }
    std::uint64_t size() const { return m_size; }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
    std::ifstream m_in;
    std::uint64_t m_size = 0;
    cli::TableReader m_reader;
};

// Called now and then while a table is read: bytes read so far and in all.
using BuildProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Builds a store from the text table at tsvPath and, unless editionPath is
// empty, the edition file at editionPath. The store is written to
// outPath + ".part" and renamed to outPath only when complete, so a failure
// leaves any earlier file at outPath untouched (and no .part file). Returns
// the number of rows. Throws cli::Failure for a table or edition file that
// cannot be read or is malformed (naming file and line), store::StoreError for
// a store failure.
std::size_t buildSysdat(const std::string &tsvPath, const std::string &outPath,
                        const std::string &editionPath = {}, const BuildProgress &progress = {});

}  // namespace table
