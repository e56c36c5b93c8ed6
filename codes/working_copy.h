#pragma once

// The working copy of the codes file, kept in the folder "temp" beside the
// program, and the line copy through which codes files are read and written.
//
// Codes text in memory is one string in which every line is followed by
// exactly one LF; on disk every line ends in CR LF.

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

// The working copy in the program folder.
std::string GetWorkingCopyPath();

// Reads the file at `path` in text mode into `codesText`: every line is
// followed by one LF, and the end of the file adds nothing ("A LF B" and
// "A LF B LF" both give "A LF B LF"; an empty file gives an empty text).
// False when the file cannot be read; `codesText` is then empty.
bool ReadTextFileByLines(const std::string& path, std::string& codesText);

// Replaces the file at `path` with `codesText` in text mode (each LF written
// as CR LF), safely: on failure the old file stays whole. True on success.
bool WriteTextFile(const std::string& path, std::string_view codesText);

// Writes `codesText` to the working copy at `path` as WriteTextFile does,
// first creating the working copy's folder when it is missing (only that last
// folder; the program folder itself must exist). True on success.
bool StoreWorkingCopy(const std::string& path, std::string_view codesText);
