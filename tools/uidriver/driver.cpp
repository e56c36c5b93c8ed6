#include "tools/uidriver/driver.h"

#include "platform/code_page.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <type_traits>

namespace uidriver {
namespace {

constexpr DWORD kSendTimeoutMs = 5000;
constexpr int kIconSize = 32;
// Mean difference per colour channel below which two images count as equal.
constexpr long kIconMatchThreshold = 24;

using Pixels = std::vector<std::uint32_t>;
using Accept = std::function<bool(HWND)>;

// Calls `done` every `intervalMs` until it returns true (then true) or
// `timeoutMs` has passed (then false).
template <class Predicate>
bool PollUntil(DWORD timeoutMs, Predicate done, DWORD intervalMs = 50) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(intervalMs);
    }
    return true;
}

BOOL CALLBACK Offer(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<std::pair<const Accept*, HWND>*>(lParam);
    search->second = (*search->first)(window) ? window : nullptr;
    return search->second == nullptr;
}

// The first top-level window that `accept` takes, or null.
HWND FindTopWindow(const Accept& accept) {
    std::pair<const Accept*, HWND> search{&accept, nullptr};
    ::EnumWindows(&Offer, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

using platform::WideFromText;

// `path` (UTF-8) for std::filesystem.
std::filesystem::path FsPath(const std::string& path) {
    return WideFromText(path);
}

bool SendText(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    const std::wstring wide = WideFromText(text);
    return window != nullptr &&
           ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

// A handle that `free` releases when it goes out of scope.
template <class Handle, class Free>
auto Own(Handle handle, Free free) {
    return std::unique_ptr<std::remove_pointer_t<Handle>, Free>(handle, free);
}

// A `width` x `height` bitmap compatible with the screen, drawn by `draw`
// and read back as 32-bit pixels, top row first.
template <class Draw>
Pixels Render(int width, int height, Draw draw) {
    HDC screen = ::GetDC(nullptr);
    const auto memory = Own(::CreateCompatibleDC(screen), &::DeleteDC);
    const auto bitmap = Own(::CreateCompatibleBitmap(screen, width, height), &::DeleteObject);
    HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    draw(memory.get(), screen);
    ::SelectObject(memory.get(), old);
    ::ReleaseDC(nullptr, screen);
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    Pixels pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    ::GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &info,
                DIB_RGB_COLORS);
    return pixels;
}

// The screen's pixels from the top-left corner of `rect`.
Pixels CaptureScreen(const RECT& rect, int width, int height) {
    return Render(width, height, [&](HDC memory, HDC screen) {
        ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    });
}

// How far the control's pixels on screen are from the icon `iconId` of the
// module at `modulePath`: the mean difference per colour channel.
long DifferenceFromIcon(HWND control, const std::string& modulePath, int iconId) {
    const auto module =
        Own(::LoadLibraryExW(WideFromText(modulePath).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE),
            &::FreeLibrary);
    const auto icon = Own(static_cast<HICON>(::LoadImageA(module.get(), MAKEINTRESOURCEA(iconId),
                                                          IMAGE_ICON, kIconSize, kIconSize, 0)),
                          &::DestroyIcon);
    RECT rect;
    if (module == nullptr || icon == nullptr || !::GetWindowRect(control, &rect)) {
        return kIconMatchThreshold;
    }
    const Pixels seen = CaptureScreen(rect, kIconSize, kIconSize);
    // The icon's corners are transparent, so the control's corner pixel is the
    // background it is drawn on.
    const std::uint32_t corner = seen.front();
    const Pixels expected = Render(kIconSize, kIconSize, [&](HDC memory, HDC) {
        const auto brush =
            Own(::CreateSolidBrush(RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF)),
                &::DeleteObject);
        RECT all{0, 0, kIconSize, kIconSize};
        ::FillRect(memory, &all, brush.get());
        ::DrawIconEx(memory, 0, 0, icon.get(), kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    });
    long total = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            total += std::labs(static_cast<long>((seen[i] >> shift) & 0xFF) -
                               static_cast<long>((expected[i] >> shift) & 0xFF));
        }
    }
    return total / static_cast<long>(seen.size() * 3);
}

}  // namespace

