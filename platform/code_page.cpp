#include "platform/code_page.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#include <vector>
#endif

namespace platform {

namespace {

// The code pages WideCharToMultiByte refuses flags for (ERROR_INVALID_FLAGS),
// and for which it takes no used-default flag (ERROR_INVALID_PARAMETER).
constexpr unsigned SYMBOL = 42;
constexpr unsigned ISO_2022_FIRST = 50220;
constexpr unsigned ISO_2022_LAST = 50229;
constexpr unsigned HZ_GB2312 = 52936;
constexpr unsigned GB18030 = 54936;
constexpr unsigned ISCII_FIRST = 57002;
constexpr unsigned ISCII_LAST = 57011;
constexpr unsigned UTF7 = 65000;
constexpr unsigned UTF8 = 65001;

}  // namespace

bool ConvertsOnlyWithoutFlags(unsigned codePage) {
    return codePage == SYMBOL || (codePage >= ISO_2022_FIRST && codePage <= ISO_2022_LAST) ||
           codePage == HZ_GB2312 || codePage == GB18030 ||
           (codePage >= ISCII_FIRST && codePage <= ISCII_LAST) || codePage == UTF7 ||
           codePage == UTF8;
}

#ifdef _WIN32

namespace {

// `text` in UTF-16; empty when it cannot be converted.
std::wstring Widen(std::string_view text, unsigned codePage) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

bool ConvertText(std::string_view text, unsigned from, unsigned to, std::string& converted) {
    converted.clear();
    if (text.empty()) {
        return true;
    }
    if (text.size() > INT_MAX) {
        return false;
    }
    const std::wstring wide = Widen(text, from);
    if (wide.empty()) {
        return false;
    }
    // No look-alike: where the code page allows it, a character without a
    // form of its own is reported; elsewhere the text is converted back and
    // must come back as it was.
    const bool plain = ConvertsOnlyWithoutFlags(to);
    const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* const reportLost = plain ? nullptr : &lost;
    const int wideLength = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(to, flags, wide.data(), wideLength, nullptr, 0, nullptr, reportLost);
    if (length <= 0 || lost) {
        return false;
    }
    converted.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(to, flags, wide.data(), wideLength, converted.data(), length, nullptr,
                        reportLost);
    if (lost || (plain && Widen(converted, to) != wide)) {
        converted.clear();
        return false;
    }
    return true;
}

bool ToOemText(std::string_view text, std::string& oem) {
    return ConvertText(text, UTF8, GetOEMCP(), oem);
}

bool ToAnsiText(std::string_view text, std::string& ansi) {
    return ConvertText(text, UTF8, GetACP(), ansi);
}

std::string TextFromAnsi(std::string_view ansi) {
    return TextFromWide(Widen(ansi, GetACP()));
}

std::wstring WideFromText(std::string_view text) {
    return Widen(text, UTF8);
}

std::string TextFromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) {
        return {};
    }
    const int wideLength = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(UTF8, 0, wide.data(), wideLength, text.data(), length, nullptr, nullptr);
    return text;
}

std::string ShortPathOf(const std::string& path) {
    const std::wstring wide = WideFromText(path);
    // The size asked for includes the terminating NUL; the result does not.
    const DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
    std::vector<wchar_t> buffer(size + 1);
    const DWORD length = size == 0 ? 0 : GetShortPathNameW(wide.c_str(), buffer.data(), size);
    return length == 0 || length >= size ? path : TextFromWide({buffer.data(), length});
}

#else

bool ToOemText(std::string_view text, std::string& oem) {
    oem.assign(text);
    return true;
}

bool ToAnsiText(std::string_view text, std::string& ansi) {
    ansi.assign(text);
    return true;
}

std::string TextFromAnsi(std::string_view ansi) {
    return std::string(ansi);
}

std::string ShortPathOf(const std::string& path) {
    return path;
}

#endif

}  // namespace platform
