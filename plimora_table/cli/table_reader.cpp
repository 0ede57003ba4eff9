#include "plimora_table/cli/table_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "plimora_table/cli/encoding.h"
#include "plimora_table/cli/failure.h"
#include "store/text.h"

namespace cli {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kBlockSize = 1 << 16;

bool endsWith(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        if (store::asciiLower(c) != suffix[i]) {
            return false;
        }
    }
    return true;
}

// Whether text is ASCII without a NUL byte, tested eight bytes at a time.
bool isPlainAscii(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        // A byte with its high bit set, or a zero byte.
        if (((word | ((word - kOnes) & ~word)) & kHighBits) != 0) {
            return false;
        }
    }
    return std::all_of(text.begin() + i, text.end(),
                       [](char c) { return static_cast<unsigned char>(c) - 1u < 0x7Fu; });
}

}  // namespace

Dialect guessDialect(std::string_view path, std::string_view firstLine) {
    if (endsWith(path, ".csv")) {
        return kCsv;
    }
    if (endsWith(path, ".tsv")) {
        return kTsv;
    }
    if (firstLine.find('\t') != std::string_view::npos) {
        return kTsv;
    }
    if (firstLine.find(',') != std::string_view::npos) {
        return kCsv;
    }
    return kTsv;
}

TableReader::TableReader(std::istream &in, std::string name, Dialect dialect)
    : m_in(in), m_name(std::move(name)), m_dialect(dialect) {}

void TableReader::fail(std::size_t line, const std::string &message) const {
    throw Failure(m_name, line, message);
}

Dialect TableReader::guessDialectFrom(std::string_view path) {
    std::string first;
    if (readLine(first)) {
        m_aheadLine = std::move(first);
    }
    const std::size_t longest = m_dialect.longestRecord;
    m_dialect = guessDialect(path, m_aheadLine.value_or(""));
    m_dialect.longestRecord = longest;
    return m_dialect;
}

bool TableReader::readLine(std::string &line) {
    if (m_aheadLine) {
        line = std::move(*m_aheadLine);
        m_aheadLine.reset();
        return true;
    }
    line.clear();
    // Read in blocks rather than with getline, so that a file without line
    // breaks is refused at the length limit instead of being read whole.
    bool any = false;
    for (;;) {
        if (m_blockAt == m_blockEnd) {
            m_block.resize(kBlockSize);
            m_blockAt = 0;
            m_blockEnd = static_cast<std::size_t>(
                std::max<std::streamsize>(0, m_in.rdbuf()->sgetn(m_block.data(), kBlockSize)));
            if (m_blockEnd == 0) {
                break;
            }
        }
        any = true;
        const char *start = m_block.data() + m_blockAt;
        const std::size_t available = m_blockEnd - m_blockAt;
        const auto *newline = static_cast<const char *>(std::memchr(start, '\n', available));
        // Taking no more than one byte over the limit stops a line without
        // an end as soon as it is too long.
        const std::size_t room = m_dialect.longestRecord + 2 - line.size();
        const std::size_t taken =
            std::min(newline ? static_cast<std::size_t>(newline - start) : available, room);
        line.append(start, taken);
        m_blockAt += taken;
        m_bytesRead += taken;
        if (line.size() > m_dialect.longestRecord + 1) {
            fail(m_line + 1, "这一行太长（超过 " + std::to_string(m_dialect.longestRecord) +
                                 " 字节），不像是文本表格");
        }
        if (newline && start + taken == newline) {
            ++m_blockAt;
            ++m_bytesRead;
            break;
        }
    }
    if (!any) {
        return false;
    }
    ++m_line;
    if (m_line == 1) {
        if (line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF")) {
            fail(1, "文字编码是 UTF-16，不是 UTF-8；请把文件另存为 UTF-8 再试");
        }
        if (line.starts_with(kUtf8Bom)) {
            line.erase(0, kUtf8Bom.size());
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    // Most lines are ASCII without a NUL byte, which passes both checks.
    const bool plainAscii = isPlainAscii(line);
    if (!plainAscii && line.find('\0') != std::string::npos) {
        fail(m_line, "含有 NUL 字节，不是文本表格");
    }
    if (!plainAscii && firstNonUtf8(line)) {
        fail(m_line, notUtf8Message(line));
    }
    return true;
}

bool TableReader::next(std::vector<std::string> &fields) {
    std::string &line = m_text;
    do {
        if (!readLine(line)) {
            return false;
        }
    } while (line.empty() && !m_keepEmptyLines);
    m_recordLine = m_line;

    // Fields are parsed into storage kept from earlier records, so that a
    // long table costs no allocation per record.
    std::size_t count = 0;
    auto nextField = [&]() -> std::string & {
        if (count == m_fields.size()) {
            m_fields.emplace_back();
        }
        std::string &field = m_fields[count++];
        field.clear();
        return field;
    };
    if (!m_dialect.quoting && line.find(m_dialect.separator) == std::string::npos) {
        // A line that is one field (a plain list) becomes the field without
        // a copy.
        nextField().swap(line);
        m_fields.resize(count);
        fields.swap(m_fields);
        return true;
    }
    std::size_t recordBytes = line.size();
    std::size_t i = 0;
    for (;;) {
        std::string &field = nextField();
        if (m_dialect.quoting && i < line.size() && line[i] == '"') {
            ++i;
            for (;;) {
                if (i == line.size()) {
                    // The quoted field goes on on the next line.
                    std::string more;
                    if (!readLine(more)) {
                        fail(m_recordLine, "引号没有闭合");
                    }
                    recordBytes += more.size() + 1;
                    if (recordBytes > m_dialect.longestRecord) {
                        fail(m_recordLine, "这一条记录太长（超过 " +
                                               std::to_string(m_dialect.longestRecord) +
                                               " 字节），可能是引号没有闭合");
                    }
                    field += '\n';
                    line = std::move(more);
                    i = 0;
                    continue;
                }
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            if (i < line.size() && line[i] != m_dialect.separator) {
                fail(m_line, "引号闭合之后还有字符（字段里的引号要写成两个 \"\"）");
            }
        } else {
            const auto end = line.find(m_dialect.separator, i);
            const auto stop = end == std::string::npos ? line.size() : end;
            field.append(line, i, stop - i);
            i = stop;
        }
        if (i == line.size()) {
            break;
        }
        ++i;  // the separator
        if (i == line.size()) {
            nextField();
            break;
        }
    }
    m_fields.resize(count);
    fields.swap(m_fields);
    return true;
}

}  // namespace cli
