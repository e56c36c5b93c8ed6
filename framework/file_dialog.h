// The common open and save dialogs: ask the user for one file.
#pragma once

#include <windows.h>
// The OFN_ flags of the dialogs.
#include <commdlg.h>

#include <string>

#include "framework/wnd.h"

class CFileDialog {
public:
    // `openFileDialog`: TRUE for an open dialog, FALSE for save as.
    // `defaultExtension` is appended to a name typed without one;
    // `fileName` is the name offered first; `flags` are the OFN_ flags,
    // passed as they are; `filter` may be null (no file types offered).
    CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName,
                DWORD flags, const char* filter, CWnd* pParentWnd);

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The full path of the chosen file.
    std::string GetPathName() const { return m_fileName; }

private:
    BOOL m_bOpenFileDialog;
    std::string m_defaultExtension;
    std::string m_fileName;
    DWORD m_flags;
    const char* m_filter;
    CWnd* m_pParentWnd;
};
