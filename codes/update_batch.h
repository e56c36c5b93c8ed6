#pragma once

// The batch file through which the handheld is loaded: one line that starts
// the transfer utility with its speed switch and the working copy's path.

#include <string>
#include <string_view>

// Name of the batch file, in the folder the program is started in.
inline constexpr char UPDATE_BATCH_FILE[] = "update.bat";

// What stands between the utility and the file it loads: a blank, the
// transfer speed switch, a blank.
inline constexpr char TRANSFER_SWITCH[] = " /b=57600 ";

// The batch line, without its line end: the transfer path (between double
// quotes unless it already holds a double quote anywhere, then as it is),
// TRANSFER_SWITCH, and in double quotes the program folder followed by
// "temp\CODES.DAT". Every "%" of the transfer path and of the program folder
// is doubled, so that the command interpreter does not take it for the start
// of a variable; nothing else is changed.
std::string UpdateBatchLine(std::string_view transferPath, std::string_view programFolder);

enum class BatchResult {
    Written,      // the file holds the batch line
    NoShortName,  // a path has neither an OEM form nor a short one; nothing written
    WriteFailed,  // the file could not be written; an old one is whole
};

// Writes UpdateBatchLine and a line end to the file at `batchPath` in text
// mode, so that the file holds that line and CR LF and nothing else. The
// transfer path is a setting (ANSI code page), the program folder a path
// (UTF-8). The transfer utility is an 8-bit program, and the command
// interpreter reads batch files in the OEM code page on Windows: both are
// written there, each in its short (8.3) form where one of its characters
// has no form in it. When a path has no such form either (the volume keeps no
// short names), nothing is written and `unnamed` is that path (UTF-8). An
// existing file is replaced safely. The utility must be run only when the
// result is Written.
BatchResult WriteUpdateBatch(const std::string& batchPath, const std::string& transferPath,
                             const std::string& programFolder, std::string& unnamed);
