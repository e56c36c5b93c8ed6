// The Options dialog: the three settings in three edit boxes, with the
// transfer path filled by detection or by browsing.
#pragma once

#include <windows.h>

#include <optional>

#include "settings/settings.h"
#include "workflow/loader_core.h"

// Runs the dialog over `owner` with `settings` in its boxes. OK hands the
// edited settings to `save` while the dialog still shows, then returns them;
// Cancel returns nothing.
std::optional<Settings> RunOptionsDialog(HWND owner, const Settings& settings,
                                         const SettingsSaver& save);
