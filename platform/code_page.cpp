#include "platform/code_page.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#include <vector>
#endif

namespace platform {

#ifdef _WIN32

bool ToOemText(std::string_view text, std::string& oem) {
    oem.clear();
    if (text.empty()) {
        return true;
    }
    if (text.size() > INT_MAX) {
        return false;
    }
    const int size = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (wideLength <= 0) {
        return false;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), wideLength);
    BOOL lost = FALSE;
    const int length = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                           nullptr, 0, nullptr, &lost);
    if (length <= 0 || lost) {
        return false;
    }
    oem.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, oem.data(), length,
                        nullptr, &lost);
    return !lost;
}

std::string ShortPathOf(const std::string& path) {
    // The size asked for includes the terminating NUL; the result does not.
    const DWORD size = GetShortPathNameA(path.c_str(), nullptr, 0);
    std::vector<char> buffer(size + 1);
    const DWORD length = size == 0 ? 0 : GetShortPathNameA(path.c_str(), buffer.data(), size);
    return length == 0 || length >= size ? path : std::string(buffer.data(), length);
}

#else

bool ToOemText(std::string_view text, std::string& oem) {
    oem.assign(text);
    return true;
}

std::string ShortPathOf(const std::string& path) {
    return path;
}

#endif

}  // namespace platform
