#pragma once

// Retrieval of the codes file from the web server into the working copy.

#include <functional>
#include <string>
#include <string_view>

// One exchange with the web server: the reply to `request` from `host`,
// empty when the exchange failed. The program's is CFetchClient::HttpFetch
// on its one fetch client.
using FetchReply =
    std::function<std::string_view(const std::string& host, std::string_view request)>;

enum class RetrieveResult {
    Success,      // reply accepted, working copy written
    FetchFailed,  // no codes path, no reply, a rejected reply or an empty body; nothing written
    WriteFailed,  // reply accepted but the working copy could not be written
};

// The date stamp of a codes file: its first line, without a CR at its end,
// up to its first NUL byte (the stamp is shown as text).
std::string_view DateLineOf(std::string_view body);

// A body as codes text: a CR LF of the body becomes LF, so that the working
// copy, written in text mode, ends every line in CR LF, whether the body's
// lines ended in LF alone or already in CR LF.
std::string BodyToCodesText(std::string_view body);

// Fetches `codesPath` from `host` with `fetch` (an empty path is not fetched
// and a line on standard error says so), checks the reply and
// writes its body to `workingCopyPath` (creating the working copy's folder
// when it is missing, and replacing the old copy safely). On Success
// `dateLine` holds the body's date line; otherwise it is left as it was, and
// an old working copy is left whole.
RetrieveResult RetrieveCodes(const std::string& host, const std::string& codesPath,
                             const FetchReply& fetch, const std::string& workingCopyPath,
                             std::string& dateLine);
