// Installs a Windows Installer package silently through msi.dll
// (MsiInstallProductW), with a command line read from a file, so that its
// text reaches the installer exactly: msiexec's own command line loses the
// quotes of a value under Wine. For the package test.
//
//   install_package.exe PACKAGE COMMAND_LINE_FILE LOG
//
// The file holds the command line (PROPERTY=VALUE ...) in UTF-8. The exit
// status is the installer's result: 0, or an error such as 1603.

#include <windows.h>
#include <msi.h>

#include <cstdio>
#include <string>

#include "platform/text_file.h"

namespace {

constexpr int EXIT_USAGE = 1;
constexpr int EXIT_UNREADABLE = 2;

// `text`, in the code page `codePage`, as UTF-16; false when it is not valid
// there.
bool ToWide(UINT codePage, const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) {
        return true;
    }
    const int length = static_cast<int>(text.size());
    const int wideLength =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return false;
    }
    wide.assign(static_cast<std::size_t>(wideLength), L'\0');
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                               wideLength) == wideLength;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: install_package PACKAGE COMMAND_LINE_FILE LOG\n", stderr);
        return EXIT_USAGE;
    }
    std::string bytes;
    std::wstring package;
    std::wstring commandLine;
    if (!ToWide(CP_ACP, argv[1], package) || !platform::ReadBinaryFile(argv[2], bytes) ||
        !ToWide(CP_UTF8, bytes, commandLine)) {
        std::fprintf(stderr, "install_package: cannot read %s as UTF-8\n", argv[2]);
        return EXIT_UNREADABLE;
    }
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiEnableLogA(INSTALLLOGMODE_ERROR | INSTALLLOGMODE_INFO, argv[3], 0);
    return static_cast<int>(MsiInstallProductW(package.c_str(), commandLine.c_str()));
}
