// A stand-in for a system DLL left in the program's folder: it exports
// nothing and, when a process loads it, leaves a file NAME.dll.loaded beside
// itself. The end-to-end tests plant it as winhttp.dll, crypt32.dll and
// secur32.dll and check that the program never loads it.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return TRUE;
    }
    const HANDLE mark = ::CreateFileW((std::wstring(path, length) + L".loaded").c_str(),
                                      GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (mark != INVALID_HANDLE_VALUE) {
        ::CloseHandle(mark);
    }
    return TRUE;
}
