#include "tools/sysdat_builder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "store/schema.h"
#include "tools/cli/atomic_file.h"
#include "tools/cli/failure.h"

#ifndef PLIMORA_VERSION
#error "PLIMORA_VERSION must name the project version"
#endif

namespace tools {

namespace {

namespace schema = store::schema;

// R*Tree coordinates are 32-bit floats: whole numbers stay exact below 2^24.
constexpr long long kLargestExactKey = 16777215;

double number(const store::Variant &value) {
    if (const auto *n = std::get_if<double>(&value)) {
        return *n;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

std::optional<long long> wholeNumber(std::string_view text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || text[0] == '-') {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> split(std::string_view header, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto end = header.find(separator, start);
        fields.emplace_back(header.substr(start, end - start));
        if (end == std::string_view::npos) {
            return fields;
        }
        start = end + 1;
    }
}

}  // namespace

double QueltoRow::low() const {
    return number(values[0]);
}

double QueltoRow::high() const {
    return number(values[1]);
}

std::optional<std::string> Edition::value(std::string_view key) const {
    for (const auto &[k, v] : entries) {
        if (k == key) {
            return v;
        }
    }
    return std::nullopt;
}

std::optional<long long> Edition::number(std::string_view key) const {
    const auto text = value(key);
    if (!text) {
        return std::nullopt;
    }
    return wholeNumber(*text);
}

std::optional<long long> Edition::serial() const {
    return number(schema::kEditionKey);
}

Edition readEdition(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        throw cli::Failure(path, "无法读取版本说明文件：" + cli::describeErrno(errno));
    }
    cli::TableReader reader(in, path, cli::kTsv);
    std::vector<std::string> fields;
    if (!reader.next(fields) || fields != split(schema::kEditionHeader, '\t')) {
        throw cli::Failure(path, 1, "第一行必须是 key<TAB>value");
    }
    Edition edition;
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

QueltoTsv::QueltoTsv(std::string path)
    : m_path(std::move(path)), m_in(m_path, std::ios::binary), m_reader(m_in, m_path, cli::kTsv) {
    std::error_code error;
    if (!m_in || std::filesystem::is_directory(m_path, error)) {
        throw cli::Failure(m_path, "无法读取号码表：" + cli::describeErrno(errno ? errno : EISDIR));
    }
    m_size = std::filesystem::file_size(m_path, error);
    std::vector<std::string> fields;
    if (!m_reader.next(fields) || fields != split(schema::kTsvHeader, '\t')) {
        throw cli::Failure(m_path, 1,
                           "第一行必须是 号码1 号码2 省份 城市 区号 卡信息（用制表符分隔）");
    }
}

bool QueltoTsv::next(QueltoRow &row) {
    std::vector<std::string> fields;
    if (!m_reader.next(fields)) {
        return false;
    }
    const std::size_t line = m_reader.line();
    if (fields.size() != schema::kColumns.size()) {
        throw cli::Failure(
            m_path, line,
            "应有 6 个用制表符分隔的字段，实际有 " + std::to_string(fields.size()) + " 个");
    }
    std::array<long long, 2> keys{};
    for (int i = 0; i < 2; ++i) {
        const auto key = wholeNumber(fields[i]);
        if (!key || *key > kLargestExactKey) {
            throw cli::Failure(
                m_path, line,
                std::string(schema::kColumns[i]) + " 不是号码前缀：\"" + fields[i] + "\"");
        }
        keys[i] = *key;
    }
    if (keys[0] > keys[1]) {
        throw cli::Failure(m_path, line, "号码1 大于 号码2");
    }
    row.values[0] = static_cast<double>(keys[0]);
    row.values[1] = static_cast<double>(keys[1]);
    for (std::size_t i = 2; i < fields.size(); ++i) {
        row.values[i] = std::move(fields[i]);
    }
    return true;
}

StoreWriter::StoreWriter(const std::string &path) : m_path(path) {
    // An empty file is an empty store to SQLite; anything else goes.
    std::error_code noFile;
    if (std::filesystem::file_size(path, noFile) != 0) {
        std::remove(path.c_str());
    }
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db.reset(raw);
    sql::check(raw, rc);
    // The file is a new one under a temporary name: no journal is needed to
    // protect it, and the caller syncs it once when it is complete.
    sql::exec(raw, "pragma journal_mode=off; pragma synchronous=off; begin");
    sql::exec(raw, schema::kCreateTable);
    sql::exec(raw, schema::kCreateMeta);
    m_insert = sql::prepare(raw, schema::kInsertWithId);
}

StoreWriter::~StoreWriter() = default;

void StoreWriter::insert(sqlite3_stmt *statement, long long id, const QueltoRow &row) {
    sqlite3 *db = m_db.get();
    sql::check(db, sqlite3_bind_int64(statement, 1, id));
    for (std::size_t i = 0; i < row.values.size(); ++i) {
        sql::bind(db, statement, static_cast<int>(i + 2), row.values[i]);
    }
    sql::step(db, statement);
    sql::check(db, sqlite3_reset(statement));
}

void StoreWriter::addShipped(const QueltoRow &row) {
    if (m_user > 0) {
        throw std::logic_error("the edition's rows come before the user's");
    }
    insert(m_insert.get(), static_cast<long long>(m_shipped + 1), row);
    ++m_shipped;
}

void StoreWriter::addUser(const QueltoRow &row) {
    insert(m_insert.get(), static_cast<long long>(m_shipped + m_user + 1), row);
    ++m_user;
}

void StoreWriter::finish(const Edition &edition, long long overridden) {
    sqlite3 *db = m_db.get();
    {
        const sql::Statement meta = sql::prepare(db, schema::kInsertMeta);
        auto put = [&](std::string_view key, const std::string &value) {
            sql::bind(db, meta.get(), 1, std::string(key));
            sql::bind(db, meta.get(), 2, value);
            sql::step(db, meta.get());
            sql::check(db, sqlite3_reset(meta.get()));
        };
        for (const auto &[key, value] : edition.entries) {
            put(key, value);
        }
        put(schema::kBuiltByKey, builtBy());
        put(schema::kShippedRowsKey, std::to_string(m_shipped));
        put(schema::kOverriddenKey, std::to_string(overridden));
    }
    m_insert.reset();
    sql::exec(db, "commit");
    sql::check(db, sqlite3_close(db));
    m_db.release();
    cli::syncFile(m_path);
}

std::string builtBy() {
    return std::string("plimora-table ") + PLIMORA_VERSION;
}

std::size_t buildSysdat(const std::string &tsvPath, const std::string &outPath,
                        const std::string &editionPath, const BuildProgress &progress) {
    const Edition edition = editionPath.empty() ? Edition{} : readEdition(editionPath);
    QueltoTsv table(tsvPath);
    const std::string partPath = outPath + ".part";
    std::size_t rows = 0;
    try {
        StoreWriter writer(partPath);
        QueltoRow row;
        while (table.next(row)) {
            writer.addShipped(row);
            if (progress && writer.shippedRows() % 4096 == 0) {
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

}  // namespace tools
