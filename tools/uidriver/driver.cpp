#include "tools/uidriver/driver.h"

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "res/resource.h"

namespace uidriver {
namespace {

constexpr int kMaxText = 65536;
// Caption of Norvale's main window.
const char kMainCaption[] = "Tessaly";
constexpr int kIconSize = 32;
// Mean difference per colour channel below which two images count as equal.
constexpr long kIconMatchThreshold = 24;

struct FindRequest {
    const std::string* caption;
    DWORD processId;
    HWND found;
};

constexpr int kMaxCaption = 256;

BOOL CALLBACK FindWindowProc(HWND window, LPARAM lParam) {
    auto* request = reinterpret_cast<FindRequest*>(lParam);
    if (!::IsWindowVisible(window)) {
        return TRUE;
    }
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (request->processId != 0 && owner != request->processId) {
        return TRUE;
    }
    // The caption as the system keeps it: asking the window would wait for a
    // program that is busy.
    char caption[kMaxCaption] = {};
    ::GetWindowTextA(window, caption, kMaxCaption);
    if (*request->caption != caption) {
        return TRUE;
    }
    request->found = window;
    return FALSE;
}

// A 32-bit top-down device-independent copy of a device context's pixels.
std::vector<std::uint32_t> ReadPixels(HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) *
                                      static_cast<std::size_t>(height));
    ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    return pixels;
}

// Screen pixels of a window's rectangle, clipped to `maxWidth` x `maxHeight`.
std::vector<std::uint32_t> CaptureScreen(const RECT& rect, int width, int height) {
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);
    std::vector<std::uint32_t> pixels = ReadPixels(memory, bitmap, width, height);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

std::vector<std::uint32_t> RenderIcon(HICON icon, std::uint32_t background, int size) {
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    const COLORREF fill =
        RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
    HBRUSH brush = ::CreateSolidBrush(fill);
    RECT all{0, 0, size, size};
    ::FillRect(memory, &all, brush);
    ::DeleteObject(brush);
    ::DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    ::SelectObject(memory, old);
    std::vector<std::uint32_t> pixels = ReadPixels(memory, bitmap, size, size);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

long MeanChannelDifference(const std::vector<std::uint32_t>& a,
                           const std::vector<std::uint32_t>& b) {
    long total = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            total += std::labs(static_cast<long>((a[i] >> shift) & 0xFF) -
                               static_cast<long>((b[i] >> shift) & 0xFF));
        }
    }
    return a.empty() ? 0 : total / static_cast<long>(a.size() * 3);
}

void PutLittleEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xFF));
    }
}

// The common file dialogs' file-name box: an edit control inside a combo box,
// both with this id.
constexpr int kFileNameBoxId = 1148;

