// The main window's behaviour, apart from the window: the readiness state and
// every workflow the window's handlers run. The core shows its results
// through LoaderView; what needs a person (the path chosen in a file dialog,
// the settings edited in the Options dialog) comes in as arguments, and what
// needs the system (the fetch, the files, running the batch file) through
// LoaderEnvironment, so that tests can stand in for each.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codes/retrieve.h"
#include "platform/command.h"
#include "settings/detect.h"
#include "settings/settings.h"

// Whether the working copy is ready for the update.
enum class CodesState : std::int32_t { Ready = 0, NotReady = -1 };

// What the core needs of the window. Texts are UTF-8.
class LoaderView {
public:
    virtual void SetStatusText(const std::string& text) = 0;
    // The icon of `state`: the green disc when ready, the stop sign when not.
    virtual void ShowStateIcon(CodesState state) = 0;
    // Off while a fetch or the transfer utility runs, when the window takes
    // no command; on again after it.
    virtual void EnableCommands(bool enable) = 0;
    // A message box, over the window the user works in.
    virtual void ShowWarning(const std::string& text) = 0;

protected:
    ~LoaderView() = default;
};

struct LoaderEnvironment {
    FetchReply fetch;
    // The folder whose temp\CODES.DAT is the working copy, with its trailing
    // separator: the program's own folder. Every path is UTF-8.
    std::string programFolder;
    // Full paths of config.txt and update.bat: in the folder the program was
    // started in, whatever folder a file dialog moves to later.
    std::string settingsFile;
    std::string batchFile;
    std::vector<std::string> utilityLocations = {TRANSFER_UTILITY_ON_D, TRANSFER_UTILITY_ON_C};
    // Runs the batch file at a full path, waits for it to end and gives its
    // exit status.
    std::function<int(const std::string& path)> runBatchFile = platform::RunBatchFile;
};

// The Options dialog, showing `current`. OK hands the edited settings to
// `save` while the dialog still shows (a warning then shows over it), and the
// dialog returns them; Cancel returns nothing.
using SettingsSaver = std::function<void(const Settings& edited)>;
using OptionsDialog =
    std::function<std::optional<Settings>(const Settings& current, const SettingsSaver& save)>;

class CLoaderCore {
public:
    // `settings`: the program's settings for the whole run, empty until StartUp.
    CLoaderCore(LoaderView& view, Settings& settings, LoaderEnvironment environment);

    // Opening the window, up to the fetch: the not-ready state, the settings
    // loaded and, when they ask for it, the transfer utility detected and the
    // path found saved. When the utility is known, the fetch is then due and
    // its text shows.
    void StartUp();
    // The fetch that ends the start-up, when it is due; the window runs it
    // once it has been shown.
    void RetrieveAtStartUp();
    void RetrieveFromWeb();
    // The file chosen in the Open or Save dialog.
    void OpenCodesFile(const std::string& chosenPath);
    void SaveCodesFile(const std::string& chosenPath);
    // The Options command, which runs `dialog`.
    void Options(const OptionsDialog& dialog);
    void UpdateBuildingCodes();

private:
    // The state, with its icon.
    void SetState(CodesState state);
    void SetStatus(const std::string& text);
    void ShowMissingUtility();
    void SaveSettingsOrWarn(const Settings& settings);
    // Fetches into the working copy and shows the outcome; a failure shows
    // `failureText` and the reason under it, unless it was the working copy
    // that could not be written.
    void RetrieveAndShow(const char* failureText);

    LoaderView& m_view;
    Settings& m_settings;
    const LoaderEnvironment m_env;
    const std::string m_workingCopy;
    CodesState m_nCodesState = CodesState::NotReady;
    // The last text shown by a workflow other than the update, which shows
    // its own texts without keeping them.
    std::string m_statusText;
    bool m_startUpFetchDue = false;
};
