// The PATH backend for real: fake tools are shell scripts in temporary
// directories, PATH is pointed at them, and a started tool proves itself by
// writing a marker file.
#include "sysinfo/sysinfo_posix.h"
#include "sysinfo/sysinfo.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class PosixSysInfo : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char *path = std::getenv("PATH")) {
            m_savedPath = path;
        }
        std::string pattern = (fs::temp_directory_path() / "plimora-sysinfo-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_marker = m_dir / "started";
    }

    void TearDown() override {
        if (m_savedPath) {
            ::setenv("PATH", m_savedPath->c_str(), 1);
        } else {
            ::unsetenv("PATH");
        }
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    fs::path directory(const std::string &name) {
        fs::create_directories(m_dir / name);
        return m_dir / name;
    }

    // A tool that writes its own argv[0] to the marker file.
    fs::path tool(const fs::path &directory, const std::string &name,
                  fs::perms perms = fs::perms::owner_all) {
        fs::create_directories(directory);
        const auto path = directory / name;
        std::ofstream(path) << "#!/bin/sh\nprintf '%s' \"$0\" > '" << m_marker.string() << "'\n";
        fs::permissions(path, perms);
        return path;
    }

    static void setPath(const std::string &value) { ::setenv("PATH", value.c_str(), 1); }

    // The tool runs detached, so its marker is awaited, within bounds.
    std::optional<std::string> awaitMarker() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(m_marker);
            std::stringstream text;
            text << in.rdbuf();
            if (in && !text.str().empty()) {
                return text.str();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    std::optional<std::string> m_savedPath;
    fs::path m_dir;
    fs::path m_marker;
};

TEST_F(PosixSysInfo, StartsTheToolFoundOnThePath) {
    const auto script = tool(directory("bin with space"), "hardinfo");
    setPath("/nonexistent-plimora:" + script.parent_path().string());
    int messages = 0;

    sysinfo::StartSysInfo(sysinfo::systemPlatform(), [&](std::string_view) { ++messages; });

    EXPECT_EQ(messages, 0);
    EXPECT_EQ(awaitMarker(), script.string()) << "argv[0] must be the full path";
    // The intermediate child has been reaped and the tool belongs to init.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD) << "a child of the test is still around";
}

TEST_F(PosixSysInfo, NoToolOnThePathShowsTheMessage) {
    // Tools in the current directory and below it, which an empty or a
    // relative PATH entry would name.
    tool(m_dir, "hardinfo");
    tool(directory("elsewhere"), "hardinfo");
    const auto savedDirectory = fs::current_path();
    fs::current_path(m_dir);
    for (const char *path :
         std::initializer_list<const char *>{"", ":", "elsewhere", "./elsewhere", nullptr}) {
        SCOPED_TRACE(path ? path : "(unset)");
        if (path) {
            setPath(path);
        } else {
            ::unsetenv("PATH");
        }
        std::vector<std::string> messages;

        sysinfo::StartSysInfo(sysinfo::systemPlatform(),
                              [&](std::string_view text) { messages.emplace_back(text); });

        EXPECT_EQ(messages, std::vector<std::string>{"此时系统信息不可用"});
    }
    fs::current_path(savedDirectory);
}

TEST_F(PosixSysInfo, ToolNamesAreTriedInOrder) {
    struct Case {
        const char *name;
        std::vector<std::pair<std::string, std::string>> tools;  // directory, file
        std::string winner;                                      // directory/file, or ""
    };
    const std::vector<Case> cases = {
        {"hardinfo2 beats an earlier kinfocenter",
         {{"a", "kinfocenter"}, {"b", "hardinfo2"}},
         "b/hardinfo2"},
        {"hardinfo2 beats an earlier hardinfo",
         {{"a", "hardinfo"}, {"b", "hardinfo2"}},
         "b/hardinfo2"},
        {"hardinfo beats an earlier kinfocenter",
         {{"a", "kinfocenter"}, {"b", "hardinfo"}},
         "b/hardinfo"},
        {"same name: the earlier directory",
         {{"a", "kinfocenter"}, {"b", "kinfocenter"}},
         "a/kinfocenter"},
        {"other names do not count", {{"a", "msinfo32"}, {"b", "hardinfo-old"}}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto root = directory(std::string("order-") + std::to_string(&c - cases.data()));
        for (const auto &[dir, file] : c.tools) {
            tool(root / dir, file);
        }
        setPath((root / "a").string() + ":" + (root / "b").string());

        EXPECT_EQ(sysinfo::PosixPlatform::findTool(),
                  c.winner.empty() ? "" : (root / c.winner).string());
    }
}

TEST_F(PosixSysInfo, OnlyExecutableRegularFilesCount) {
    const auto a = directory("a");
    const auto b = directory("b");
    tool(a, "hardinfo2", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(a / "hardinfo");
    const auto expected = tool(b, "kinfocenter");
    setPath(a.string() + ":" + b.string());

    EXPECT_EQ(sysinfo::PosixPlatform::findTool(), expected.string());
}

TEST_F(PosixSysInfo, ProgramThatCannotBeExecutedShowsTheMessage) {
    const auto bin = directory("bin");
    std::ofstream(bin / "hardinfo") << "#!/nonexistent-plimora/interpreter\n";
    fs::permissions(bin / "hardinfo", fs::perms::owner_all);
    setPath(bin.string());
    int messages = 0;

    sysinfo::StartSysInfo(sysinfo::systemPlatform(), [&](std::string_view) { ++messages; });

    EXPECT_EQ(messages, 1);
    try {
        sysinfo::systemPlatform().startProgram((bin / "hardinfo").string(), sysinfo::kShowNormal);
        ADD_FAILURE() << "no error for a program that cannot be executed";
    } catch (const std::system_error &error) {
        EXPECT_EQ(error.code().value(), ENOENT) << error.what();
    }
}

TEST_F(PosixSysInfo, PathLongerThanTheValueBufferCountsAsMissing) {
    // Five 220-character directory names make a path well past 1024 bytes.
    fs::path deep = m_dir;
    for (int i = 0; i < 5; ++i) {
        deep /= std::string(220, static_cast<char>('a' + i));
    }
    fs::create_directories(deep);
    tool(deep, "hardinfo");
    setPath(deep.string());
    std::string value = "before";

    EXPECT_FALSE(sysinfo::GetKeyValue(sysinfo::systemPlatform(), sysinfo::kLocalMachine,
                                      std::string(sysinfo::kToolKey),
                                      std::string(sysinfo::kToolValue), value));
    EXPECT_EQ(value, "");
}

}  // namespace
