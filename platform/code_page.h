#pragma once

// Windows keeps 8-bit text in two code pages: the program's strings are in
// the system's ANSI code page, while the command interpreter reads a batch
// file in the console's OEM code page. Elsewhere there is only one.

#include <string>
#include <string_view>

namespace platform {

// `text` (ANSI) in the OEM code page. False when a character of it has no
// OEM form (no look-alike is put in its place). Elsewhere than on Windows the
// text stays as it is.
bool ToOemText(std::string_view text, std::string& oem);

// The short (8.3) form of the existing file or folder `path`; `path` itself
// when the system gives none.
std::string ShortPathOf(const std::string& path);

}  // namespace platform
