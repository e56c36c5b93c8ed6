// Modal dialogs from resource templates, with message maps: tables from a
// window message, or a command id, to a member handler. OK and Cancel end the
// dialog unless an entry takes them; any other message no handler takes gets
// the dialog's default processing.
#pragma once

#include <windows.h>

#include <functional>
#include <type_traits>
#include <vector>

class CDialog;

struct MessageMapEntry {
    UINT message;    // WM_... value
    WPARAM command;  // WM_COMMAND only: the id with its notification code
    // Runs the handler; false when it leaves the message to default processing.
    std::function<bool(CDialog& dialog, WPARAM wParam, LPARAM lParam, LRESULT& result)> handle;
};

// A dialog class declares its map with these two lines, and its .cpp defines
// the map, one line an entry:
//   static const MessageMap kMessageMap;
//   const MessageMap& GetMessageMap() const override { return kMessageMap; }
using MessageMap = std::vector<MessageMapEntry>;

// An entry whose handler is a member of one of the signatures the program
// uses: one without a result takes its message; one that returns bool says
// whether it did; one that returns an icon gives it as the message's result.
template <class C, class R, class... A>
MessageMapEntry Entry(UINT message, WPARAM command, R (C::*handler)(A...)) {
    return {message, command,
            [handler](CDialog& dialog, [[maybe_unused]] WPARAM wParam,
                      [[maybe_unused]] LPARAM lParam, [[maybe_unused]] LRESULT& result) {
                C& self = static_cast<C&>(dialog);
                if constexpr (sizeof...(A) == 2) {
                    return (self.*handler)(static_cast<UINT>(wParam), lParam);
                } else if constexpr (std::is_same_v<R, bool>) {
                    return (self.*handler)();
                } else if constexpr (std::is_same_v<R, HICON>) {
                    result = reinterpret_cast<LRESULT>((self.*handler)());
                    return true;
                } else {
                    (self.*handler)();
                    return true;
                }
            }};
}

// A window message, a menu command and a push button's click.
template <class F>
MessageMapEntry OnMessage(UINT message, F handler) {
    return Entry(message, 0, handler);
}
template <class F>
MessageMapEntry OnCommand(UINT id, F handler) {
    return Entry(WM_COMMAND, MAKEWPARAM(id, 0), handler);
}
template <class F>
MessageMapEntry OnClicked(UINT id, F handler) {
    return Entry(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), handler);
}

class CDialog {
public:
    explicit CDialog(UINT templateId) : m_nIDTemplate(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog, owned by `owner`, until it ends; returns its result.
    INT_PTR DoModal(HWND owner = nullptr);
    void OnOK() { ::EndDialog(m_hWnd, IDOK); }
    void OnCancel() { ::EndDialog(m_hWnd, IDCANCEL); }

    HWND m_hWnd = nullptr;

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual const MessageMap& GetMessageMap() const;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
};
