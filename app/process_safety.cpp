#include "app/process_safety.h"

#include <windows.h>

#include <string>

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// The DLLs the program loads at its first secure fetch, through delay
// imports. Wine's WinHTTP loads crypt32 and secur32 by itself without regard
// to the default directories: loaded here first, from the system folder,
// they are the ones it gets.
constexpr const wchar_t* DELAY_LOADED[] = {L"crypt32.dll", L"secur32.dll", L"winhttp.dll"};

void LoadFromSystemFolder(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    ::LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
}

}  // namespace

void MakeProcessSafe() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Windows 8 and later, and 7 with its update KB2533623, have it.
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    for (const wchar_t* name : DELAY_LOADED) {
        LoadFromSystemFolder(name);
    }
}
