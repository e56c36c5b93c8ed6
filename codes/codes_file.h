#pragma once

// Copies of codes files between a file the user picks and the working copy:
// the line copy behind "Open Codes File" and "Save Codes File", and the
// status texts that report how they went.

#include <string>
#include <string_view>

enum class CopyResult {
    Ok,           // the source was read and the destination holds its lines
    ReadFailed,   // the source could not be read; the destination is untouched
    WriteFailed,  // the destination could not be written; an old one is whole
};

// Copies the file at `sourcePath` to `destinationPath` line by line: read with
// ReadTextFileByLines into `codesText`, written with WriteTextFile, so the
// copy ends every line in CR LF. Nothing is written when the source cannot be
// read. When both paths name the same file, that file is read and left byte
// for byte as it was.
CopyResult CopyCodesFile(const std::string& sourcePath, const std::string& destinationPath,
                         std::string& codesText);

// Makes a copy of the file at `chosenPath` the working copy at
// `workingCopyPath`, as CopyCodesFile does, creating the working copy's folder
// when it is missing.
CopyResult OpenCodesFile(const std::string& chosenPath, const std::string& workingCopyPath,
                         std::string& codesText);

// The status text after opening `chosenPath` into the working copy at
// `workingCopyPath` with `result`; `codesText` is what was read.
//  Ok:          "File read." CR LF "Current Building Code date: " date line
//               CR LF "Ready to perform update."
//  ReadFailed:  "Cannot read codes file:" CR LF chosenPath
//  WriteFailed: "Cannot write the working copy:" CR LF workingCopyPath
std::string OpenStatusText(CopyResult result, const std::string& chosenPath,
                           const std::string& workingCopyPath, std::string_view codesText);

// The status text after saving the working copy at `workingCopyPath` to
// `chosenPath` with `result`.
//  Ok:          "Saved codes to:" CR LF chosenPath
//  ReadFailed:  "Cannot read the working copy:" CR LF workingCopyPath
//  WriteFailed: "Cannot save codes to:" CR LF chosenPath
std::string SaveStatusText(CopyResult result, const std::string& workingCopyPath,
                           const std::string& chosenPath);
