#pragma once

// Text files handled the same way on every operating system.
//
// The program's files are DOS text files. Rather than relying on a C runtime's
// text mode (which exists only on Windows), the conversion is done here over
// binary I/O, so every platform reads and writes exactly the bytes Windows
// would:
//   writing: each LF becomes CR LF, every other byte is written unchanged;
//   reading: CR LF becomes LF, a CR not followed by LF is kept, and a byte
//            0x1A (Ctrl-Z) ends the file.

#include <string>
#include <string_view>

namespace platform {

// The two bytes of a DOS line end, and the byte that ends a text file on
// reading.
inline constexpr char CR = '\r';
inline constexpr char LF = '\n';
inline constexpr char END_OF_TEXT_MARK = '\x1A';

// Converts in-memory text to its on-disk form (LF -> CR LF).
std::string ToDiskText(std::string_view text);

// Converts on-disk bytes to in-memory text (CR LF -> LF, stop at Ctrl-Z).
std::string FromDiskText(std::string_view bytes);

// Only the line-end half of FromDiskText: the CR of every CR LF is dropped,
// every other byte (a lone CR, a Ctrl-Z) stays.
std::string JoinCrLf(std::string_view bytes);

// Reads the whole file at `path` as raw bytes. False when it cannot be opened
// or read; `bytes` is then empty.
bool ReadBinaryFile(const std::string& path, std::string& bytes);

// Reads the whole file at `path` in text mode. False when it cannot be opened
// or read; `text` is then empty.
bool ReadTextFile(const std::string& path, std::string& text);

// Reads the file at `path` in text mode as lines: every line of `text` is
// followed by one LF, and the end of the file adds nothing ("A LF B" and
// "A LF B LF" both give "A LF B LF"; an empty file gives an empty text).
// False when the file cannot be read; `text` is then empty.
bool ReadTextLines(const std::string& path, std::string& text);

// Replaces the file at `path` with `text` in text mode, safely (see
// ReplaceFileSafely).
bool WriteTextFileSafely(const std::string& path, std::string_view text);

}  // namespace platform
