// The program must work from any folder the file system allows: one with
// ";" and "=" in its name (the connection text is written with the folder as
// it is, but the file opened is taken from the folder, not from the text)
// and one whose name is not UTF-8 (the folder reaches SQLite and the
// existence test as the file system's own bytes). Each case runs a copy of
// program_folder_child from such a folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "plimora_table/table_text.h"
#include "store/database.h"
#include "store/schema.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Runs program with its stderr in log; returns its exit status, or -1.
int run(const fs::path &program, const fs::path &log) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        const std::string path = program.string();
        char *const argv[] = {const_cast<char *>(path.c_str()), nullptr};
        ::execv(path.c_str(), argv);
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A store whose row for 1380013 says 上海, not 北京: a program that opened it
// instead of its own would show the wrong place.
void writeStore(const fs::path &folder, const fs::path &file, const char *place) {
    const fs::path tsv = folder / "quelto.tsv";
    std::ofstream(tsv) << store::schema::kTsvHeader << "\n"
                       << "1380013\t1380013\t" << place << "\t" << place << "\t010\t中国移动\n";
    table::buildSysdat(tsv.string(), file.string());
}

// How many rows of the store at path answer prefix.
std::string rowsFor(const fs::path &path, int prefix) {
    const store::Database db(path.string(), SQLITE_OPEN_READONLY);
    const store::Statement count =
        db.prepare("select count(*) from quelto where 号码1 = " + std::to_string(prefix));
    db.step(count.get());
    return std::to_string(sqlite3_column_int64(count.get(), 0));
}

// Whatever the folder is called, the windows open the sys.dat in it and no
// other file: names that read as entries of a connection text, with ";"
// and "=" at every place, and a sibling file that such a name points to.
TEST(ProgramFolder, OddlyNamedFoldersReachTheStore) {
    const char *const names[] = {
        "semi;colon",
        "a;b;Data Source=elsewhere",
        "Persist Security Info=False;x",
        "not-utf8-\xff\xfe",
        "\xe5\x90\x8d;\xb0",  // half a Chinese character after a ";"
        "名字 with spaces",
        ";Provider=",
        ";User ID=",
        ";Persist Security Info=",
        "evil.dat;Provider=x",
        "evil.dat;Data Source=evil.dat",
        "evil.dat;Jet OLEDB:Database Password=x",
        ";",
        "=",
        ";=",
        "=;",
        ";x",
        "x;",
        "=x",
        "x=",
        "a=b;c=d",
        "Data Source=evil.dat",
        "file:evil.dat",
    };
    for (const char *name : names) {
        testing_support::TempFolder base;
        const fs::path dir = base.path() / std::string(name);
        ASSERT_TRUE(fs::create_directory(dir)) << name;
        writeStore(base.path(), dir / "sys.dat", "北京");
        // What the part of the name before its first ";" names, beside the
        // folder: the file a name read as a connection text would open.
        const std::string head = std::string(name).substr(0, std::string(name).find(';'));
        const fs::path decoy = base.path() / head;
        const bool hasDecoy = !head.empty() && head != name;
        if (hasDecoy) {
            writeStore(base.path(), decoy, "上海");
        }
        const fs::path program = dir / "plimora";
        fs::copy_file(PROGRAM_FOLDER_CHILD, program);
        const fs::path log = base.path() / "stderr.txt";
        const int status = run(program, log);
        std::stringstream output;
        output << std::ifstream(log).rdbuf();
        EXPECT_EQ(status, 0) << "folder \"" << name << "\": " << output.str();
        EXPECT_EQ(rowsFor(dir / "sys.dat", 1500001), "1") << "folder \"" << name << "\"";
        if (hasDecoy) {
            EXPECT_EQ(rowsFor(decoy, 1500001), "0")
                << "folder \"" << name << "\" wrote into " << decoy;
        }
    }
}

}  // namespace
