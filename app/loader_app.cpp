#include "app/loader_app.h"

#include <commctrl.h>

#include "app/globals.h"
#include "codes/update_batch.h"
#include "codes/working_copy.h"
#include "framework/wait.h"
#include "net/fetch_client.h"
#include "net/https_client.h"
#include "platform/command.h"
#include "platform/file_system.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

namespace {

// What the core reaches of the system.
LoaderEnvironment ProgramEnvironment() {
    LoaderEnvironment environment;
    // Plain http through the program's own client, https through the system's.
    // The fetch and the run of the batch file wait on a worker thread, while
    // the window goes on taking its messages.
    environment.fetch = [](const Url& url, std::chrono::steady_clock::time_point end,
                           FetchFailure& failure) {
        std::string_view reply;
        AfxWaitForWork([&] {
            reply = url.scheme == Scheme::Https ? g_httpsClient.Fetch(url, end, failure)
                                                : g_fetchClient.Fetch(url, end, failure);
        });
        return reply;
    };
    environment.runBatchFile = [](const std::string& path) {
        int exitStatus = -1;
        AfxWaitForWork([&] { exitStatus = platform::RunBatchFile(path); });
        return exitStatus;
    };
    environment.programFolder = GetProgramFolder();
    // The program's files are named once, from the folder it starts in.
    environment.settingsFile = platform::InCurrentFolder(SETTINGS_FILE_NAME);
    environment.batchFile = platform::InCurrentFolder(UPDATE_BATCH_FILE);
    return environment;
}

}  // namespace

BOOL CLoaderApp::InitInstance() {
    ::InitCommonControls();
    // CWinApp::InitInstance: the framework's own start-up has nothing to do.
    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    // AfxEnableControlContainer: the dialogs hold only standard controls.
    // SetRegistryKey: the program keeps its settings in config.txt, not the registry.

    CLoaderDlg dlg(g_settings, ProgramEnvironment());
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // The main window has closed: end the application.
    return FALSE;
}
