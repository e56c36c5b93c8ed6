#include "framework/app.h"

#include <winsock2.h>

#include "platform/file_system.h"

namespace {

CWinApp* g_pApp = nullptr;

// Releases the socket library when the process ends.
struct SocketLibrary {
    bool started = false;
    ~SocketLibrary() {
        if (started) {
            ::WSACleanup();
        }
    }
};
SocketLibrary g_socketLibrary;

constexpr WORD kSocketVersion = MAKEWORD(1, 1);
constexpr int kMaxMessageLength = 1024;

}  // namespace

CWinApp::CWinApp() {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

void CWinApp::OnHelp() {
    if (m_pMainWnd != nullptr) {
        m_pMainWnd->WinHelp(0, HELP_FINDER);
    }
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

CWnd* AfxGetMainWnd() {
    return g_pApp != nullptr ? g_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetResourceHandle() {
    return g_pApp != nullptr && g_pApp->m_hInstance != nullptr ? g_pApp->m_hInstance
                                                               : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) {
    return AfxGetResourceHandle();
}

int AfxMessageBox(UINT stringId, UINT type) {
    char text[kMaxMessageLength] = {};
    ::LoadStringA(AfxGetResourceHandle(), stringId, text, kMaxMessageLength);
    return AfxMessageBox(text, type);
}

int AfxMessageBox(const char* text, UINT type) {
    std::string caption;
    platform::GetExecutablePath(caption);
    caption = caption.substr(caption.find_last_of("\\/") + 1);
    caption = caption.substr(0, caption.find_last_of('.'));
    // Owned by the window the user works in: a dialog open over the main
    // window, or the main window itself.
    HWND owner = ::GetActiveWindow();
    CWnd* mainWnd = AfxGetMainWnd();
    if (owner == nullptr && mainWnd != nullptr) {
        owner = mainWnd->m_hWnd;
    }
    return ::MessageBoxA(owner, text, caption.c_str(), type);
}

BOOL AfxSocketInit() {
    if (g_socketLibrary.started) {
        return TRUE;
    }
    WSADATA data{};
    if (::WSAStartup(kSocketVersion, &data) != 0) {
        return FALSE;
    }
    g_socketLibrary.started = true;
    return TRUE;
}

int AfxWinMain(HINSTANCE hInstance) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return 1;
    }
    app->m_hInstance = hInstance;
    // The program runs its main window modally inside InitInstance; there is
    // no message loop of the framework's own, so the process ends here
    // whatever InitInstance returns.
    app->InitInstance();
    return 0;
}
