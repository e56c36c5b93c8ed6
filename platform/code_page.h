#pragma once

// Windows keeps 8-bit text in two code pages: the program's strings are in
// the system's ANSI code page, while the command interpreter reads a batch
// file in the console's OEM code page. Elsewhere there is only one.

#include <string>
#include <string_view>

namespace platform {

// True for the code pages that Windows converts text into only when asked
// with no flags and no report of characters it could not convert: UTF-8 and
// UTF-7, the symbol code page, the ISO-2022 and HZ code pages, GB18030 and
// the ISCII code pages. A conversion into one of them finds a lost character
// by converting the result back.
bool ConvertsOnlyWithoutFlags(unsigned codePage);

// `text` (ANSI) in the OEM code page. False when a character of it has no
// OEM form (no look-alike is put in its place). Elsewhere than on Windows the
// text stays as it is.
bool ToOemText(std::string_view text, std::string& oem);

#ifdef _WIN32
// `text` from the code page `from` into the code page `to`, as ToOemText.
bool ConvertText(std::string_view text, unsigned from, unsigned to, std::string& converted);
#endif

// The short (8.3) form of the existing file or folder `path`; `path` itself
// when the system gives none.
std::string ShortPathOf(const std::string& path);

}  // namespace platform
