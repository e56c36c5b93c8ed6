#include "framework/file_dialog.h"

#include <commdlg.h>

#include <vector>

#include "framework/app.h"
#include "platform/file_system.h"

namespace {

// Room for the longest path the dialogs can return.
constexpr DWORD kMaxPathLength = 32768;

const char COMMON_DIALOG_LIBRARY[] = "comdlg32.dll";

using FileDialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);

// The common dialog library is loaded the first time a file dialog opens,
// not at start-up: it brings in the shell and the print spooler, which make
// the program's start noticeably slower. It stays loaded for the process.
FileDialogFunction FindFileDialog(bool open) {
    static HMODULE library = ::LoadLibraryA(COMMON_DIALOG_LIBRARY);
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<FileDialogFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(library, open ? "GetOpenFileNameA" : "GetSaveFileNameA")));
}

}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName,
                         DWORD flags, const char* filter, CWnd* pParentWnd)
    : m_bOpenFileDialog(openFileDialog),
      m_defaultExtension(defaultExtension != nullptr ? defaultExtension : ""),
      m_fileName(fileName != nullptr ? fileName : ""),
      m_flags(flags),
      m_filter(filter),
      m_pParentWnd(pParentWnd) {}

INT_PTR CFileDialog::DoModal() {
    std::vector<char> file(kMaxPathLength, '\0');
    m_fileName.copy(file.data(), file.size() - 1);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    CWnd* owner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    ofn.hwndOwner = owner != nullptr ? owner->m_hWnd : nullptr;
    ofn.lpstrFilter = m_filter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kMaxPathLength;
    ofn.lpstrDefExt = m_defaultExtension.empty() ? nullptr : m_defaultExtension.c_str();
    ofn.Flags = m_flags;

    // The dialogs move the current folder to where the user browsed; the
    // program's own files are named from the folder it started in, so the
    // current folder is given back.
    std::string currentFolder;
    const bool known = platform::GetCurrentFolder(currentFolder);
    const FileDialogFunction run = FindFileDialog(m_bOpenFileDialog != FALSE);
    const bool chosen = run != nullptr && run(&ofn);
    if (known) {
        ::SetCurrentDirectoryA(currentFolder.c_str());
    }
    if (!chosen) {
        return IDCANCEL;
    }
    m_fileName = file.data();
    return IDOK;
}
