#include "plimora_table/table_text.h"

#include <cstdio>
#include <filesystem>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/failure.h"
#include "store/row_rule.h"
#include "store/schema.h"
#include "store/store_writer.h"

namespace table {

namespace {

namespace schema = store::schema;

// Rows written between two calls of a build's progress.
constexpr std::size_t kRowsPerProgress = 4096;

std::vector<std::string> split(std::string_view line, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto end = line.find(separator, start);
        fields.emplace_back(line.substr(start, end - start));
        if (end == std::string_view::npos) {
            return fields;
        }
        start = end + 1;
    }
}

}  // namespace

store::Variant keyField(std::string text) {
    const auto number = store::wholeNumber(text);
    if (number && text.size() > 1 && text[0] != '0') {
        return static_cast<double>(*number);
    }
    return text;
}

store::Edition readEdition(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        throw cli::unreadable(path, errno, "版本说明文件");
    }
    cli::TableReader reader(in, path, cli::kTsv);
    std::vector<std::string> fields;
    if (!reader.next(fields) || fields != split(schema::kEditionHeader, '\t')) {
        throw cli::Failure(path, 1, "第一行必须是 key<TAB>value");
    }
    store::Edition edition;
    while (reader.next(fields)) {
        if (fields.size() != 2) {
            throw cli::Failure(
                path, reader.line(),
                "应有 2 个用制表符分隔的字段，实际有 " + std::to_string(fields.size()) + " 个");
        }
        if (fields[0].empty()) {
            throw cli::Failure(path, reader.line(), "键不能为空");
        }
        if (schema::isToolKey(fields[0])) {
            throw cli::Failure(path, reader.line(),
                               "键 " + fields[0] + " 由工具自己写入，不能出现在版本说明里");
        }
        if (edition.value(fields[0])) {
            throw cli::Failure(path, reader.line(), "键 " + fields[0] + " 重复出现");
        }
        edition.entries.emplace_back(std::move(fields[0]), std::move(fields[1]));
    }
    const auto serial = edition.serial();
    if (!serial || *serial < 1) {
        throw cli::Failure(path, "缺少 edition（版本号，从 1 起的整数）");
    }
    return edition;
}

store::AreaCodes readAreaCodeTsv(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        throw cli::unreadable(path, errno, "区号表");
    }
    cli::TableReader reader(in, path, cli::kTsv);
    std::vector<std::string> fields;
    if (!reader.next(fields) || fields != split(schema::kAreaCodesHeader, '\t')) {
        throw cli::Failure(path, 1,
                           "第一行必须是 区号 省份 城市 共用城市 本地号码位数（用制表符分隔）");
    }
    constexpr std::size_t kFields = 5;
    store::AreaCodes codes;
    while (reader.next(fields)) {
        if (fields.size() != kFields) {
            throw cli::Failure(
                path, reader.line(),
                "应有 5 个用制表符分隔的字段，实际有 " + std::to_string(fields.size()) + " 个");
        }
        codes.push_back({std::move(fields[0]), std::move(fields[1]), std::move(fields[2]),
                         std::move(fields[3]), std::move(fields[4])});
    }
    return codes;
}

QueltoTsv::QueltoTsv(std::string path)
    : m_path(std::move(path)), m_in(m_path, std::ios::binary), m_reader(m_in, m_path, cli::kTsv) {
    std::error_code error;
    if (!m_in || std::filesystem::is_directory(m_path, error)) {
        throw cli::unreadable(m_path, errno ? errno : EISDIR, "号码表");
    }
    m_size = std::filesystem::file_size(m_path, error);
    std::vector<std::string> fields;
    if (!m_reader.next(fields) || fields != split(schema::kTsvHeader, '\t')) {
        throw cli::Failure(m_path, 1,
                           "第一行必须是 号码1 号码2 省份 城市 区号 卡信息（用制表符分隔）");
    }
}

bool QueltoTsv::next(store::Row &row) {
    std::vector<std::string> fields;
    if (!m_reader.next(fields)) {
        return false;
    }
    const std::size_t line = m_reader.line();
    if (fields.size() != store::Row::kColumnCount) {
        throw cli::Failure(m_path, line,
                           "应有 " + std::to_string(store::Row::kColumnCount) +
                               " 个用制表符分隔的字段，实际有 " + std::to_string(fields.size()) +
                               " 个");
    }
    store::Row read;
    read.low = keyField(std::move(fields[0]));
    read.high = keyField(std::move(fields[1]));
    for (std::size_t c = 2; c < fields.size(); ++c) {
        read.column(c) = std::move(fields[c]);
    }
    const auto problems = store::rowProblems(read);
    if (!problems.empty()) {
        throw cli::Failure(m_path, line, store::problemText(problems.front(), read));
    }
    row = std::move(read);
    return true;
}

std::size_t buildSysdat(const std::string &tsvPath, const std::string &outPath,
                        const std::string &editionPath, const BuildProgress &progress) {
    const store::Edition edition =
        editionPath.empty() ? store::Edition{} : readEdition(editionPath);
    QueltoTsv table(tsvPath);
    const std::string partPath = outPath + ".part";
    std::size_t rows = 0;
    try {
        store::StoreWriter writer(partPath);
        store::Row row;
        while (table.next(row)) {
            writer.addShipped(row);
            if (progress && writer.shippedRows() % kRowsPerProgress == 0) {
                progress(table.bytesRead(), table.size());
            }
        }
        writer.finish(edition);
        rows = writer.shippedRows();
        cli::replaceFile(partPath, outPath);
    } catch (...) {
        std::remove(partPath.c_str());
        throw;
    }
    return rows;
}

}  // namespace table