struct OwnedRequest {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedProc(HWND window, LPARAM lParam) {
    auto* request = reinterpret_cast<OwnedRequest*>(lParam);
    if (::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == request->owner) {
        request->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindFileNameEditProc(HWND window, LPARAM lParam) {
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (::GetDlgCtrlID(window) == kFileNameBoxId && std::string(className) == "Edit") {
        *reinterpret_cast<HWND*>(lParam) = window;
        return FALSE;
    }
    return TRUE;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string GetText(HWND window) {
    std::string text(kMaxText, '\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXT, kMaxText, reinterpret_cast<LPARAM>(&text[0]),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
        return std::string();
    }
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::string GetControlText(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    return control != nullptr ? GetText(control) : std::string();
}

bool SetControlText(HWND dialog, int controlId, const std::string& text) {
    HWND control = ::GetDlgItem(dialog, controlId);
    DWORD_PTR result = 0;
    return control != nullptr &&
           ::SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

HWND FindTopWindow(const std::string& caption, DWORD processId) {
    FindRequest request{&caption, processId, nullptr};
    ::EnumWindows(&FindWindowProc, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

HWND WaitForWindow(const std::string& caption, DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    PollUntil(timeoutMs, [&] {
        found = FindTopWindow(caption, processId);
        return found != nullptr;
    });
    return found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return PollUntil(timeoutMs, [&] { return !::IsWindow(window); });
}

bool WaitForText(HWND dialog, int controlId, const std::string& text, DWORD timeoutMs) {
    return PollUntil(timeoutMs, [&] { return GetControlText(dialog, controlId) == text; });
}

bool PostMenuCommand(HWND window, UINT commandId) {
    return ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0) != 0;
}

bool PostSysCommand(HWND window, UINT commandId) {
    return ::PostMessageA(window, WM_SYSCOMMAND, commandId, 0) != 0;
}

bool ClickButton(HWND dialog, int controlId) {
    HWND button = ::GetDlgItem(dialog, controlId);
    if (button == nullptr) {
        return false;
    }
    return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                          reinterpret_cast<LPARAM>(button)) != 0;
}

bool PostMouseClick(HWND dialog, int controlId, int times) {
    HWND button = ::GetDlgItem(dialog, controlId);
    const LPARAM inside = MAKELPARAM(1, 1);
    for (int click = 0; click < times; ++click) {
        if (button == nullptr || !::PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside) ||
            !::PostMessageA(button, WM_LBUTTONUP, 0, inside)) {
            return false;
        }
    }
    return true;
}

bool ClickButtonAndWait(HWND dialog, int controlId, DWORD timeoutMs) {
    HWND button = ::GetDlgItem(dialog, controlId);
    DWORD_PTR result = 0;
    return button != nullptr &&
           ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button), SMTO_NORMAL, timeoutMs,
                                 &result) != 0;
}

std::string AnswerMessageBox(HWND owner, int button) {
    // A message box shows its text in a static control with this id.
    constexpr int kMessageTextId = 0xFFFF;
    HWND box = WaitForOwnedWindow(owner);
    const std::string text = GetControlText(box, kMessageTextId);
    return ClickButton(box, button) ? text : std::string();
}

HWND WaitForOwnedWindow(HWND owner, DWORD timeoutMs) {
    if (owner == nullptr) {
        return nullptr;
    }
    OwnedRequest request{owner, nullptr};
    PollUntil(timeoutMs, [&] {
        ::EnumWindows(&FindOwnedProc, reinterpret_cast<LPARAM>(&request));
        return request.found != nullptr;
    });
    return request.found;
}

bool WaitUntilIdle(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool ChooseFile(HWND fileDialog, const std::string& path) {
    HWND edit = nullptr;
    ::EnumChildWindows(fileDialog, &FindFileNameEditProc, reinterpret_cast<LPARAM>(&edit));
    DWORD_PTR result = 0;
    if (edit == nullptr ||
        !::SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
        return false;
    }
    return ClickButton(fileDialog, IDOK);
}

bool WaitForDrawnText(HWND control, DWORD timeoutMs) {
    // Text is drawn when enough pixels differ from the background, which the
    // top-left corner shows.
    constexpr std::size_t kMinimumInk = 20;
    RECT rect;
    if (!::GetWindowRect(control, &rect)) {
        return false;
    }
    return PollUntil(timeoutMs, [&] {
        const std::vector<std::uint32_t> seen =
            CaptureScreen(rect, rect.right - rect.left, rect.bottom - rect.top);
        const auto ink = std::count_if(seen.begin(), seen.end(),
                                       [&](std::uint32_t pixel) { return pixel != seen.front(); });
        return !seen.empty() && static_cast<std::size_t>(ink) >= kMinimumInk;
    });
}

int IdentifyIcon(HWND control, const std::string& modulePath, const std::vector<int>& iconIds) {
    RECT rect;
    if (!::GetWindowRect(control, &rect)) {
        return -1;
    }
    const std::vector<std::uint32_t> seen = CaptureScreen(rect, kIconSize, kIconSize);
    HMODULE module = ::LoadLibraryExA(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return -1;
    }
    int best = -1;
    long bestDifference = kIconMatchThreshold;
    for (std::size_t i = 0; i < iconIds.size(); ++i) {
        HANDLE icon = ::LoadImageA(module, MAKEINTRESOURCEA(iconIds[i]), IMAGE_ICON, kIconSize,
                                   kIconSize, LR_DEFAULTCOLOR);
        if (icon == nullptr) {
            continue;
        }
        // The icons' corners are transparent, so the control's corner pixel is
        // the background they are drawn on.
        const std::vector<std::uint32_t> expected =
            RenderIcon(static_cast<HICON>(icon), seen.front(), kIconSize);
        ::DestroyIcon(static_cast<HICON>(icon));
        const long difference = MeanChannelDifference(seen, expected);
        if (difference < bestDifference) {
            bestDifference = difference;
            best = static_cast<int>(i);
        }
    }
    ::FreeLibrary(module);
    return best;
}

bool SaveScreenshot(HWND window, const std::string& bmpPath) {
    RECT rect;
    if (!::GetWindowRect(window, &rect)) {
        return false;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const std::vector<std::uint32_t> pixels = CaptureScreen(rect, width, height);

    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
    constexpr std::uint32_t kHeaderBytes = 14 + 40;
    std::vector<unsigned char> out;
    out.push_back('B');
    out.push_back('M');
    PutLittleEndian(out, kHeaderBytes + imageBytes, 4);
    PutLittleEndian(out, 0, 4);
    PutLittleEndian(out, kHeaderBytes, 4);
    PutLittleEndian(out, 40, 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(width), 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(height), 4);
    PutLittleEndian(out, 1, 2);
    PutLittleEndian(out, 24, 2);
    PutLittleEndian(out, BI_RGB, 4);
    PutLittleEndian(out, imageBytes, 4);
    for (int unused = 0; unused < 4; ++unused) {  // resolution and palette fields
        PutLittleEndian(out, 0, 4);
    }
    for (int y = height - 1; y >= 0; --y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            PutLittleEndian(out, pixels[row + static_cast<std::size_t>(x)] & 0xFFFFFF, 3);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < rowBytes; ++pad) {
            out.push_back(0);
        }
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(bmpPath.c_str(), "wb"));
    return file != nullptr && std::fwrite(out.data(), 1, out.size(), file.get()) == out.size();
}

std::string ToWindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string windows = "Z:" + path;
    for (char& c : windows) {
        if (c == '/') {
            c = '\\';
        }
    }
    return windows;
}

bool MakeFolderWithCopy(const std::string& folder, const std::string& file,
                        const std::string& name) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder, error);
    return std::filesystem::copy_file(file, folder + name, error);
}

Program::Program(const std::string& exe, const std::string& folder) : m_folder(folder) {
    MakeFolderWithCopy(m_folder, exe, "Norvale.exe");
    std::error_code error;
    std::filesystem::create_directories(m_folder + "temp", error);
}

Program::~Program() {
    if (m_process.hProcess == nullptr) {
        return;
    }
    if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, kDefaultTimeoutMs);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

bool Program::Start(DWORD timeoutMs) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    const std::string exe = m_folder + "Norvale.exe";
    std::string commandLine = "\"" + exe + "\"";
    if (!::CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          m_folder.c_str(), &startup, &m_process)) {
        return false;
    }
    m_window = WaitForWindow(kMainCaption, m_process.dwProcessId, timeoutMs);
    return m_window != nullptr;
}

