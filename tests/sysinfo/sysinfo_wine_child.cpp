// Stands in for the system-information tool in the Wine test: writes its
// command line to "<its own path>.ran" so the test can tell which copy of it
// was started, and how.
#include <windows.h>

int main() {
    wchar_t self[MAX_PATH + 8];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 1;
    }
    ::lstrcatW(self, L".ran");
    const HANDLE marker = ::CreateFileW(self, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) {
        return 1;
    }
    const wchar_t *commandLine = ::GetCommandLineW();
    DWORD written = 0;
    const BOOL ok = ::WriteFile(marker, commandLine,
                                static_cast<DWORD>(::lstrlenW(commandLine) * sizeof(wchar_t)),
                                &written, nullptr);
    ::CloseHandle(marker);
    return ok ? 0 : 1;
}
