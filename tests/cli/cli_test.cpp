// The command-line pieces every tool shares: options, the text-table reader,
// encodings, the progress bar and output written whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/encoding.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/options.h"
#include "plimora_table/cli/progress.h"
#include "plimora_table/cli/table_reader.h"
#include "plimora_table/cli/table_writer.h"
#include "plimora_table/cli/terminal.h"
#include "plimora_table/cli/text_output.h"

namespace {

namespace fs = std::filesystem;

constexpr cli::OptionSpec kSpecs[] = {
    {"--store", "", "PATH", "store"},
    {"--output", "-o", "FILE", "output"},
    {"--all", "", "", "all"},
};

TEST(Options, ReadsTheFormsUsersWrite) {
    const struct {
        std::vector<std::string> words;
        std::string store, output;
        bool all;
        std::vector<std::string> arguments;
    } cases[] = {
        {{"--store", "a.dat"}, "a.dat", "", false, {}},
        {{"--store=a.dat", "x"}, "a.dat", "", false, {"x"}},
        {{"-o", "out.tsv", "--all"}, "", "out.tsv", true, {}},
        {{"--output=", "-"}, "", "", false, {"-"}},
        {{"in.csv", "--", "--all"}, "", "", false, {"in.csv", "--all"}},
        {{"--store", "--all"}, "--all", "", false, {}},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const auto &w : c.words) {
            shown += w + " ";
        }
        const cli::Options options = cli::parseOptions(c.words, kSpecs);
        EXPECT_EQ(options.value("--store").value_or(""), c.store) << shown;
        EXPECT_EQ(options.value("--output").value_or(""), c.output) << shown;
        EXPECT_EQ(options.has("--all"), c.all) << shown;
        EXPECT_EQ(options.arguments(), c.arguments) << shown;
    }
}

TEST(Options, RefusesWhatItCannotFollow) {
    const struct {
        std::vector<std::string> words;
        std::string named;
    } cases[] = {
        {{"--stor", "a"}, "--stor"},
        {{"--store"}, "--store"},
        {{"--all=yes"}, "--all"},
        {{"-o", "a", "--output", "b"}, "--output"},
        {{"-x"}, "-x"},
    };
    for (const auto &c : cases) {
        try {
            cli::parseOptions(c.words, kSpecs);
            ADD_FAILURE() << "accepted " << c.words.front();
        } catch (const cli::UsageError &error) {
            EXPECT_NE(std::string(error.what()).find(c.named), std::string::npos) << error.what();
        }
    }
}

TEST(Options, HelpListsEveryOptionAligned) {
    const std::string help = cli::optionHelp(kSpecs);
    EXPECT_EQ(help,
              "      --store PATH   store\n"
              "  -o, --output FILE  output\n"
              "      --all          all\n");
}

struct Record {
    std::size_t line;
    std::vector<std::string> fields;
    bool operator==(const Record &) const = default;
};

std::vector<Record> readAll(const std::string &bytes, cli::Dialect dialect) {
    std::istringstream in(bytes);
    cli::TableReader reader(in, "t.txt", dialect);
    std::vector<Record> records;
    std::vector<std::string> fields;
    while (reader.next(fields)) {
        records.push_back({reader.line(), fields});
    }
    return records;
}

