// The program's global objects. They are constructed in the order written
// here, before InitInstance runs, and destroyed in the reverse order when the
// process ends.
#include "app/globals.h"
#include "app/loader_app.h"
#include "app/process_safety.h"
#include "net/fetch_client.h"
#include "net/https_client.h"
#include "settings/settings.h"

// 0. Before anything loads a DLL or touches a file: no system error box, and
//    DLLs from the system folder only.
[[maybe_unused]] static const bool g_processSafe = (MakeProcessSafe(), true);

// 1. The application object.
CLoaderApp theApp;

// 2. The fetch client; it registers the process with the socket library for
//    the whole life of the main window.
CFetchClient g_fetchClient;

// 3. The HTTPS client, through the system's HTTP stack.
CHttpsClient g_httpsClient;

// 4. The three settings, empty until the main window loads them.
Settings g_settings;
std::string& g_strHost = g_settings.host;
std::string& g_strCodesPath = g_settings.codesPath;
std::string& g_strTransferPath = g_settings.transferPath;
