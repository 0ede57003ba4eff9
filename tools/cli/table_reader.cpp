#include "tools/cli/table_reader.h"

#include "tools/cli/encoding.h"
#include "tools/cli/failure.h"

namespace tools::cli {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool endsWith(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != suffix[i]) {
            return false;
        }
    }
    return true;
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

bool TableReader::readLine(std::string &line) {
    line.clear();
    // Read by hand rather than with getline, so that a file without line
    // breaks is refused at the length limit instead of being read whole.
    std::streambuf *buffer = m_in.rdbuf();
    bool any = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            break;
        }
        any = true;
        ++m_bytesRead;
        if (c == '\n') {
            break;
        }
        line += static_cast<char>(c);
        if (line.size() > m_dialect.longestRecord + 1) {
            fail(m_line + 1, "这一行太长（超过 " + std::to_string(m_dialect.longestRecord) +
                                 " 字节），不像是文本表格");
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
    if (line.find('\0') != std::string::npos) {
        fail(m_line, "含有 NUL 字节，不是文本表格");
    }
    if (firstNonUtf8(line)) {
        fail(m_line, notUtf8Message(line));
    }
    return true;
}

bool TableReader::next(std::vector<std::string> &fields) {
    std::string line;
    do {
        if (!readLine(line)) {
            return false;
        }
    } while (line.empty());
    m_recordLine = m_line;

    std::vector<std::string> out;
    std::string field;
    std::size_t recordBytes = line.size();
    std::size_t i = 0;
    for (;;) {
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
        out.push_back(std::move(field));
        field.clear();
        if (i == line.size()) {
            break;
        }
        ++i;  // the separator
        if (i == line.size()) {
            out.emplace_back();
            break;
        }
    }
    fields = std::move(out);
    return true;
}

}  // namespace tools::cli
