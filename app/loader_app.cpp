#include "app/loader_app.h"

#include <commctrl.h>

#include "app/globals.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

const MessageMapEntry CLoaderApp::kMessageEntries[] = {
    OnCommand<ID_HELP, &CWinApp::OnHelp>(),
};
const MessageMap CLoaderApp::kMessageMap = MakeMessageMap(nullptr, kMessageEntries);

BOOL CLoaderApp::InitInstance() {
    ::InitCommonControls();
    CWinApp::InitInstance();

    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    AfxEnableControlContainer();
    SetRegistryKey("Local AppWizard-Generated Applications");

    CLoaderDlg dlg(SettingsRefs{g_strHost, g_strCodesPath, g_strTransferPath}, g_fetchClient,
                   g_httpsClient);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // The main window has closed: end the application.
    return FALSE;
}