HWND WaitForWindow(const std::string& caption, DWORD processId, DWORD timeoutMs, int controlId,
                   const std::string& prefix) {
    HWND found = nullptr;
    const auto named = [&](HWND window) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        // The caption as the system keeps it: asking the window would wait
        // for a program that is busy.
        char text[256] = {};
        ::GetWindowTextA(window, text, sizeof text);
        return ::IsWindowVisible(window) && (processId == 0 || process == processId) &&
               caption == text;
    };
    const auto shows = [&] {
        found = FindTopWindow(named);
        return found != nullptr &&
               (controlId == 0 || GetControlText(found, controlId).rfind(prefix, 0) == 0);
    };
    return PollUntil(timeoutMs, shows, 1) ? found : nullptr;
}

HWND WaitForOwnedWindow(HWND owner) {
    const auto owned = [&](HWND window) {
        return ::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == owner;
    };
    HWND found = nullptr;
    if (owner != nullptr) {
        PollUntil(kDefaultTimeoutMs, [&] { return (found = FindTopWindow(owned)) != nullptr; });
    }
    return found;
}

bool WaitForWindowGone(HWND window) {
    return PollUntil(kDefaultTimeoutMs, [&] { return !::IsWindow(window); });
}

bool WaitUntilIdle(HWND window) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kDefaultTimeoutMs, &result);
}

bool AnswersAtOnceFor(HWND window, int controlId, DWORD ms) {
    constexpr DWORD kAnswerMs = 1000, kIntervalMs = 100;
    HWND control = ::GetDlgItem(window, controlId);
    char text[256] = {};
    bool answered = control != nullptr;
    const auto unanswered = [&] {
        DWORD_PTR result = 0;
        answered =
            answered &&
            ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &result) &&
            ::SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                  SMTO_ABORTIFHUNG, kAnswerMs, &result);
        return !answered;
    };
    PollUntil(ms, unanswered, kIntervalMs);
    return answered;
}

bool WaitForDrawnText(HWND control) {
    // Text is drawn when enough pixels differ from the background, which the
    // top-left corner shows.
    constexpr std::ptrdiff_t kMinimumInk = 20;
    RECT rect;
    const auto drawn = [&] {
        const Pixels seen = CaptureScreen(rect, rect.right - rect.left, rect.bottom - rect.top);
        return !seen.empty() && std::count_if(seen.begin(), seen.end(), [&](std::uint32_t pixel) {
                                    return pixel != seen.front();
                                }) >= kMinimumInk;
    };
    return ::GetWindowRect(control, &rect) && PollUntil(kDefaultTimeoutMs, drawn);
}

std::string GetControlText(HWND dialog, int controlId) {
    constexpr int kMaxText = 65536;
    HWND control = ::GetDlgItem(dialog, controlId);
    std::wstring text(kMaxText, L'\0');
    DWORD_PTR copied = 0;
    const bool read =
        control != nullptr &&
        ::SendMessageTimeoutW(control, WM_GETTEXT, kMaxText, reinterpret_cast<LPARAM>(&text[0]),
                              SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    text.resize(read ? static_cast<std::size_t>(copied) : 0);
    return platform::TextFromWide(text);
}

bool PostCommand(HWND window, UINT message, UINT commandId) {
    return ::PostMessageA(window, message, commandId, 0);
}

bool ClickButton(HWND dialog, int controlId) {
    HWND button = ::GetDlgItem(dialog, controlId);
    return button != nullptr &&
           ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                          reinterpret_cast<LPARAM>(button));
}

bool PostMouseClick(HWND dialog, int controlId, int times) {
    HWND button = ::GetDlgItem(dialog, controlId);
    const LPARAM inside = MAKELPARAM(1, 1);
    bool posted = button != nullptr;
    for (int click = 0; click < times && posted; ++click) {
        posted = ::PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside) &&
                 ::PostMessageA(button, WM_LBUTTONUP, 0, inside);
    }
    return posted;
}

