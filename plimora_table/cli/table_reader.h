// Reads the tables people keep in text files: tab-separated (TSV) or
// comma-separated (CSV) UTF-8, with the habits of the programs that write
// them: a byte-order mark, CRLF line ends, and in CSV quoted fields holding
// separators, doubled quotes and line breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct Dialect {
    char separator = '\t';
    // Whether a field that begins with '"' runs to its closing quote (CSV);
    // without quoting a quote is an ordinary character (TSV).
    bool quoting = false;
    // A record longer than this is refused: a text table has no such lines,
    // a binary file read by mistake does.
    std::size_t longestRecord = std::size_t{1} << 20;
};

inline constexpr Dialect kTsv{'\t', false};
inline constexpr Dialect kCsv{',', true};

// The dialect of the table at path whose first line is firstLine: ".csv"
// names CSV and ".tsv" TSV; for other names a tab in the first line means
// TSV, else a comma means CSV, else TSV.
Dialect guessDialect(std::string_view path, std::string_view firstLine);

class TableReader {
public:
    // Reads from in, which holds the table called name (used in messages).
    TableReader(std::istream &in, std::string name, Dialect dialect);

    // Reads the next record into fields and returns true, or returns false
    // at the end of the input. Lines that are empty are skipped (unless
    // keepEmptyLines()). The UTF-8
    // byte-order mark at the start and a CR before each LF are dropped; a
    // line break inside a quoted field is kept as "\n". Throws Failure naming
    // the file and line for text that is not UTF-8 (saying whether it looks
    // like GBK/GB18030), UTF-16 text, a NUL byte, a quote that is never closed,
    // characters after a closing quote, or a record over the length limit.
    // fields is unchanged when it throws.
    bool next(std::vector<std::string> &fields);

    // Reads the first line ahead and takes the dialect that
    // guessDialect(path, first line) names, keeping this reader's length
    // limit; next() then begins with that line. Call it before next().
    // Returns the dialect. Throws as next() does for the first line.
    Dialect guessDialectFrom(std::string_view path);

    // Makes next() return an empty line as a record of one empty field
    // instead of skipping it, so that every line of a list has its record.
    void keepEmptyLines() { m_keepEmptyLines = true; }

    const Dialect &dialect() const { return m_dialect; }

    // The line (from 1) on which the last record read began.
    std::size_t line() const { return m_recordLine; }
    // The bytes taken from the input so far (it is read ahead in blocks).
    std::uint64_t bytesRead() const { return m_bytesRead; }
    // The bytes read from the input ahead of what has been taken.
    std::uint64_t bytesAhead() const {
        return m_blockEnd - m_blockAt + (m_aheadLine ? m_aheadLine->size() + 1 : 0);
    }

private:
    bool readLine(std::string &line);
    [[noreturn]] void fail(std::size_t line, const std::string &message) const;

    std::istream &m_in;
    std::string m_name;
    Dialect m_dialect;
    std::vector<char> m_block;  // read from m_in, not yet taken
    std::size_t m_blockAt = 0;
    std::size_t m_blockEnd = 0;
    std::string m_text;                      // the line next() parses
    std::vector<std::string> m_fields;       // the storage next() parses into, then swaps
    std::optional<std::string> m_aheadLine;  // read by guessDialectFrom()
    bool m_keepEmptyLines = false;
    std::size_t m_line = 0;
    std::size_t m_recordLine = 0;
    std::uint64_t m_bytesRead = 0;
};

}  // namespace cli
