// What writing an output file does to each kind of thing its name may be:
// replaced whole, written through, written directly or refused, and in every
// case no temporary left behind; and what is left of runs killed before.
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

void write(const fs::path &path, const std::string &text, fs::perms mode = fs::perms(0644)) {
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, mode);
}

unsigned modeOf(const fs::path &path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode & 07777;
}

// The names in dir that are temporaries of an output file.
std::vector<std::string> temporaries(const fs::path &dir) {
    std::vector<std::string> found;
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find(cli::kTemporaryMark) != std::string::npos) {
            found.push_back(name);
        }
    }
    return found;
}

// Writes "new" to target through an OutputFile and commits it; the failure's
// text when it is refused, "" when it is written.
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
    struct Case {
        const char *kind;
        // Makes the target in dir and returns the name given to OutputFile.
        std::function<std::string(const fs::path &dir)> make;
        const char *refusal;  // part of the message, or nullptr when written
        // What must be on disk afterwards; "" when it is, else what is wrong.
        std::function<std::string(const fs::path &dir)> left;
    };
    const std::vector<Case> cases = {
        {"regular file, mode 0640",
         [](const fs::path &dir) {
             write(dir / "out.csv", "old", fs::perms(0640));
             return (dir / "out.csv").string();
         },
         nullptr,
         [](const fs::path &dir) {
             return contentOf(dir / "out.csv") != "new" ? "content " + contentOf(dir / "out.csv")
                    : modeOf(dir / "out.csv") != 0640
                        ? "mode " + std::to_string(modeOf(dir / "out.csv"))
                        : "";
         }},
        {"missing file", [](const fs::path &dir) { return (dir / "new.csv").string(); }, nullptr,
         [](const fs::path &dir) {
             return contentOf(dir / "new.csv") == "new" && modeOf(dir / "new.csv") == 0644
                        ? ""
                        : "not a new 0644 file";
         }},
        {"symbolic link to a file in another folder",
         [](const fs::path &dir) {
             fs::create_directory(dir / "real");
             write(dir / "real" / "out.csv", "old", fs::perms(0600));
             fs::create_symlink("real/out.csv", dir / "link.csv");
             return (dir / "link.csv").string();
         },
         nullptr,
         [](const fs::path &dir) {
             return fs::is_symlink(dir / "link.csv") &&
                            fs::read_symlink(dir / "link.csv") == "real/out.csv" &&
                            contentOf(dir / "real" / "out.csv") == "new" &&
                            modeOf(dir / "real" / "out.csv") == 0600
                        ? ""
                        : "link or target wrong";
         }},
        {"symbolic link to a link to a missing file",
         [](const fs::path &dir) {
             fs::create_symlink("second.csv", dir / "first.csv");
             fs::create_symlink(dir / "made.csv", dir / "second.csv");
             return (dir / "first.csv").string();
         },
         nullptr,
         [](const fs::path &dir) {
             return fs::is_symlink(dir / "first.csv") && fs::is_symlink(dir / "second.csv") &&
                            contentOf(dir / "made.csv") == "new"
                        ? ""
                        : "links or target wrong";
         }},
        {"pipe with a reader",
         [](const fs::path &dir) {
             ::mkfifo((dir / "pipe").c_str(), 0600);
             return (dir / "pipe").string();
         },
         nullptr,
         [](const fs::path &dir) {
             return fs::is_fifo(dir / "pipe") ? "" : "the pipe was replaced";
         }},
        {"character device",
         [](const fs::path &dir) {
             // A null device of the test's own, so that a fault replaces
             // nothing of the system's.
             if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                 return std::string("/dev/null");
             }
             return (dir / "null").string();
         },
         nullptr,
         [](const fs::path &dir) {
             return !fs::exists(dir / "null") || fs::is_character_file(dir / "null")
                        ? ""
                        : "the device was replaced";
         }},
        {"read-only file",
         [](const fs::path &dir) {
             write(dir / "ro.csv", "old", fs::perms(0444));
             return (dir / "ro.csv").string();
         },
         "是只读文件，没有改动它",
         [](const fs::path &dir) {
             return contentOf(dir / "ro.csv") == "old" && modeOf(dir / "ro.csv") == 0444
                        ? ""
                        : "changed";
         }},
        {"symbolic link to a read-only file",
         [](const fs::path &dir) {
             write(dir / "ro.csv", "old", fs::perms(0444));
             fs::create_symlink("ro.csv", dir / "link.csv");
             return (dir / "link.csv").string();
         },
         "是只读文件",
         [](const fs::path &dir) {
             return contentOf(dir / "ro.csv") == "old" && fs::is_symlink(dir / "link.csv")
                        ? ""
                        : "changed";
         }},
        {"folder",
         [](const fs::path &dir) {
             fs::create_directory(dir / "out.csv");
             return (dir / "out.csv").string();
         },
         "这是一个文件夹",
         [](const fs::path &dir) {
             return fs::is_directory(dir / "out.csv") && fs::is_empty(dir / "out.csv") ? ""
                                                                                       : "changed";
         }},
        {"links in a loop",
         [](const fs::path &dir) {
             fs::create_symlink("b", dir / "a");
             fs::create_symlink("a", dir / "b");
             return (dir / "a").string();
         },
         "符号链接太多层",
         [](const fs::path &dir) { return fs::is_symlink(dir / "a") ? "" : "changed"; }},
    };
    for (const Case &c : cases) {
        testing_support::TempFolder folder;
        const std::string target = c.make(folder.path());
        std::string piped;
        std::thread reader;
        std::error_code noStatus;
        if (fs::is_fifo(target, noStatus)) {
            reader = std::thread([&] { piped = contentOf(target); });
        }
        const std::string refusal = writeNew(target);
        if (reader.joinable()) {
            reader.join();
            EXPECT_EQ(piped, "new") << c.kind;
        }
        if (c.refusal) {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.kind << ": " << refusal;
        } else {
            EXPECT_EQ(refusal, "") << c.kind;
        }
        EXPECT_EQ(c.left(folder.path()), "") << c.kind;
        EXPECT_TRUE(temporaries(folder.path()).empty()) << c.kind << ": a temporary was left";
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
        EXPECT_STREQ(buffer, "new") << folder;
        ::close(ends[0]);
    }
}

