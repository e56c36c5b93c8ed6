// Message maps: declarative tables from a window message, or a command id with
// its notification code, to a plain member handler. The tables are built from
// the entry templates below; the window procedure only looks the message up.
#pragma once

#include <windows.h>

#include <cstddef>
#include <type_traits>

class CCmdTarget;

struct MessageMapEntry {
    UINT message;  // WM_... value
    UINT id;       // command or control id; 0 for plain window messages
    UINT code;     // notification code of a WM_COMMAND (0 for menu commands)
    LRESULT (*invoke)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;  // consulted when no entry here matches
    const MessageMapEntry* entries;
    std::size_t count;
};

// Returns the first entry of the map chain that handles the message, or null.
const MessageMapEntry* FindMessageEntry(const MessageMap& map, UINT message, WPARAM wParam);

namespace framework_detail {

template <class F>
struct HandlerTraits;
template <class C, class R, class... A>
struct HandlerTraits<R (C::*)(A...)> {
    using Class = C;
};

template <class>
inline constexpr bool kUnsupportedHandler = false;

// Calls a member handler with the arguments its signature asks for. The
// handler signatures used by the program are the only ones supported.
template <auto Handler>
LRESULT Invoke(CCmdTarget& target, WPARAM wParam, LPARAM lParam) {
    using Class = typename HandlerTraits<decltype(Handler)>::Class;
    using Signature = decltype(Handler);
    Class& object = static_cast<Class&>(target);
    if constexpr (std::is_same_v<Signature, void (Class::*)()>) {
        (object.*Handler)();
        return 0;
    } else if constexpr (std::is_same_v<Signature, void (Class::*)(UINT, LPARAM)>) {
        (object.*Handler)(static_cast<UINT>(wParam), lParam);
        return 0;
    } else if constexpr (std::is_same_v<Signature, HICON (Class::*)()>) {
        return reinterpret_cast<LRESULT>((object.*Handler)());
    } else {
        static_assert(kUnsupportedHandler<Signature>, "unsupported handler signature");
        return 0;
    }
}

}  // namespace framework_detail

// A window message handled by a member: OnMessage<WM_PAINT, &CMyDlg::OnPaint>()
template <UINT Message, auto Handler>
constexpr MessageMapEntry OnMessage() {
    return {Message, 0, 0, &framework_detail::Invoke<Handler>};
}

// A menu command: OnCommand<ID_FILE_EXIT, &CDialog::OnCancel>()
template <UINT Id, auto Handler>
constexpr MessageMapEntry OnCommand() {
    return {WM_COMMAND, Id, 0, &framework_detail::Invoke<Handler>};
}

// A push button's click: OnClicked<IDC_UPDATE, &CMyDlg::OnUpdate>()
template <UINT Id, auto Handler>
constexpr MessageMapEntry OnClicked() {
    return {WM_COMMAND, Id, BN_CLICKED, &framework_detail::Invoke<Handler>};
}

// In a class: declares that it has a message map. The table is defined in the
// class's .cpp file, one line per entry, followed by the map itself:
//   const MessageMapEntry CMyDlg::kMessageEntries[] = {...};
//   const MessageMap CMyDlg::kMessageMap =
//       MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);
// Members declared after it are private.
#define DECLARE_MESSAGE_MAP()                          \
public:                                                \
    static const MessageMap kMessageMap;               \
    const MessageMap& GetMessageMap() const override { \
        return kMessageMap;                            \
    }                                                  \
                                                       \
private:                                               \
    static const MessageMapEntry kMessageEntries[];

template <std::size_t N>
constexpr MessageMap MakeMessageMap(const MessageMap* base, const MessageMapEntry (&entries)[N]) {
    return {base, entries, N};
}

// Everything that has a message map: windows and the application object.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    virtual const MessageMap& GetMessageMap() const;

    // Runs the handler for the message, if any. Returns false when no entry
    // matched or the handler asked for default processing with Default().
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    // Called by a handler that wants the system's default processing too.
    void Default() { m_bDefaultRequested = true; }

private:
    bool m_bDefaultRequested = false;
};
