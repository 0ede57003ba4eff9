// The program must work from any folder the file system allows: one with a
// ";" in its name (the connection text is written with the folder as it is)
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

TEST(ProgramFolder, OddlyNamedFoldersReachTheStore) {
    const char *const names[] = {
        "semi;colon",        "a;b;Data Source=elsewhere", "Persist Security Info=False;x",
        "not-utf8-\xff\xfe",
        "\xe5\x90\x8d;\xb0",  // half a Chinese character after a ";"
        "名字 with spaces",
    };
    for (const char *name : names) {
        testing_support::TempFolder base;
        const fs::path dir = base.path() / std::string(name);
        ASSERT_TRUE(fs::create_directory(dir)) << name;
        const fs::path tsv = base.path() / "quelto.tsv";
        std::ofstream(tsv) << store::schema::kTsvHeader << "\n"
                           << "1380013\t1380013\t北京\t北京\t010\t中国移动\n";
        table::buildSysdat(tsv.string(), (dir / "sys.dat").string());
        const fs::path program = dir / "plimora";
        fs::copy_file(PROGRAM_FOLDER_CHILD, program);
        const fs::path log = base.path() / "stderr.txt";
        const int status = run(program, log);
        std::stringstream output;
        output << std::ifstream(log).rdbuf();
        EXPECT_EQ(status, 0) << "folder \"" << name << "\": " << output.str();
    }
}

}  // namespace
