// What the program takes from Windows itself: a kernel handle closed by its
// owner, and the full path of a file in the system folder.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace platform {

struct KernelHandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using KernelHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleCloser>;

// The full path of `name` in the system folder; empty when the system does
// not say where that folder is.
inline std::wstring InSystemFolder(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::wstring(folder, length) + L"\\" + name;
}

}  // namespace platform
#endif
