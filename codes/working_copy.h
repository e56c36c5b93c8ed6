#pragma once

// The working copy of the codes file, kept in the folder "temp" beside the
// program. Codes text in memory is one string in which every line is
// followed by exactly one LF; on disk every line ends in CR LF.

#include <string>
#include <string_view>

// The folder part of `executablePath`: everything up to and including its
// last folder separator (a backslash, or a slash), empty when it has none.
std::string ProgramFolderOf(std::string_view executablePath);

// The folder of the running executable, with its trailing separator. Empty
// when the executable's path cannot be determined.
std::string GetProgramFolder();

// Name of the working copy's folder and file within the program folder.
inline constexpr char WORKING_COPY_FOLDER[] = "temp";
inline constexpr char WORKING_COPY_FILE[] = "CODES.DAT";

// `programFolder` + "temp" + separator + "CODES.DAT", with the separator of
// the platform the program runs on (a backslash on Windows).
std::string WorkingCopyPathIn(const std::string& programFolder);

// Writes `codesText` to the working copy at `path` in text mode, replacing
// the old copy safely, after creating the working copy's folder when it is
// missing (only that last folder; the program folder itself must exist).
// True on success; on failure an old working copy is left whole.
bool StoreWorkingCopy(const std::string& path, std::string_view codesText);
