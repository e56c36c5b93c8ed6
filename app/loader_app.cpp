#include "app/loader_app.h"

#include <commctrl.h>

#include "ui/main_dialog.h"

BOOL CLoaderApp::InitInstance() {
    ::InitCommonControls();
    CWinApp::InitInstance();

    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    AfxEnableControlContainer();
    SetRegistryKey("Local AppWizard-Generated Applications");

    CLoaderDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // The main window has closed: end the application.
    return FALSE;
}
