#pragma once

// Windows keeps 8-bit text in two code pages: the settings are in the
// system's ANSI code page, while the command interpreter reads a batch file
// in the console's OEM code page. Paths, and the texts the program shows, are
// UTF-8 everywhere: a path is put into the system's own form only where it
// reaches a file (platform/file_system.cpp), so that a folder whose name the
// ANSI code page cannot hold is reached as well. Elsewhere than on Windows
// there is only UTF-8.

#include <string>
#include <string_view>

namespace platform {

// True for the code pages that Windows converts text into only when asked
// with no flags and no report of characters it could not convert: UTF-8 and
// UTF-7, the symbol code page, the ISO-2022 and HZ code pages, GB18030 and
// the ISCII code pages. A conversion into one of them finds a lost character
// by converting the result back.
bool ConvertsOnlyWithoutFlags(unsigned codePage);

// `text` (UTF-8) in the OEM code page, or in the ANSI one. False when a
// character of it has no form there (no look-alike is put in its place).
// Elsewhere than on Windows the text stays as it is.
bool ToOemText(std::string_view text, std::string& oem);
bool ToAnsiText(std::string_view text, std::string& ansi);

// `ansi` (a setting, in the ANSI code page) as UTF-8. Elsewhere than on
// Windows as it is.
std::string TextFromAnsi(std::string_view ansi);

#ifdef _WIN32
// `text` from the code page `from` into the code page `to`, as ToOemText.
bool ConvertText(std::string_view text, unsigned from, unsigned to, std::string& converted);

// UTF-8 and the system's own UTF-16, both ways.
std::wstring WideFromText(std::string_view text);
std::string TextFromWide(std::wstring_view wide);
#endif

// The short (8.3) form of the existing file or folder `path`; `path` itself
// when the system gives none (a volume without short names, a missing file).
std::string ShortPathOf(const std::string& path);

}  // namespace platform