bool ClickButtonAndWait(HWND dialog, int controlId) {
    HWND button = ::GetDlgItem(dialog, controlId);
    DWORD_PTR result = 0;
    return button != nullptr &&
           ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button), SMTO_NORMAL, kDefaultTimeoutMs,
                                 &result);
}

bool ChooseFile(HWND fileDialog, const std::string& path) {
    // The file-name box of the common file dialogs.
    constexpr int kFileNameBoxId = 1148;
    return SendText(::GetDlgItem(fileDialog, kFileNameBoxId), path) &&
           ClickButton(fileDialog, IDOK);
}

bool MakeFolderWithCopy(const std::string& folder, const std::string& file,
                        const std::string& name) {
    std::error_code error;
    std::filesystem::remove_all(FsPath(folder), error);
    std::filesystem::create_directories(FsPath(folder), error);
    return std::filesystem::copy_file(FsPath(file), FsPath(folder + name), error);
}

std::string ToWindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

Program::Program(const std::string& exe, const std::string& folder) : m_folder(folder) {
    MakeFolderWithCopy(m_folder, exe, "Norvale.exe");
    std::error_code error;
    std::filesystem::create_directories(FsPath(m_folder + "temp"), error);
}

Program::~Program() {
    if (m_process.hProcess != nullptr) {
        ::TerminateProcess(m_process.hProcess, 1);  // fails once the program has ended
        ::WaitForSingleObject(m_process.hProcess, kDefaultTimeoutMs);
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }
}

bool Program::Start(DWORD timeoutMs) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::wstring exe = WideFromText(Path("Norvale.exe")), folder = WideFromText(m_folder);
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &m_process)) {
        return false;
    }
    m_window = WaitForWindow(MAIN_WINDOW_CAPTION, m_process.dwProcessId, timeoutMs);
    return m_window != nullptr;
}

bool Program::WaitForStatus(const std::string& text) const {
    return PollUntil(kDefaultTimeoutMs, [&] { return Status() == text; });
}

bool Program::WaitForStateIcon(int iconId) const {
    // The icon shown is the one of the two that is near enough and nearer.
    const int other = iconId == IDI_READY ? IDI_NOT_READY : IDI_READY;
    HWND control = ::GetDlgItem(m_window, IDC_STATE_ICON);
    return PollUntil(kDefaultTimeoutMs, [&] {
        const long shown = DifferenceFromIcon(control, Path("Norvale.exe"), iconId);
        return shown < kIconMatchThreshold &&
               shown < DifferenceFromIcon(control, Path("Norvale.exe"), other);
    });
}

std::string Program::CloseDialogAnswering(HWND dialog, int button, int answer) const {
    // A message box shows its text in a static control with this id.
    constexpr int kMessageTextId = 0xFFFF;
    if (dialog == nullptr || !ClickButton(dialog, button)) {
        return std::string();
    }
    HWND box = WaitForOwnedWindow(dialog);
    const std::string text = GetControlText(box, kMessageTextId);
    return ClickButton(box, answer) && WaitUntilDone(dialog) ? text : std::string();
}

bool Program::FillDialog(HWND dialog, const ControlTexts& texts, int button) const {
    for (const auto& [controlId, text] : texts) {
        if (!SendText(::GetDlgItem(dialog, controlId), text)) {
            return false;
        }
    }
    return CloseDialog(dialog, button);
}

DWORD Program::WaitForExitCode() const {
    DWORD exitCode = STILL_ACTIVE;
    const bool ended =
        ::WaitForSingleObject(m_process.hProcess, kDefaultTimeoutMs) == WAIT_OBJECT_0;
    return ended && ::GetExitCodeProcess(m_process.hProcess, &exitCode) ? exitCode : STILL_ACTIVE;
}

}  // namespace uidriver
