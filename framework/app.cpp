#include "framework/app.h"

#include <commdlg.h>

#include <vector>

#include "framework/dialog.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/socket_library.h"

namespace {
CWinApp* g_pApp = nullptr;
}  // namespace

CWinApp::CWinApp() {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    g_pApp = nullptr;
}

BOOL AfxSocketInit() {
    return platform::StartSocketLibrary() ? TRUE : FALSE;
}

namespace {

int ShowMessageBox(const std::wstring& text, UINT type) {
    std::string caption;
    platform::GetExecutablePath(caption);
    caption = caption.substr(caption.find_last_of("\\/") + 1);
    caption = caption.substr(0, caption.find_last_of('.'));
    HWND owner = ::GetActiveWindow();
    if (owner == nullptr && g_pApp != nullptr && g_pApp->m_pMainWnd != nullptr) {
        owner = g_pApp->m_pMainWnd->m_hWnd;
    }
    return ::MessageBoxW(owner, text.c_str(), platform::WideFromText(caption).c_str(), type);
}

}  // namespace

int AfxMessageBox(const std::string& text, UINT type) {
    return ShowMessageBox(platform::WideFromText(text), type);
}

int AfxMessageBox(UINT stringId, UINT type) {
    wchar_t text[1024] = {};
    ::LoadStringW(::GetModuleHandleW(nullptr), stringId, text, 1024);
    return ShowMessageBox(text, type);
}

std::optional<std::string> ChooseFile(HWND owner, FileDialog kind, const char* defaultExtension,
                                      const char* fileName) {
    // The common dialog library is loaded the first time a file dialog opens,
    // not at start-up: it brings in the shell and the print spooler, which
    // make the program's start noticeably slower.
    static const HMODULE library = ::LoadLibraryW(L"comdlg32.dll");
    const char* name = kind == FileDialog::Open ? "GetOpenFileNameW" : "GetSaveFileNameW";
    const auto run = reinterpret_cast<BOOL(WINAPI*)(LPOPENFILENAMEW)>(
        library != nullptr ? reinterpret_cast<void*>(::GetProcAddress(library, name)) : nullptr);

    constexpr DWORD kMaxPathLength = 32768;  // the longest path the dialogs return
    std::vector<wchar_t> file(kMaxPathLength, L'\0');
    platform::WideFromText(fileName).copy(file.data(), file.size() - 1);
    const std::wstring extension = platform::WideFromText(defaultExtension);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kMaxPathLength;
    ofn.lpstrDefExt = extension.c_str();
    ofn.Flags = kind == FileDialog::Open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT;

    std::string currentFolder;
    const bool known = platform::GetCurrentFolder(currentFolder);
    const bool chosen = run != nullptr && run(&ofn);
    if (known) {
        ::SetCurrentDirectoryW(platform::WideFromText(currentFolder).c_str());
    }
    return chosen ? std::optional<std::string>(platform::TextFromWide(file.data())) : std::nullopt;
}

int AfxWinMain() {
    // There is no message loop of the framework's own: the process ends here
    // whatever InitInstance returns.
    if (g_pApp != nullptr) {
        g_pApp->InitInstance();
    }
    return 0;
}
