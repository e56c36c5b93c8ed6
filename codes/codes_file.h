#pragma once

// Copies of codes files between a file the user picks and the working copy:
// the line copy behind "Open Codes File" and "Save Codes File".

#include <string>

enum class CopyResult {
    Ok,           // the source was read and the destination holds its lines
    ReadFailed,   // the source could not be read; the destination is untouched
    WriteFailed,  // the destination could not be written; an old one is whole
};

// Copies the file at `sourcePath` to `destinationPath` line by line: read
// with platform::ReadTextLines into `codesText` and written in text mode, so
// the copy ends every line in CR LF. Nothing is written when the source
// cannot be read. When both paths name the same file, that file is read and
// left byte for byte as it was.
CopyResult CopyCodesFile(const std::string& sourcePath, const std::string& destinationPath,
                         std::string& codesText);

// Makes a copy of the file at `chosenPath` the working copy at
// `workingCopyPath`, as CopyCodesFile does, with StoreWorkingCopy (which
// creates the working copy's folder when it is missing). A file with no text
// at all is not a codes file: ReadFailed.
CopyResult OpenCodesFile(const std::string& chosenPath, const std::string& workingCopyPath,
                         std::string& codesText);
