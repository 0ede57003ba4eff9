// The system-information launcher against a fake registry: which location
// wins, how stored bytes become text, and that every key opened for reading
// is closed again.
#include "sysinfo/sysinfo.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

using sysinfo::Key;

struct StoredValue {
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> bytesOf(std::string_view text, bool terminated = true) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (terminated) {
        bytes.push_back(0);
    }
    return bytes;
}

StoredValue sz(std::string_view text, bool terminated = true) {
    return {sysinfo::kRegSz, bytesOf(text, terminated)};
}

enum class FileKind { Normal, Directory, Hidden };

struct OpenCall {
    Key root;
    std::string keyPath;
    std::uint32_t options;
    std::uint32_t access;
};

// A registry of keys under HKEY_LOCAL_MACHINE, a file system and a process
// starter, all recording how they were used.
class FakePlatform : public sysinfo::Platform {
public:
    std::map<std::string, std::map<std::string, StoredValue>> keys;
    std::map<std::string, FileKind> files;
    std::set<std::string> startable;

    std::vector<OpenCall> opens;
    std::vector<std::string> fileTests;
    std::vector<std::string> startAttempts;
    std::vector<int> showStyles;
    std::set<Key> openHandles;
    bool everyBufferClean = true;  // each query got kValueBufferSize zero bytes

    void set(const std::string &keyPath, const std::string &valueName, StoredValue value) {
        keys[keyPath][valueName] = std::move(value);
    }

    long openKey(Key root, const std::string &keyPath, std::uint32_t options, std::uint32_t access,
                 Key &key) override {
        opens.push_back({root, keyPath, options, access});
        key = 0;
        if (root != sysinfo::kLocalMachine || !keys.contains(keyPath)) {
            return sysinfo::kFileNotFound;
        }
        key = m_nextHandle++;
        m_keyOf[key] = keyPath;
        openHandles.insert(key);
        return sysinfo::kSuccess;
    }

    long queryValue(Key key, const std::string &valueName, std::uint32_t &type,
                    std::span<std::uint8_t> data, std::uint32_t &size) override {
        if (!openHandles.contains(key)) {
            return kInvalidHandle;
        }
        if (data.size() != sysinfo::kValueBufferSize || size != data.size()) {
            everyBufferClean = false;
        }
        for (const auto byte : data) {
            if (byte != 0) {
                everyBufferClean = false;
            }
        }
        const auto &values = keys.at(m_keyOf.at(key));
        const auto found = values.find(valueName);
        if (found == values.end()) {
            return sysinfo::kFileNotFound;
        }
        const auto &stored = found->second;
        size = static_cast<std::uint32_t>(stored.bytes.size());
        if (stored.bytes.size() > data.size()) {
            return sysinfo::kMoreData;
        }
        std::copy(stored.bytes.begin(), stored.bytes.end(), data.begin());
        type = stored.type;
        return sysinfo::kSuccess;
    }

    long closeKey(Key key) override { return openHandles.erase(key) == 1 ? 0 : kInvalidHandle; }

    bool isNormalFile(const std::string &path) override {
        fileTests.push_back(path);
        const auto found = files.find(path);
        return found != files.end() && found->second == FileKind::Normal;
    }

