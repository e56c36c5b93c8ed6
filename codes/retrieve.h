#pragma once

// Retrieval of the codes file from the web server into the working copy.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/fetch_client.h"
#include "net/fetch_failure.h"
#include "net/url.h"

// One exchange with the web server: the reply to a GET of `url`, given by
// `end` at the latest; empty when the exchange failed, and then `failure`
// says why. The program's sends plain http through its own client and https
// through the system's.
using FetchReply = std::function<std::string_view(
    const Url& url, std::chrono::steady_clock::time_point end, FetchFailure& failure)>;

enum class RetrieveResult {
    Success,      // reply accepted, working copy written
    FetchFailed,  // no codes file came (see RetrieveFailure); nothing written
    WriteFailed,  // reply accepted but the working copy could not be written
};

// Why no codes file came.
enum class FailureReason {
    None,
    BadHostLine,  // the host setting is not a host, host:port or URL of one
    NoCodesPath,  // the codes path setting is empty
    Fetch,        // the exchange itself failed: see `fetch`
    Status,       // the server answered with another status than 200: see `status`
    BadReply,     // a reply that cannot be read, or whose body would need decoding
    EmptyFile,    // a 200 reply without a body
    TooManyRedirects,
    RedirectLoop,
    Downgrade,    // a redirect from https to http
    BadLocation,  // a redirect to a place that cannot be read
};

struct RetrieveFailure {
    FailureReason reason = FailureReason::None;
    FetchFailure fetch = FetchFailure::None;
    int status = 0;
    // The port of the last URL tried.
    std::uint16_t port = HTTP_DEFAULT_PORT;
};

// The date stamp of a codes file: its first line, without a CR at its end,
// up to its first NUL byte (the stamp is shown as text).
std::string_view DateLineOf(std::string_view body);

// A body as codes text: a CR LF of the body becomes LF, so that the working
// copy, written in text mode, ends every line in CR LF, whether the body's
// lines ended in LF alone or already in CR LF.
std::string BodyToCodesText(std::string_view body);

// Fetches `codesPath` from the place the host setting `hostLine` names with
// `fetch`, following redirects (see NextHop), all of it within `timeLimit`
// from the first lookup to the last byte, checks the final reply and
// writes its body to `workingCopyPath` (creating the working copy's folder
// when it is missing, and replacing the old copy safely). A host setting that
// cannot be read and an empty codes path are not fetched at all, and a line on
// standard error says so. On Success `dateLine` holds the body's date line;
// otherwise it is left as it was, an old working copy is left whole, and on
// FetchFailed `failure` says why.
RetrieveResult RetrieveCodes(const std::string& hostLine, const std::string& codesPath,
                             const FetchReply& fetch, const std::string& workingCopyPath,
                             std::string& dateLine, RetrieveFailure& failure,
                             std::chrono::milliseconds timeLimit = FETCH_TIME_LIMIT);
