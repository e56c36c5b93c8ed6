#include "workflow/loader_core.h"

#include <utility>

#include "codes/codes_file.h"
#include "codes/update_batch.h"
#include "codes/working_copy.h"
#include "workflow/status_texts.h"

namespace {

// The window takes no command for the life of the object.
class BusyWindow {
public:
    explicit BusyWindow(LoaderView& view) : m_view(view) { m_view.EnableCommands(false); }
    ~BusyWindow() { m_view.EnableCommands(true); }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

private:
    LoaderView& m_view;
};

}  // namespace

CLoaderCore::CLoaderCore(LoaderView& view, Settings& settings, LoaderEnvironment environment)
    : m_view(view),
      m_settings(settings),
      m_env(std::move(environment)),
      m_workingCopy(WorkingCopyPathIn(m_env.programFolder)) {}

void CLoaderCore::SetState(CodesState state) {
    m_view.ShowStateIcon(state);
    m_nCodesState = state;
}

void CLoaderCore::SetStatus(const std::string& text) {
    m_statusText = text;
    m_view.SetStatusText(text);
}

void CLoaderCore::ShowMissingUtility() {
    SetState(CodesState::NotReady);
    SetStatus(MISSING_UTILITY_TEXT);
}

void CLoaderCore::SaveSettingsOrWarn(const Settings& settings) {
    // The settings in memory are used for the run all the same.
    if (!SaveSettings(settings, m_env.settingsFile)) {
        m_view.ShowWarning(SAVE_SETTINGS_FAILED_TEXT);
    }
}

void CLoaderCore::StartUp() {
    SetState(CodesState::NotReady);
    LoadSettings(m_settings, m_env.settingsFile);
    bool saved = true;
    if (m_settings.transferPath == AUTODETECT_FAILED) {
        const std::string detected = DetectTransferUtility(m_env.utilityLocations);
        if (detected == AUTODETECT_FAILED) {
            ShowMissingUtility();
            return;
        }
        m_settings.transferPath = detected;
        saved = SaveSettings(m_settings, m_env.settingsFile);
    }
    // The transfer utility is known: the fetch is due, and says so at once.
    SetStatus(RETRIEVING_TEXT);
    m_startUpFetchDue = true;
    if (!saved) {
        m_view.ShowWarning(SAVE_SETTINGS_FAILED_TEXT);
    }
}

void CLoaderCore::RetrieveAtStartUp() {
    if (!m_startUpFetchDue) {
        return;
    }
    m_startUpFetchDue = false;
    RetrieveAndShow(CANNOT_RETRIEVE_FROM_WWW_TEXT);
}

void CLoaderCore::RetrieveFromWeb() {
    SetState(CodesState::NotReady);
    SetStatus(RETRIEVING_TEXT);
    RetrieveAndShow(CANNOT_RETRIEVE_TEXT);
}

void CLoaderCore::RetrieveAndShow(const char* failureText) {
    const BusyWindow busy(m_view);
    std::string dateLine;
    RetrieveFailure failure;
    const RetrieveResult result = RetrieveCodes(m_settings.host, m_settings.codesPath, m_env.fetch,
                                                m_workingCopy, dateLine, failure);
    if (result == RetrieveResult::Success) {
        SetStatus(RetrievedText(m_settings.host, dateLine));
        SetState(CodesState::Ready);
        return;
    }
    // Nothing was written either way.
    SetState(CodesState::NotReady);
    SetStatus(result == RetrieveResult::WriteFailed
                  ? CannotWriteWorkingCopyText(m_workingCopy)
                  : std::string(failureText) + "\r\n" + FailureReasonText(failure));
}

void CLoaderCore::OpenCodesFile(const std::string& chosenPath) {
    SetStatus(chosenPath);
    // The window becomes ready only when the file was read and the working
    // copy written; otherwise it stays as it was and the failure is named.
    std::string codes;
    switch (::OpenCodesFile(chosenPath, m_workingCopy, codes)) {
        case CopyResult::Ok:
            SetStatus(FileReadText(DateLineOf(codes)));
            SetState(CodesState::Ready);
            return;
        case CopyResult::ReadFailed:
            SetStatus(CannotReadCodesFileText(chosenPath));
            return;
        case CopyResult::WriteFailed:
            SetStatus(CannotWriteWorkingCopyText(m_workingCopy));
            return;
    }
}

void CLoaderCore::SaveCodesFile(const std::string& chosenPath) {
    std::string codes;
    switch (CopyCodesFile(m_workingCopy, chosenPath, codes)) {
        case CopyResult::Ok:
            SetStatus(SavedCodesText(chosenPath));
            return;
        case CopyResult::ReadFailed:
            SetStatus(CannotReadWorkingCopyText(m_workingCopy));
            return;
        case CopyResult::WriteFailed:
            SetStatus(CannotSaveCodesText(chosenPath));
            return;
    }
}

void CLoaderCore::Options(const OptionsDialog& dialog) {
    // Whether a retrieval follows depends on the state before the dialog ran.
    const bool retrieve = m_nCodesState != CodesState::Ready;
    const std::optional<Settings> edited =
        dialog(m_settings, [this](const Settings& confirmed) { SaveSettingsOrWarn(confirmed); });
    if (!edited) {
        return;
    }
    m_settings = *edited;
    if (m_settings.transferPath == AUTODETECT_FAILED) {
        ShowMissingUtility();
    }
    if (retrieve) {
        RetrieveAndShow(CANNOT_RETRIEVE_FROM_WWW_TEXT);
    }
}

void CLoaderCore::UpdateBuildingCodes() {
    if (m_nCodesState != CodesState::Ready) {
        return;
    }
    const BusyWindow busy(m_view);
    // The update's own texts are shown, not kept: what comes back after a
    // successful update is the last text of another workflow.
    std::string unnamed;
    switch (
        WriteUpdateBatch(m_env.batchFile, m_settings.transferPath, m_env.programFolder, unnamed)) {
        case BatchResult::Written:
            break;
        case BatchResult::NoShortName:
            m_view.SetStatusText(NoShortNameText(unnamed));
            return;
        case BatchResult::WriteFailed:
            m_view.SetStatusText(CANNOT_WRITE_UPDATE_BATCH_TEXT);
            return;
    }
    m_view.SetStatusText(UPDATING_TEXT);
    // Waits for the transfer utility to end. A failure is said; the working
    // copy is still good, so the state stays and the user may try again.
    const int exitStatus = m_env.runBatchFile(m_env.batchFile);
    m_view.SetStatusText(exitStatus == 0 ? m_statusText : UpdateFailedText(exitStatus));
}
