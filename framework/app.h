// The application object, whose InitInstance the entry point calls once, and
// the two common dialogs the program uses: the message box and the file box.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

class CDialog;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();

    // The program's own start-up; the process ends when it returns.
    virtual BOOL InitInstance() = 0;

    CDialog* m_pMainWnd = nullptr;
};

// Starts the socket library for the life of the process. False on failure.
BOOL AfxSocketInit();

// Shows `text` (UTF-8), or the string resource `stringId`, in a message box
// with the program's name as caption, owned by the window the user works in
// (the main window when none is active). Returns the button pressed.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

enum class FileDialog {
    Open,  // an existing file (OFN_FILEMUSTEXIST)
    Save,  // a file to write; replacing one is confirmed (OFN_OVERWRITEPROMPT)
};

// Runs the common open or save dialog, owned by `owner`, offering `fileName`
// and appending `defaultExtension` to a name typed without one: the full path
// chosen (UTF-8, so that any file the user can see can be chosen), or
// nothing. The current folder, which the dialog moves, is restored.
std::optional<std::string> ChooseFile(HWND owner, FileDialog kind, const char* defaultExtension,
                                      const char* fileName);

// The entry point proper: runs the application object's InitInstance.
int AfxWinMain();
