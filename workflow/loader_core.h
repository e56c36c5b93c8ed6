// The main window's behaviour, apart from the window: the readiness state and
// every workflow the window's handlers run. The core shows its results
// through LoaderView; what needs a person (the path chosen in a file dialog,
// how the Options dialog ended) comes in as arguments, and what needs the
// system (the settings, the fetch, running the batch file) through
// LoaderEnvironment, so that tests can stand in for each.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codes/retrieve.h"
#include "codes/update_batch.h"
#include "platform/command.h"
#include "settings/detect.h"
#include "settings/settings.h"

// The two state icons: the stop sign and the green disc.
enum class StateIcon { NotReady, Ready };

// What the core needs of the window: the status box and the state icon.
class LoaderView {
public:
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void ShowStateIcon(StateIcon icon) = 0;

protected:
    ~LoaderView() = default;
};

// Runs the batch file at `path` through the command interpreter, waits for it
// to end and returns its exit status.
using BatchRunner = std::function<int(const std::string& path)>;

struct LoaderEnvironment {
    SettingsRefs settings;
    FetchReply fetch;
    // The folder whose temp\CODES.DAT is the working copy, with its trailing
    // separator: the program's own folder.
    std::string programFolder;
    // Full paths of config.txt and update.bat: in the folder the program was
    // started in, whatever folder a file dialog moves to later.
    std::string settingsFile;
    std::string batchFile;
    std::vector<std::string> utilityLocations = {TRANSFER_UTILITY_ON_D, TRANSFER_UTILITY_ON_C};
    BatchRunner runBatchFile = platform::RunBatchFile;
};

class CLoaderCore {
public:
    CLoaderCore(LoaderView& view, LoaderEnvironment environment);

    // Opening the window, up to the fetch: the not-ready state, the settings
    // loaded and, when they ask for it, the transfer utility detected and the
    // path found saved. When the utility is known, the fetch is then due and
    // its text shows. False when the path found could not be saved (the
    // window says so); it is used for the run all the same.
    bool StartUp();
    // The fetch that ends the start-up, when it is due; the window runs it
    // once it has been shown.
    void RetrieveAtStartUp();
    void RetrieveFromWeb();
    // The file chosen in the Open or Save dialog.
    void OpenCodesFile(const std::string& chosenPath);
    void SaveCodesFile(const std::string& chosenPath);
    // After the Options dialog: `confirmed` when it ended with OK (the dialog
    // has then stored and saved the settings); `wasReady` when the codes were
    // ready as the command began.
    void OptionsClosed(bool confirmed, bool wasReady);
    void UpdateBuildingCodes();

    bool IsReady() const { return m_nCodesState == kReady; }
    const std::string& WorkingCopyPath() const { return m_workingCopy; }

private:
    void SetStatus(const std::string& text);
    void SetState(std::int32_t state);
    void ShowMissingUtility();
    // Fetches into the working copy and shows the outcome; a failure shows
    // `failureText` and the reason under it, unless it was the working copy
    // that could not be written.
    void RetrieveAndShow(const char* failureText);

    static constexpr std::int32_t kReady = 0;
    static constexpr std::int32_t kNotReady = -1;

    LoaderView& m_view;
    LoaderEnvironment m_env;
    std::string m_workingCopy;
    // 0: the working copy is ready for the update; -1: not ready.
    std::int32_t m_nCodesState = kNotReady;
    // The last text shown by a workflow other than the update, which shows
    // its own texts without keeping them.
    std::string m_statusText;
    bool m_startUpFetchDue = false;
};
