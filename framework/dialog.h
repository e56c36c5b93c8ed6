// Modal dialogs from resource templates. The dialog procedure only hands each
// message to the message map of the dialog object (and, for commands nobody
// handled, to the application's).
#pragma once

#include "framework/wnd.h"

class CDialog : public CWnd {
public:
    CDialog(UINT templateId, CWnd* pParent) : m_nIDTemplate(templateId), m_pParentWnd(pParent) {}

    // Creates the dialog from its template and runs it until EndDialog.
    INT_PTR DoModal();
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    void OnOK() { EndDialog(IDOK); }
    void OnCancel() { EndDialog(IDCANCEL); }

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Route(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};

// OK and Cancel end the dialog unless a derived map handles them first.
inline const MessageMapEntry CDialog::kMessageEntries[] = {
    OnClicked<IDOK, &CDialog::OnOK>(),
    OnClicked<IDCANCEL, &CDialog::OnCancel>(),
};
inline const MessageMap CDialog::kMessageMap = MakeMessageMap(nullptr, kMessageEntries);