std::string Program::Status() const {
    return GetControlText(m_window, IDC_STATUS);
}

bool Program::WaitForStatus(const std::string& text) const {
    return WaitForText(m_window, IDC_STATUS, text);
}

bool Program::WaitForState(const std::string& text, int iconId) const {
    return WaitForStatus(text) && WaitForStateIcon(iconId);
}

bool Program::WaitForStateIcon(int iconId) const {
    const std::vector<int> icons{IDI_NOT_READY, IDI_READY};
    HWND control = ::GetDlgItem(m_window, IDC_STATE_ICON);
    return PollUntil(kDefaultTimeoutMs, [&] {
        const int index = IdentifyIcon(control, m_folder + "Norvale.exe", icons);
        return index >= 0 && icons[static_cast<std::size_t>(index)] == iconId;
    });
}

bool Program::Command(UINT commandId) const {
    return PostMenuCommand(m_window, commandId);
}

HWND Program::OpenDialog(UINT commandId) const {
    return Command(commandId) ? WaitForOwnedWindow(m_window) : nullptr;
}

HWND Program::ChooseFile(UINT commandId, const std::string& path) const {
    HWND dialog = OpenDialog(commandId);
    return dialog != nullptr && uidriver::ChooseFile(dialog, path) ? dialog : nullptr;
}

bool Program::WaitUntilDone(HWND dialog) const {
    return dialog != nullptr && WaitForWindowGone(dialog) && WaitUntilIdle(m_window);
}

bool Program::CloseDialog(HWND dialog, int button) const {
    return ClickButton(dialog, button) && WaitUntilDone(dialog);
}

std::string Program::CloseDialogAnswering(HWND dialog, int button, int answer) const {
    if (dialog == nullptr || !ClickButton(dialog, button)) {
        return std::string();
    }
    const std::string text = AnswerMessageBox(dialog, answer);
    return WaitUntilDone(dialog) ? text : std::string();
}

bool Program::FillDialog(HWND dialog, const ControlTexts& texts, int button) const {
    for (const auto& [controlId, text] : texts) {
        if (!SetControlText(dialog, controlId, text)) {
            return false;
        }
    }
    return CloseDialog(dialog, button);
}

DWORD Program::WaitForExitCode() const {
    DWORD exitCode = STILL_ACTIVE;
    if (::WaitForSingleObject(m_process.hProcess, kDefaultTimeoutMs) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(m_process.hProcess, &exitCode)) {
        return STILL_ACTIVE;
    }
    return exitCode;
}

}  // namespace uidriver