TEST(TableReader, ReadsTheHabitsOfSpreadsheetsAndEditors) {
    const struct {
        const char *what;
        std::string bytes;
        cli::Dialect dialect;
        std::vector<Record> records;
    } cases[] = {
        {"TSV, LF", "a\tb\n1\t2\n", cli::kTsv, {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        {"BOM and CRLF",
         "\xEF\xBB\xBF"
         "a\tb\r\n1\t2\r\n",
         cli::kTsv,
         {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        {"no final line end", "a\tb\n1\t2", cli::kTsv, {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        {"empty lines skipped", "a\n\n\r\nb\n", cli::kTsv, {{1, {"a"}}, {4, {"b"}}}},
        {"empty fields", "\t\n", cli::kTsv, {{1, {"", ""}}}},
        {"quote is plain in TSV", "\"a\"\tb\n", cli::kTsv, {{1, {"\"a\"", "b"}}}},
        {"CSV quoting",
         "\"a,b\",\"say \"\"hi\"\"\",c\n",
         cli::kCsv,
         {{1, {"a,b", "say \"hi\"", "c"}}}},
        {"CSV line break in quotes",
         "\"a\r\nb\",c\nd,e\n",
         cli::kCsv,
         {{1, {"a\nb", "c"}}, {3, {"d", "e"}}}},
        {"CSV empty quoted", "\"\",x,\n", cli::kCsv, {{1, {"", "x", ""}}}},
        {"中文 and emoji", "号码1,卡信息😀\n", cli::kCsv, {{1, {"号码1", "卡信息😀"}}}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(readAll(c.bytes, c.dialect), c.records) << c.what;
    }
}

TEST(TableReader, RefusesWhatIsNotAUtf8TextTableNamingTheLine) {
    const struct {
        const char *what;
        std::string bytes;
        cli::Dialect dialect;
        std::size_t line;
        const char *says;
    } cases[] = {
        {"GBK", "a\tb\n\xB1\xB1\xBE\xA9\t1\n", cli::kTsv, 2, "GBK"},
        {"Latin-1", "caf\xE9 \xE9t\xE9\n", cli::kTsv, 1, "不是 UTF-8"},
        {"UTF-16",
         "\xFF\xFE"
         "a\0\n\0",
         cli::kTsv, 1, "UTF-16"},
        {"NUL byte", std::string("ab\0c\n", 5), cli::kTsv, 1, "NUL"},
        {"unclosed quote", "a,b\n\"c,d\ne\n", cli::kCsv, 2, "引号没有闭合"},
        {"text after quote", "\"a\"b,c\n", cli::kCsv, 1, "引号闭合之后"},
        {"overlong surrogate", "\xED\xA0\x80\n", cli::kTsv, 1, "不是 UTF-8"},
    };
    for (const auto &c : cases) {
        try {
            readAll(c.bytes, c.dialect);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const cli::Failure &failure) {
            EXPECT_EQ(failure.file(), "t.txt") << c.what;
            EXPECT_EQ(failure.line(), c.line) << c.what << ": " << failure.text();
            EXPECT_NE(failure.message().find(c.says), std::string::npos)
                << c.what << ": " << failure.text();
        }
    }
}

TEST(TableReader, StopsAtTheLengthLimitInsteadOfReadingABinaryFileWhole) {
    cli::Dialect dialect = cli::kTsv;
    dialect.longestRecord = 100;
    std::istringstream in("ok\n" + std::string(1000, 'x'));
    cli::TableReader reader(in, "big.bin", dialect);
    std::vector<std::string> fields;
    ASSERT_TRUE(reader.next(fields));
    try {
        reader.next(fields);
        ADD_FAILURE() << "accepted a 1000-byte line";
    } catch (const cli::Failure &failure) {
        EXPECT_EQ(failure.line(), 2u);
        EXPECT_LT(reader.bytesRead(), 200u) << "read on past the limit";
    }
}

TEST(TableReader, GuessesTheDialectByNameThenByFirstLine) {
    EXPECT_EQ(cli::guessDialect("rows.CSV", "a\tb").separator, ',');
    EXPECT_EQ(cli::guessDialect("rows.tsv", "a,b").separator, '\t');
    EXPECT_EQ(cli::guessDialect("rows.txt", "a,b").separator, ',');
    EXPECT_EQ(cli::guessDialect("-", "a\tb,c").separator, '\t');
    EXPECT_TRUE(cli::guessDialect("rows.txt", "a,b").quoting);
}

TEST(TableReader, KeepsEmptyLinesWhenAskedAndGuessesTheDialectFromItsFirstLine) {
    std::istringstream in(
        "\xEF\xBB\xBF"
        "a,\"b c\"\r\n\n1,2\n\r\n");
    cli::TableReader reader(in, "-", cli::kTsv);
    reader.keepEmptyLines();
    EXPECT_EQ(reader.guessDialectFrom("-").separator, ',');
    std::vector<Record> records;
    std::vector<std::string> fields;
    while (reader.next(fields)) {
        records.push_back({reader.line(), fields});
    }
    const std::vector<Record> expected = {{1, {"a", "b c"}}, {2, {""}}, {3, {"1", "2"}}, {4, {""}}};
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].line, expected[i].line) << "record " << i;
        EXPECT_EQ(records[i].fields, expected[i].fields) << "record " << i;
    }
}

TEST(TableReader, ReadsLinesThatCrossItsReadingBlocks) {
    std::string text;
    std::vector<std::string> lines;
    for (int i = 0; i < 30000; ++i) {
        lines.push_back(std::string(static_cast<std::size_t>(i % 23), 'x') + std::to_string(i));
        text += lines.back() + (i % 3 == 0 ? "\r\n" : "\n");
    }
    std::istringstream in(text);
    cli::TableReader reader(in, "t.txt", cli::kTsv);
    std::vector<std::string> fields;
    std::size_t read = 0;
    while (reader.next(fields)) {
        ASSERT_LT(read, lines.size());
        ASSERT_EQ(fields, std::vector<std::string>{lines[read]}) << "line " << read + 1;
        ASSERT_EQ(reader.line(), read + 1);
        ++read;
    }
    EXPECT_EQ(read, lines.size());
    EXPECT_EQ(reader.bytesRead(), text.size());
}

TEST(TableWriter, FieldsWrittenAsCsvReadBackAsTheyWere) {
    const std::vector<std::vector<std::string>> records = {
        {"a,b", "say \"hi\"", "plain"},
        {"two\nlines", "\"", ""},
        {"中文,逗号", "emoji 😀", "ends with ,"},
        {"", "", ""},
        {"\"\"", ",", "\ttab"},
    };
    for (const cli::Dialect &dialect : {cli::kCsv, cli::kTsv}) {
        std::string text;
        std::vector<std::vector<std::string>> written;
        for (const auto &record : records) {
            std::string line;
            bool whole = true;
            for (std::size_t i = 0; i < record.size(); ++i) {
                line += i == 0 ? "" : std::string(1, dialect.separator);
                const std::string before = line;
                if (!cli::appendField(line, record[i], dialect)) {
                    EXPECT_FALSE(dialect.quoting) << "CSV refused \"" << record[i] << '"';
                    EXPECT_EQ(line, before) << "a refused field changed the line";
                    whole = false;
                }
            }
            if (whole) {
                text += line + "\n";
                written.push_back(record);
            }
        }
        EXPECT_EQ(written.size(), dialect.quoting ? records.size() : 3u) << text;
        std::istringstream in(text);
        cli::TableReader reader(in, "t", dialect);
        reader.keepEmptyLines();
        std::vector<std::string> fields;
        for (const auto &record : written) {
            ASSERT_TRUE(reader.next(fields)) << text;
            EXPECT_EQ(fields, record) << text;
        }
        EXPECT_FALSE(reader.next(fields)) << text;
    }
}

TEST(Encoding, WritesGb18030ForSpreadsheetsThatExpectIt) {
    EXPECT_EQ(cli::utf8ToGb18030("abc 123,"), "abc 123,");
    EXPECT_EQ(cli::utf8ToGb18030("中"), "\xD6\xD0");
    EXPECT_EQ(cli::utf8ToGb18030("😀é"), "\x94\x39\xFC\x36\xA8\xA6");  // four bytes, two
    EXPECT_EQ(cli::utf8ToGb18030("ok\xE5\x8C"), std::nullopt) << "text cut short";
    EXPECT_EQ(cli::encodingNamed("UTF-8"), cli::OutputEncoding::Utf8);
    EXPECT_EQ(cli::encodingNamed("GB18030"), cli::OutputEncoding::Gb18030);
    EXPECT_EQ(cli::encodingNamed("gbk"), std::nullopt);
}

TEST(Encoding, TellsUtf8FromGbk) {
    EXPECT_FALSE(cli::firstNonUtf8("北京 abc 😀"));
    EXPECT_EQ(cli::firstNonUtf8("ab\xC0\x80"), 2u);          // overlong
    EXPECT_EQ(cli::firstNonUtf8("\xF4\x90\x80\x80"), 0u);    // above U+10FFFF
    EXPECT_EQ(cli::firstNonUtf8("ok\xE5\x8C"), 2u);          // cut short
    EXPECT_TRUE(cli::looksLikeGbk("\xB1\xB1\xBE\xA9 010"));  // 北京 in GBK
    EXPECT_FALSE(cli::looksLikeGbk("caf\xE9"));
    EXPECT_FALSE(cli::looksLikeGbk("plain"));
}

struct FakeClock {
    cli::Progress::Clock::time_point now{};
    void advance(int ms) { now += std::chrono::milliseconds(ms); }
};

std::string drawn(std::FILE *file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text += static_cast<char>(c);
    }
    return text;
}

TEST(Progress, ShowsOnlyOnATerminalAndOnlyForWorkOverASecond) {
    FakeClock clock;
    std::FILE *terminal = std::tmpfile();
    std::FILE *pipe = std::tmpfile();
    {
        cli::Progress onTerminal("写入", 100, {terminal, true, [&] { return clock.now; }});
        cli::Progress onPipe("写入", 100, {pipe, false, [&] { return clock.now; }});
        clock.advance(900);
        onTerminal.update(10);
        onPipe.update(10);
        EXPECT_EQ(drawn(terminal), "") << "drawn within the first second";
        clock.advance(200);
        onTerminal.update(50);
        onPipe.update(50);
        EXPECT_NE(drawn(terminal).find(" 50%"), std::string::npos) << drawn(terminal);
        std::fseek(terminal, 0, SEEK_END);
        clock.advance(50);
        onTerminal.update(60);
        EXPECT_EQ(drawn(terminal).find(" 60%"), std::string::npos) << "redrawn within 100 ms";
        std::fseek(terminal, 0, SEEK_END);
    }
    const std::string all = drawn(terminal);
    EXPECT_EQ(all.substr(all.size() - 4), "\r\033[K") << "the bar is not erased at the end";
    EXPECT_EQ(drawn(pipe), "") << "drawn on something that is not a terminal";
    std::fclose(terminal);
    std::fclose(pipe);
}

TEST(Progress, CountsWhenTheTotalIsNotKnown) {
    FakeClock clock;
    std::FILE *terminal = std::tmpfile();
    {
        cli::Progress progress("已读行数", 0, {terminal, true, [&] { return clock.now; }});
        clock.advance(1100);
        progress.update(12345);
        EXPECT_EQ(drawn(terminal), "\r已读行数 12345\033[K");
    }
    std::fclose(terminal);
}

// Whatever the terminal's width and the label's length, a drawn line stays
// narrower than the terminal (a line as wide as it wraps on some terminals),
// keeps the end of a file's name, and erases what a longer line left.
TEST(Progress, FitsTheTerminalsWidth) {
    const std::string longName =
        "正在查询 /home/用户/下载/2024年第三季度全部客户的联系方式（最终版）.csv";
    const struct {
        std::size_t columns;
        std::string label;
        std::uint64_t total;
        const char *kept;  // a part of the line that must be there
    } cases[] = {
        {80, "写入", 100, "写入 [###############...............]  50%"},
        {80, longName, 100, "（最终版）.csv ["},
        {40, longName, 100, "版）.csv"},
        {40, longName, 0, " 50"},
        {24, longName, 100, "  50%"},
        {12, longName, 100, "  50%"},
        {200, longName, 100, longName.c_str()},
    };
    for (const auto &c : cases) {
        FakeClock clock;
        std::FILE *terminal = std::tmpfile();
        {
            cli::Progress progress(c.label, c.total,
                                   {terminal, true, [&] { return clock.now; }, c.columns});
            clock.advance(1100);
            progress.update(50);
            const std::string line = drawn(terminal);
            ASSERT_TRUE(line.starts_with("\r") && line.ends_with("\033[K")) << line;
            const std::string shown = line.substr(1, line.size() - 4);
            EXPECT_LT(cli::displayWidth(shown), c.columns) << c.columns << ": " << shown;
            EXPECT_NE(shown.find(c.kept), std::string::npos) << c.columns << ": " << shown;
        }
        std::fclose(terminal);
    }
}

TEST(Terminal, WideCharactersTakeTwoColumnsInvisibleOnesNone) {
    EXPECT_EQ(cli::displayWidth("abc"), 3u);
    EXPECT_EQ(cli::displayWidth("北京，abc"), 9u);
    EXPECT_EQ(cli::displayWidth("a\xe2\x80\x8b"
                                "b"),
              2u);
}

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("plimora-cli-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "out.tsv") << "old";
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string content() const {
        std::ifstream in(m_dir / "out.tsv");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t files() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_dir), {}));
    }
    fs::path m_dir;
};

