// The application object: one global instance, whose InitInstance the
// framework's entry point calls once.
#pragma once

#include <windows.h>

#include <string>

#include "framework/wnd.h"

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's own start-up. The process ends when it returns: the
    // program runs its main window modally inside it.
    virtual BOOL InitInstance() { return TRUE; }

    // Opens the program's help file, named after the executable.
    void OnHelp();
    void SetRegistryKey(const char* company) { m_strRegistryKey = company; }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    std::string m_strRegistryKey;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();
HINSTANCE AfxFindResourceHandle(LPCSTR name, LPCSTR type);

// Enables hosting of controls in dialogs: a no-op, since the program's
// dialogs hold only standard controls.
inline void AfxEnableControlContainer() {}

// Shows the string resource `stringId` in a message box owned by the main
// window, with the program's name as caption. Returns the button pressed.
int AfxMessageBox(UINT stringId, UINT type = MB_OK);
// Same, with the text given directly.
int AfxMessageBox(const char* text, UINT type = MB_OK);

// Starts the socket library for the life of the process. False on failure.
BOOL AfxSocketInit();

// The entry point proper: runs the application object's InitInstance.
int AfxWinMain(HINSTANCE hInstance);
