#include "workflow/loader_core.h"

#include <utility>

#include "codes/codes_file.h"
#include "codes/working_copy.h"
#include "workflow/status_texts.h"

CLoaderCore::CLoaderCore(LoaderView& view, LoaderEnvironment environment)
    : m_view(view),
      m_env(std::move(environment)),
      m_workingCopy(WorkingCopyPathIn(m_env.programFolder)) {}

void CLoaderCore::SetStatus(const std::string& text) {
    m_statusText = text;
    m_view.SetStatusText(text);
}

// The state and its icon change together, except where a workflow only
// marks the codes not ready while the stop sign already shows.
void CLoaderCore::SetState(std::int32_t state) {
    m_view.ShowStateIcon(state == kReady ? StateIcon::Ready : StateIcon::NotReady);
    m_nCodesState = state;
}

void CLoaderCore::ShowMissingUtility() {
    m_view.ShowStateIcon(StateIcon::NotReady);
    SetStatus(MISSING_UTILITY_TEXT);
    m_nCodesState = kNotReady;
}

bool CLoaderCore::StartUp() {
    SetState(kNotReady);
    LoadSettings(m_env.settings, m_env.settingsFile);
    m_nCodesState = kReady;
    bool saved = true;
    if (m_env.settings.transferPath == AUTODETECT_FAILED) {
        const std::string detected = DetectTransferUtility(m_env.utilityLocations);
        if (detected == AUTODETECT_FAILED) {
            ShowMissingUtility();
        } else {
            m_env.settings.transferPath = detected;
            saved = SaveSettings(m_env.settings, m_env.settingsFile);
        }
    }
    // The transfer utility is known: the fetch is due, and says so at once.
    if (m_nCodesState == kReady) {
        SetStatus(RETRIEVING_TEXT);
        m_nCodesState = kNotReady;
        m_startUpFetchDue = true;
    }
    return saved;
}

void CLoaderCore::RetrieveAtStartUp() {
    if (!m_startUpFetchDue) {
        return;
    }
    m_startUpFetchDue = false;
    RetrieveAndShow(CANNOT_RETRIEVE_FROM_WWW_TEXT);
}

void CLoaderCore::RetrieveFromWeb() {
    m_view.ShowStateIcon(StateIcon::NotReady);
    SetStatus(RETRIEVING_TEXT);
    m_nCodesState = kNotReady;
    RetrieveAndShow(CANNOT_RETRIEVE_TEXT);
}

void CLoaderCore::RetrieveAndShow(const char* failureText) {
    std::string dateLine;
    RetrieveFailure failure;
    const RetrieveResult result = RetrieveCodes(m_env.settings.host, m_env.settings.codesPath,
                                                m_env.fetch, m_workingCopy, dateLine, failure);
    if (result == RetrieveResult::Success) {
        SetStatus(RetrievedText(m_env.settings.host, dateLine));
        SetState(kReady);
        return;
    }
    // Nothing was written either way.
    m_view.ShowStateIcon(StateIcon::NotReady);
    SetStatus(result == RetrieveResult::WriteFailed
                  ? CannotWriteWorkingCopyText(m_workingCopy)
                  : std::string(failureText) + "\r\n" + FailureReasonText(failure));
    m_nCodesState = kNotReady;
}

void CLoaderCore::OpenCodesFile(const std::string& chosenPath) {
    SetStatus(chosenPath);
    // The window becomes ready only when the file was read and the working
    // copy written; otherwise it stays as it was and the failure is named.
    std::string codes;
    switch (::OpenCodesFile(chosenPath, m_workingCopy, codes)) {
        case CopyResult::Ok:
            SetStatus(FileReadText(DateLineOf(codes)));
            SetState(kReady);
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

void CLoaderCore::OptionsClosed(bool confirmed, bool wasReady) {
    if (!confirmed) {
        return;
    }
    if (m_env.settings.transferPath == AUTODETECT_FAILED) {
        ShowMissingUtility();
    }
    if (!wasReady) {
        RetrieveAndShow(CANNOT_RETRIEVE_FROM_WWW_TEXT);
    }
}

void CLoaderCore::UpdateBuildingCodes() {
    if (m_nCodesState != kReady) {
        return;
    }
    // The update's own texts are shown, not kept: what comes back after a
    // successful update is the last text of another workflow.
    if (!WriteUpdateBatch(m_env.batchFile, m_env.settings.transferPath, m_env.programFolder)) {
        m_view.SetStatusText(CANNOT_WRITE_UPDATE_BATCH_TEXT);
        return;
    }
    m_view.SetStatusText(UPDATING_TEXT);
    // Waits for the transfer utility to end. A failure is said; the working
    // copy is still good, so the state stays and the user may try again.
    const int exitStatus = m_env.runBatchFile(m_env.batchFile);
    m_view.SetStatusText(exitStatus == 0 ? m_statusText : UpdateFailedText(exitStatus));
}