// Temporaries of a run that was killed are removed by the next output file
// in their folder; those of a run still going are not.
TEST(OutputFile, RemovesWhatKilledRunsLeftAndNothingElse) {
    testing_support::TempFolder folder;
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    const std::string mark(cli::kTemporaryMark);
    const std::string dead = "out.csv" + mark + std::to_string(gone) + "-abc123";
    const std::string otherTarget = "other.csv" + mark + std::to_string(gone) + "-zzz999";
    const std::string alive = "out.csv" + mark + std::to_string(::getppid()) + "-abc123";
    const std::string locked = "out.csv" + mark + std::to_string(gone) + "-lock00";
    const std::string notOurs = "out.csv" + mark + "x-abc123";
    for (const std::string &name : {dead, otherTarget, alive, locked, notOurs}) {
        write(folder.path() / name, "left");
    }
    // A process whose id is gone but whose lock is held (on another machine
    // sharing the folder) is still writing.
    const int lockedFd = ::open((folder.path() / locked).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(lockedFd, LOCK_EX), 0);

    EXPECT_EQ(writeNew(folder.file("out.csv")), "");
    EXPECT_FALSE(fs::exists(folder.path() / dead));
    EXPECT_FALSE(fs::exists(folder.path() / otherTarget));
    EXPECT_TRUE(fs::exists(folder.path() / alive));
    EXPECT_TRUE(fs::exists(folder.path() / locked));
    EXPECT_TRUE(fs::exists(folder.path() / notOurs));
    EXPECT_EQ(contentOf(folder.path() / "out.csv"), "new");
    ::close(lockedFd);
}

TEST(OutputFile, ATemporaryOfALongNameStaysWithinWhatAFolderTakes) {
    testing_support::TempFolder folder;
    std::string name;
    while (name.size() < 250) {
        name += "号";
    }
    EXPECT_EQ(writeNew(folder.file(name)), "");
    EXPECT_EQ(contentOf(folder.path() / name), "new");
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
