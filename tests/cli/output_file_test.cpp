// What writing an output file does to each kind of thing its name may be,
// read from what is left in the folder (a temporary left behind shows
// there too); what is left of runs killed before; a terminal as output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "plimora_table/cli/atomic_file.h"
#include "plimora_table/cli/failure.h"
#include "plimora_table/cli/text_output.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write(const fs::path &path, const std::string &text, unsigned mode = 0644) {
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), mode);
}

// Each entry of dir, in order: "name -> link", "name fifo", "name char",
// "name/" or "name 644 content", separated by "; ".
std::string listing(const fs::path &dir) {
    std::set<std::string> lines;
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = entry.path().lexically_relative(dir).string();
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%o", status.st_mode & 0777);
        lines.insert(S_ISLNK(status.st_mode)    ? name + " -> " + fs::read_symlink(entry).string()
                     : S_ISFIFO(status.st_mode) ? name + " fifo"
                     : S_ISCHR(status.st_mode)  ? name + " char"
                     : S_ISDIR(status.st_mode)  ? name + "/"
                                                : name + " " + mode + " " + contentOf(entry));
    }
    std::string text;
    for (const std::string &line : lines) {
        text += (text.empty() ? "" : "; ") + line;
    }
    return text;
}

// Writes "new" to target through an OutputFile; the failure's text when it
// is refused, "" when it is written.
std::string writeNew(const std::string &target) {
    try {
        cli::OutputFile file(target);
        std::fputs("new", file.stream());
        file.commit();
        return "";
    } catch (const cli::Failure &failure) {
        return failure.text();
    }
}

TEST(OutputFile, EachKindOfTargetIsWrittenAsItsKindWants) {
    const mode_t umask = ::umask(022);
    const struct {
        const char *kind;
        std::function<void(const fs::path &dir)> make;
        const char *target;   // in the folder
        const char *refusal;  // part of the message, or "" when written
        const char *left;     // listing() afterwards
        bool root = false;    // only root can make the target
    } cases[] = {
        {"regular file", [](const fs::path &d) { write(d / "out", "old", 0640); }, "out", "",
         "out 640 new"},
        {"missing file", [](const fs::path &) {}, "out", "", "out 644 new"},
        {"link to a file in another folder",
         [](const fs::path &d) {
             fs::create_directory(d / "real");
             write(d / "real" / "out", "old", 0600);
             fs::create_symlink("real/out", d / "link");
         },
         "link", "", "link -> real/out; real/; real/out 600 new"},
        {"link to a link to a missing file",
         [](const fs::path &d) {
             fs::create_symlink("second", d / "first");
             fs::create_symlink("made", d / "second");
         },
         "first", "", "first -> second; made 644 new; second -> made"},
        {"pipe with a reader", [](const fs::path &d) { ::mkfifo((d / "pipe").c_str(), 0600); },
         "pipe", "", "pipe fifo"},
        // A null device of the test's own, so that a fault replaces nothing
        // of the system's.
        {"character device",
         [](const fs::path &d) {
             ASSERT_EQ(::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
         },
         "null", "", "null char", true},
        {"read-only file", [](const fs::path &d) { write(d / "ro", "old", 0444); }, "ro",
         "ro: 是只读文件，没有改动它", "ro 444 old"},
        {"link to a read-only file",
         [](const fs::path &d) {
             write(d / "ro", "old", 0444);
             fs::create_symlink("ro", d / "link");
         },
         "link", "是只读文件", "link -> ro; ro 444 old"},
        {"folder", [](const fs::path &d) { fs::create_directory(d / "out"); }, "out",
         "out: 这是一个文件夹", "out/"},
        {"links in a loop",
         [](const fs::path &d) {
             fs::create_symlink("b", d / "a");
             fs::create_symlink("a", d / "b");
         },
         "a", "符号链接太多层", "a -> b; b -> a"},
    };
    for (const auto &c : cases) {
        if (c.root && ::geteuid() != 0) {
            continue;
        }
        testing_support::TempFolder folder;
        c.make(folder.path());
        const std::string target = folder.file(c.target);
        std::string piped;
        std::thread reader;
        if (std::string(c.target) == "pipe") {
            reader = std::thread([&] { piped = contentOf(target); });
        }
        const std::string refusal = writeNew(target);
        if (reader.joinable()) {
            reader.join();
            EXPECT_EQ(piped, "new") << c.kind;
        }
        EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.kind << ": " << refusal;
        EXPECT_EQ(refusal.empty(), *c.refusal == '\0') << c.kind << ": " << refusal;
        EXPECT_EQ(listing(folder.path()), c.left) << c.kind;
    }
    ::umask(umask);
}

TEST(OutputFile, ANameOfAnOpenDescriptorIsWrittenToThatDescriptor) {
    for (const char *folder : {"/dev/fd/", "/proc/self/fd/", "/dev//fd/./"}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        EXPECT_EQ(writeNew(folder + std::to_string(ends[1])), "") << folder;
        ::close(ends[1]);
        char buffer[16] = {};
        EXPECT_EQ(::read(ends[0], buffer, sizeof buffer), 3) << folder;
        ::close(ends[0]);
    }
}

// Temporaries of a run that was killed are removed by the next output file
// in their folder; those of a run still going (its process alive, or its
// lock held from another machine) are not, nor a name that only looks alike.
TEST(OutputFile, RemovesWhatKilledRunsLeftAndNothingElse) {
    testing_support::TempFolder folder;
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    const std::string mark(cli::kTemporaryMark);
    const std::string dead = "a" + mark + std::to_string(gone) + "-abc123";
    const std::string deadOther = "b" + mark + std::to_string(gone) + "-zzz999";
    const std::string alive = "a" + mark + std::to_string(::getppid()) + "-abc123";
    const std::string locked = "a" + mark + std::to_string(gone) + "-lock00";
    const std::string alike = "a" + mark + "x-abc123";
    for (const std::string &name : {dead, deadOther, alive, locked, alike}) {
        write(folder.path() / name, "");
    }
    const int lockedFd = ::open((folder.path() / locked).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(lockedFd, LOCK_EX), 0);
    EXPECT_EQ(writeNew(folder.file("out")), "");
    std::string kept;
    for (const std::string &line :
         std::set<std::string>{alike + " 644 ", alive + " 644 ", locked + " 644 ", "out 644 new"}) {
        kept += (kept.empty() ? "" : "; ") + line;
    }
    EXPECT_EQ(listing(folder.path()), kept);
    ::close(lockedFd);

    // A long name keeps its temporary within the 255 bytes a name may have.
    std::string name;
    while (name.size() < 250) {
        name += "号";
    }
    EXPECT_EQ(writeNew(folder.file(name)), "");
}

// On a terminal no control character of the text arrives raw; tabs and line
// feeds do. A pseudo-terminal stands in for the user's.
TEST(TextOutput, ATerminalGetsControlCharactersEscaped) {
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    {
        cli::TextOutput output("/dev/fd/" + std::to_string(slave), cli::OutputEncoding::Utf8);
        output.write(
            "北京\x1b[31m\t\xe2\x80\xae"
            "x\x07\xc2\x85\xff\r\n");
        output.commit();
    }
    std::string shown(256, '\0');
    const ssize_t got = ::read(master, shown.data(), shown.size());
    ASSERT_GT(got, 0);
    shown.resize(static_cast<std::size_t>(got));
    EXPECT_EQ(shown, "北京\\x1B[31m\t\\u202Ex\\x07\\u0085\\xFF\\x0D\n");
    ::close(slave);
    ::close(master);
}

}  // namespace
