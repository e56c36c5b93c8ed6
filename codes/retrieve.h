#pragma once

// Retrieval of the codes file from the web server into the working copy.

#include <string>
#include <string_view>

class CFetchClient;

enum class RetrieveResult {
    Success,      // reply accepted, working copy written, message set
    FetchFailed,  // no reply, or a reply that was rejected; nothing written
    WriteFailed,  // reply accepted but the working copy could not be written
};

// The status message of a successful retrieval: "File retrieved from " host
// "." CR LF "Current Building Code date: " date line CR LF "Ready to perform
// update.".
std::string RetrievedMessage(const std::string& host, std::string_view dateLine);

// The text shown when the working copy at `path` cannot be written.
std::string WriteFailedMessage(const std::string& path);

// The date stamp of a codes file: its first line, without a CR at its end.
std::string_view DateLineOf(std::string_view body);

// A body as codes text: a CR LF of the body becomes LF, so that the working
// copy, written in text mode, ends every line in CR LF, whether the body's
// lines ended in LF alone or already in CR LF.
std::string BodyToCodesText(std::string_view body);

// Fetches `codesPath` from `host` with `fetchClient`, checks the reply and
// writes its body to `workingCopyPath` (creating the working copy's folder
// when it is missing, and replacing the old copy safely).
//  - Success: `message` holds RetrievedMessage.
//  - FetchFailed: nothing is written and `message` is left as it was.
//  - WriteFailed: the old working copy is left whole and `message` holds
//    WriteFailedMessage(workingCopyPath).
RetrieveResult RetrieveCodes(const std::string& host, const std::string& codesPath,
                             CFetchClient& fetchClient, const std::string& workingCopyPath,
                             std::string& message);
