// The operations on the program's global settings. Kept apart from the rest
// of the settings code so that code which never calls them does not need the
// globals, which the application defines.

#include "settings/settings.h"

void LoadSettings() {
    Settings settings{g_strHost, g_strCodesPath, g_strTransferPath};
    ReadSettingsFile(SETTINGS_FILE_NAME, settings);
    g_strHost = settings.host;
    g_strCodesPath = settings.codesPath;
    g_strTransferPath = settings.transferPath;
}

bool SaveSettings() {
    return WriteSettingsFile(SETTINGS_FILE_NAME,
                             Settings{g_strHost, g_strCodesPath, g_strTransferPath});
}
