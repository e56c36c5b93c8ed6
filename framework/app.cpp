#include "framework/app.h"

#include <commdlg.h>

#include <vector>

#include "framework/dialog.h"
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

int AfxMessageBox(const std::string& text, UINT type) {
    std::string caption;
    platform::GetExecutablePath(caption);
    caption = caption.substr(caption.find_last_of("\\/") + 1);
    caption = caption.substr(0, caption.find_last_of('.'));
    HWND owner = ::GetActiveWindow();
    if (owner == nullptr && g_pApp != nullptr && g_pApp->m_pMainWnd != nullptr) {
        owner = g_pApp->m_pMainWnd->m_hWnd;
    }
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

int AfxMessageBox(UINT stringId, UINT type) {
    char text[1024] = {};
    ::LoadStringA(::GetModuleHandleA(nullptr), stringId, text, sizeof text);
    return AfxMessageBox(std::string(text), type);
}

std::optional<std::string> ChooseFile(HWND owner, FileDialog kind, const char* defaultExtension,
                                      const char* fileName) {
    // The common dialog library is loaded the first time a file dialog opens,
    // not at start-up: it brings in the shell and the print spooler, which
    // make the program's start noticeably slower.
    static const HMODULE library = ::LoadLibraryA("comdlg32.dll");
    const char* name = kind == FileDialog::Open ? "GetOpenFileNameA" : "GetSaveFileNameA";
    const auto run = reinterpret_cast<BOOL(WINAPI*)(LPOPENFILENAMEA)>(
        library != nullptr ? reinterpret_cast<void*>(::GetProcAddress(library, name)) : nullptr);

    constexpr DWORD kMaxPathLength = 32768;  // the longest path the dialogs return
    std::vector<char> file(kMaxPathLength, '\0');
    std::string(fileName).copy(file.data(), file.size() - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kMaxPathLength;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = kind == FileDialog::Open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT;

    std::string currentFolder;
    const bool known = platform::GetCurrentFolder(currentFolder);
    const bool chosen = run != nullptr && run(&ofn);
    if (known) {
        ::SetCurrentDirectoryA(currentFolder.c_str());
    }
    return chosen ? std::optional<std::string>(file.data()) : std::nullopt;
}

int AfxWinMain() {
    // There is no message loop of the framework's own: the process ends here
    // whatever InitInstance returns.
    if (g_pApp != nullptr) {
        g_pApp->InitInstance();
    }
    return 0;
}