TEST_F(OutputFileTest, TheTargetChangesOnlyOnCommit) {
    {
        cli::OutputFile file((m_dir / "out.tsv").string());
        std::fputs("new", file.stream());
        std::fflush(file.stream());
        EXPECT_EQ(content(), "old");
        EXPECT_EQ(files(), 2u);
    }
    EXPECT_EQ(content(), "old") << "an abandoned file replaced the target";
    EXPECT_EQ(files(), 1u) << "the temporary file was left behind";
    {
        cli::OutputFile file((m_dir / "out.tsv").string());
        std::fputs("new", file.stream());
        file.commit();
    }
    EXPECT_EQ(content(), "new");
    EXPECT_EQ(files(), 1u);
}

TEST_F(OutputFileTest, AMissingFolderIsNamed) {
    try {
        cli::OutputFile file((m_dir / "no" / "out.tsv").string());
        ADD_FAILURE() << "created a file in a missing folder";
    } catch (const cli::Failure &failure) {
        EXPECT_NE(failure.text().find("out.tsv"), std::string::npos) << failure.text();
    }
}

TEST_F(OutputFileTest, TextOutputAppearsOnCommitInTheEncodingAsked) {
    const std::string target = (m_dir / "out.tsv").string();
    const struct {
        cli::OutputEncoding encoding;
        std::string bytes;
    } cases[] = {
        {cli::OutputEncoding::Utf8, "号码\t省份\n"},
        {cli::OutputEncoding::Utf8WithBom, "\xEF\xBB\xBF号码\t省份\n"},
        {cli::OutputEncoding::Gb18030, "\xBA\xC5\xC2\xEB\t\xCA\xA1\xB7\xDD\n"},
    };
    for (const auto &c : cases) {
        {
            const std::string before = content();
            cli::TextOutput output(target, c.encoding);
            output.write("号码\t");
            output.write("省份\n");
            EXPECT_EQ(content(), before) << "the target changed before commit";
            output.commit();
        }
        EXPECT_EQ(content(), c.bytes);
        EXPECT_EQ(files(), 1u);
    }
    {
        cli::TextOutput output(target, cli::OutputEncoding::Utf8);
        output.write(std::string(1 << 20, 'x'));
    }
    EXPECT_EQ(content(), cases[2].bytes) << "an output never committed replaced the target";
    EXPECT_EQ(files(), 1u) << "its temporary file was left behind";
}

}  // namespace
