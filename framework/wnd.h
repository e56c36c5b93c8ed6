// Thin wrappers over window handles: a window, the icon static control, and
// a paint context for WM_PAINT.
#pragma once

#include <windows.h>

#include <string>

#include "framework/message_map.h"

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}

    HWND m_hWnd = nullptr;

    CWnd GetDlgItem(int id) const { return CWnd(::GetDlgItem(m_hWnd, id)); }
    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    void GetWindowText(std::string& text) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void SetIcon(HICON icon, BOOL big) const;
    void WinHelp(ULONG_PTR data, UINT command = HELP_CONTEXT) const;

    // Default processing of the message being handled.
    void OnDestroy() { Default(); }
    void OnPaint() { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
};

class CStatic : public CWnd {};

// Binds the dialog's control to a wrapper during data exchange.
class CDataExchange {
public:
    CDataExchange(CWnd& dialog, bool saveAndValidate)
        : m_pDlgWnd(&dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// BeginPaint / EndPaint for the lifetime of the object.
class CPaintDC {
public:
    explicit CPaintDC(const CWnd& wnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    void DrawIcon(int x, int y, HICON icon) const { ::DrawIcon(m_hDC, x, y, icon); }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps{};
    HDC m_hDC;
};
