// The Windows backend against a real registry, file system and process
// start, run under Wine by sysinfo_wine_test.sh, which prepares the registry
// with `reg add` and the copies of sysinfo_wine_child.exe:
//   <work>\Plimora Tools\msinfo.exe     registered in the first location
//   <work>\Plimora Tools\MSINFO32.EXE   found through the second location
//   <work>\Plimora.exe                  the decoy a split command line would run
// Usage: sysinfo_wine_test <work directory, as a Windows path>
// Prints one line per failed check and "N passed, N failed"; exits 1 on any
// failure.
#include "sysinfo/sysinfo.h"
#include "sysinfo/sysinfo_win.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <system_error>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string &what, const std::string &detail = {}) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAILED: %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
}

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

void checkRead(sysinfo::Platform &platform, const std::string &keyPath, const std::string &name,
               bool expectedFound, const std::string &expected, const std::string &before = "") {
    std::string value = before;
    bool found = false;
    try {
        found = sysinfo::GetKeyValue(platform, sysinfo::kLocalMachine, keyPath, name, value);
    } catch (const std::exception &error) {
        check(false, "read " + keyPath + " " + name, error.what());
        return;
    }
    check(found == expectedFound && value == expected, "read " + keyPath + " " + name,
          "got " + std::string(found ? "true " : "false ") + quoted(value) + ", expected " +
              (expectedFound ? "true " : "false ") + quoted(expected));
}

bool exists(const std::string &path) {
    return ::GetFileAttributesW(sysinfo::toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Started programs run on their own; their markers are awaited, within bounds.
bool awaitFile(const std::string &path) {
    for (int i = 0; i < 200; ++i) {
        if (exists(path)) {
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

void makeFile(const std::string &path, DWORD attributes) {
    const HANDLE file = ::CreateFileW(sysinfo::toWide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    check(file != INVALID_HANDLE_VALUE, "create " + path);
    ::CloseHandle(file);
    if (attributes != FILE_ATTRIBUTE_NORMAL) {
        ::SetFileAttributesW(sysinfo::toWide(path).c_str(), attributes);
        // Wine keeps these attributes only where the file system can store
        // them; a check that cannot hold would prove nothing.
        check((::GetFileAttributesW(sysinfo::toWide(path).c_str()) & attributes) == attributes,
              "attributes stick on " + path);
    }
}

int startsWithMessages(sysinfo::Platform &platform) {
    int messages = 0;
    sysinfo::StartSysInfo(platform, [&](std::string_view text) {
        ++messages;
        check(text == "此时系统信息不可用", "message text", std::string(text));
    });
    return messages;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::printf("usage: sysinfo_wine_test <work directory>\n");
        return 2;
    }
    const std::string work = argv[1];
    const std::string toolDir = work + "\\Plimora Tools";
    const std::string tool = toolDir + "\\msinfo.exe";
    const std::string testKey = "SOFTWARE\\Plimora\\SysInfoTest";
    const std::string toolKey(sysinfo::kToolKey);
    const std::string toolDirKey(sysinfo::kToolDirKey);
    sysinfo::WinPlatform platform;

    checkRead(platform, toolKey, "PATH", true, tool);
    checkRead(platform, toolDirKey, "MSINFO", true, toolDir);
    checkRead(platform, testKey, "Text", true, "Café");
    checkRead(platform, testKey, "Number", true, "&h000105");  // 261
    checkRead(platform, testKey, "Wide", true, "&h12345678");
    checkRead(platform, testKey, "Long", false, "", "before");
    checkRead(platform, testKey, "Expandable", true, "before", "before");
    checkRead(platform, testKey, "NoSuchValue", false, "", "before");
    checkRead(platform, "SOFTWARE\\Plimora\\NoSuchKey", "PATH", false, "", "before");

    const std::string files = work + "\\files";
    ::CreateDirectoryW(sysinfo::toWide(files).c_str(), nullptr);
    ::CreateDirectoryW(sysinfo::toWide(files + "\\folder").c_str(), nullptr);
    makeFile(files + "\\plain.txt", FILE_ATTRIBUTE_NORMAL);
    makeFile(files + "\\readonly.txt", FILE_ATTRIBUTE_READONLY);
    makeFile(files + "\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    makeFile(files + "\\system.txt", FILE_ATTRIBUTE_SYSTEM);
    const struct {
        const char *name;
        bool normal;
    } entries[] = {
        {"plain.txt", true},   {"readonly.txt", true}, {"PLAIN.TXT", true},   {"folder", false},
        {"hidden.txt", false}, {"system.txt", false},  {"absent.txt", false}, {"", false}};
    for (const auto &entry : entries) {
        const std::string path = files + "\\" + entry.name;
        check(platform.isNormalFile(path) == entry.normal, "normal-file test " + quoted(path));
    }

    for (const std::string &path : {std::string(), work + "\\absent.exe", files + "\\plain.txt"}) {
        bool threw = false;
        try {
            platform.startProgram(path, sysinfo::kShowNormal);
        } catch (const std::system_error &) {
            threw = true;
        }
        check(threw, "start " + quoted(path) + " throws");
    }

    // The first location: the registered path, spaces and all.
    check(startsWithMessages(platform) == 0, "first location: no message");
    check(awaitFile(tool + ".ran"), "first location: tool started");
    ::Sleep(500);
    check(!exists(work + "\\Plimora.exe.ran"), "first location: decoy not started");

    // Without the first location, the second one's directory plus MSINFO32.EXE.
    check(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, toolKey.c_str()) == ERROR_SUCCESS,
          "delete the first location");
    check(startsWithMessages(platform) == 0, "second location: no message");
    check(awaitFile(toolDir + "\\MSINFO32.EXE.ran"), "second location: tool started");

    HKEY location = nullptr;
    check(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, toolDirKey.c_str(), 0, KEY_SET_VALUE, &location) ==
                  ERROR_SUCCESS &&
              ::RegDeleteValueA(location, "MSINFO") == ERROR_SUCCESS,
          "delete the second location");
    ::RegCloseKey(location);
    check(startsWithMessages(platform) == 1, "no location: one message");

    // The trap the decoy sets is real: an unquoted command line without an
    // application name runs it.
    std::wstring commandLine = sysinfo::toWide(tool);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    check(awaitFile(work + "\\Plimora.exe.ran"), "control: a split command line runs the decoy");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