    void startProgram(const std::string &path, int showStyle) override {
        startAttempts.push_back(path);
        showStyles.push_back(showStyle);
        if (!startable.contains(path)) {
            throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory));
        }
    }

    // Latin-1, so a test can tell converted text from raw bytes.
    std::string fromAnsi(std::string_view bytes) override {
        std::string text;
        for (const unsigned char byte : bytes) {
            if (byte < 0x80) {
                text += static_cast<char>(byte);
            } else {
                text += static_cast<char>(0xC0 | (byte >> 6));
                text += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return text;
    }

private:
    static constexpr long kInvalidHandle = 6;
    Key m_nextHandle = 0x100;
    std::map<Key, std::string> m_keyOf;
};

const std::string kToolKey(sysinfo::kToolKey);
const std::string kToolDirKey(sysinfo::kToolDirKey);
const std::string kToolValue(sysinfo::kToolValue);
const std::string kToolDirValue(sysinfo::kToolDirValue);

void expectReadOnlyOpensAllClosed(const FakePlatform &fake) {
    for (const auto &open : fake.opens) {
        EXPECT_EQ(open.root, sysinfo::kLocalMachine) << open.keyPath;
        EXPECT_EQ(open.options, 0u) << open.keyPath;
        EXPECT_EQ(open.access, 0x20019u) << open.keyPath;
    }
    EXPECT_TRUE(fake.openHandles.empty()) << "keys left open: " << fake.openHandles.size();
    EXPECT_TRUE(fake.everyBufferClean);
}

struct Launch {
    const char *name;
    std::optional<StoredValue> toolPath;  // first location
    std::optional<StoredValue> toolDir;   // second location
    std::map<std::string, FileKind> files;
    std::vector<std::string> startAttempts;  // in order; the last one fails when messaged
    bool messaged;
    std::vector<std::string> keysOpened;
};

const std::string Found = "C:\\Tools\\MSINFO32.EXE";
const std::map<std::string, FileKind> FoundFile = {{Found, FileKind::Normal}};

TEST(StartSysInfo, FindsAndStartsTheTool) {
    const std::string firstPath = "C:\\Program Files\\Common Files\\msinfo32.exe";
    const std::vector<Launch> launches = {
        {"both locations: the first wins, without a file test",
         sz(firstPath),
         sz("C:\\Tools"),
         FoundFile,
         {firstPath},
         false,
         {kToolKey}},
        {"second location: directory plus file name",
         std::nullopt,
         sz("C:\\Tools"),
         FoundFile,
         {Found},
         false,
         {kToolKey, kToolDirKey}},
        {"second location ending in a backslash doubles it",
         std::nullopt,
         sz("C:\\Tools\\"),
         {{"C:\\Tools\\\\MSINFO32.EXE", FileKind::Normal}},
         {"C:\\Tools\\\\MSINFO32.EXE"},
         false,
         {kToolKey, kToolDirKey}},
        {"second location, file absent",
         std::nullopt,
         sz("C:\\Tools"),
         {},
         {},
         true,
         {kToolKey, kToolDirKey}},
        {"second location, a directory",
         std::nullopt,
         sz("C:\\Tools"),
         {{Found, FileKind::Directory}},
         {},
         true,
         {kToolKey, kToolDirKey}},
        {"second location, a hidden file",
         std::nullopt,
         sz("C:\\Tools"),
         {{Found, FileKind::Hidden}},
         {},
         true,
         {kToolKey, kToolDirKey}},
        {"both missing", std::nullopt, std::nullopt, FoundFile, {}, true, {kToolKey, kToolDirKey}},
        {"first cannot be started: no fallback to the second",
         sz("C:\\Gone\\msinfo32.exe"),
         sz("C:\\Tools"),
         FoundFile,
         {"C:\\Gone\\msinfo32.exe"},
         true,
         {kToolKey}},
        {"first is expandable text: read but empty, start fails",
         StoredValue{sysinfo::kRegExpandSz, bytesOf("%CommonProgramFiles%\\msinfo32.exe")},
         sz("C:\\Tools"),
         FoundFile,
         {""},
         true,
         {kToolKey}},
        {"first empty: message at once, second not tried",
         StoredValue{sysinfo::kRegSz, {}},
         sz("C:\\Tools"),
         FoundFile,
         {},
         true,
         {kToolKey}},
        {"first longer than the buffer counts as missing",
         sz(std::string(1024, 'x')),
         sz("C:\\Tools"),
         FoundFile,
         {Found},
         false,
         {kToolKey, kToolDirKey}},
    };

    for (const auto &launch : launches) {
        SCOPED_TRACE(launch.name);
        FakePlatform fake;
        if (launch.toolPath) {
            fake.set(kToolKey, kToolValue, *launch.toolPath);
        }
        if (launch.toolDir) {
            fake.set(kToolDirKey, kToolDirValue, *launch.toolDir);
        }
        fake.files = launch.files;
        fake.startable = {firstPath, Found, "C:\\Tools\\\\MSINFO32.EXE"};
        std::vector<std::string> messages;

        sysinfo::StartSysInfo(fake, [&](std::string_view text) { messages.emplace_back(text); });

        EXPECT_EQ(fake.startAttempts, launch.startAttempts);
        for (const int style : fake.showStyles) {
            EXPECT_EQ(style, 1);
        }
        const auto expectedMessages = launch.messaged
                                          ? std::vector<std::string>{"此时系统信息不可用"}
                                          : std::vector<std::string>{};
        EXPECT_EQ(messages, expectedMessages);
        std::vector<std::string> opened;
        for (const auto &open : fake.opens) {
            opened.push_back(open.keyPath);
        }
        EXPECT_EQ(opened, launch.keysOpened);
        if (launch.keysOpened.size() == 1) {
            EXPECT_TRUE(fake.fileTests.empty());
        }
        expectReadOnlyOpensAllClosed(fake);
    }
}

TEST(GetKeyValue, EmptyValueThrowsAfterClosingTheKey) {
    FakePlatform fake;
    fake.set(kToolKey, kToolValue, {sysinfo::kRegSz, {}});
    fake.set(kToolDirKey, kToolDirValue, sz("C:\\Tools"));
    fake.files = FoundFile;
    fake.startable = {Found};
    std::string path = "unchanged";

    EXPECT_THROW(sysinfo::GetKeyValue(fake, sysinfo::kLocalMachine, kToolKey, kToolValue, path),
                 std::invalid_argument);
    EXPECT_EQ(path, "unchanged");
    ASSERT_EQ(fake.opens.size(), 1u);
    EXPECT_TRUE(fake.openHandles.empty()) << "the key must be closed before the error leaves";
}

struct Read {
    const char *name;
    std::optional<StoredValue> stored;  // nullopt: the value does not exist
    bool found;
    std::string value;
};

TEST(GetKeyValue, TurnsStoredBytesIntoText) {
    const std::string before = "before";
    const std::vector<Read> reads = {
        {"text with its zero", sz("C:\\a.exe"), true, "C:\\a.exe"},
        {"text without a zero keeps every byte", sz("C:\\a.exe", false), true, "C:\\a.exe"},
        {"only one final zero is cut", sz(std::string("ab\0", 3)), true, std::string("ab\0", 3)},
        {"a lone zero is empty text", sz(""), true, ""},
        {"a zero inside is kept", sz(std::string("a\0b", 3), false), true, std::string("a\0b", 3)},
        {"1024 bytes ending in zero", sz(std::string(1023, 'x')), true, std::string(1023, 'x')},
        {"1024 bytes without zero", sz(std::string(1024, 'x'), false), true,
         std::string(1024, 'x')},
        {"1025 bytes do not fit", sz(std::string(1024, 'x')), false, ""},
        {"text comes from the ANSI code page", sz("caf\xE9"), true, "café"},
        {"dword 261: last zero byte dropped", StoredValue{sysinfo::kRegDword, {0x05, 0x01, 0, 0}},
         true, "&h000105"},
        {"dword, four non-zero bytes, last byte first",
         StoredValue{sysinfo::kRegDword, {0x78, 0x56, 0x34, 0x12}}, true, "&h12345678"},
        {"dword hex digits are upper case",
         StoredValue{sysinfo::kRegDword, {0x01, 0xEF, 0xCD, 0xAB}}, true, "&hABCDEF01"},
        {"dword zero", StoredValue{sysinfo::kRegDword, {0, 0, 0, 0}}, true, "&h000000"},
        {"expandable text leaves the value alone",
         StoredValue{sysinfo::kRegExpandSz, bytesOf("%windir%")}, true, before},
        {"binary leaves the value alone", StoredValue{3, {1, 2, 3}}, true, before},
        {"missing value", std::nullopt, false, ""},
    };

    for (const auto &read : reads) {
        SCOPED_TRACE(read.name);
        FakePlatform fake;
        fake.set(kToolKey, "Other", sz("other"));
        if (read.stored) {
            fake.set(kToolKey, kToolValue, *read.stored);
        }
        std::string value = before;

        EXPECT_EQ(sysinfo::GetKeyValue(fake, sysinfo::kLocalMachine, kToolKey, kToolValue, value),
                  read.found);
        EXPECT_EQ(value, read.value);
        expectReadOnlyOpensAllClosed(fake);
    }
}

TEST(GetKeyValue, MissingKeyClearsValue) {
    FakePlatform fake;
    std::string value = "before";

    EXPECT_FALSE(sysinfo::GetKeyValue(fake, sysinfo::kLocalMachine, kToolKey, kToolValue, value));
    EXPECT_EQ(value, "");
    expectReadOnlyOpensAllClosed(fake);
}

}  // namespace
