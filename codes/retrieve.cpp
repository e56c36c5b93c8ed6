#include "codes/retrieve.h"

#include "codes/reply_check.h"
#include "codes/working_copy.h"
#include "net/http_reply.h"
#include "net/http_request.h"
#include "platform/text_file.h"

#include <cstdio>
#include <optional>
#include <vector>

using platform::CR;
using platform::LF;

std::string_view DateLineOf(std::string_view body) {
    std::string_view line = body.substr(0, body.find(LF));
    // The date is shown as text, which ends at a NUL byte.
    line = line.substr(0, line.find('\0'));
    if (!line.empty() && line.back() == CR) {
        line.remove_suffix(1);
    }
    return line;
}

std::string BodyToCodesText(std::string_view body) {
    // A CR that belongs to a CR LF is dropped here; writing in text mode puts
    // it back, and puts one before every bare LF as well.
    return platform::JoinCrLf(body);
}

namespace {

constexpr int HTTP_STATUS_OK = 200;

RetrieveResult Failed(RetrieveFailure& failure, FailureReason reason) {
    failure.reason = reason;
    return RetrieveResult::FetchFailed;
}

// What a reply that is no codes file, or no redirect to one, means: a 200
// reply refused, or one without a status, could not be read.
FailureReason ReasonFor(RedirectVerdict verdict, int status) {
    switch (verdict) {
        case RedirectVerdict::BadLocation:
            return FailureReason::BadLocation;
        case RedirectVerdict::Downgrade:
            return FailureReason::Downgrade;
        case RedirectVerdict::Loop:
            return FailureReason::RedirectLoop;
        case RedirectVerdict::TooMany:
            return FailureReason::TooManyRedirects;
        case RedirectVerdict::Follow:
        case RedirectVerdict::NotRedirect:
            break;
    }
    return status == 0 || status == HTTP_STATUS_OK ? FailureReason::BadReply
                                                   : FailureReason::Status;
}

}  // namespace

RetrieveResult RetrieveCodes(const std::string& hostLine, const std::string& codesPath,
                             const FetchReply& fetch, const std::string& workingCopyPath,
                             std::string& dateLine, RetrieveFailure& failure,
                             std::chrono::milliseconds timeLimit) {
    failure = RetrieveFailure{};
    const std::optional<Url> start = ParseHostLine(hostLine);
    if (!start) {
        // Never looked up: the line the fetch gives for a host it cannot map.
        std::fputs(("Can't map hostname '" + hostLine + "'\n").c_str(), stderr);
        return Failed(failure, FailureReason::BadHostLine);
    }
    // Without a path the request would ask for the site's home page.
    if (codesPath.empty()) {
        std::fputs("No codes path set\n", stderr);
        return Failed(failure, FailureReason::NoCodesPath);
    }
    // One limit for every hop together.
    const auto end = std::chrono::steady_clock::now() + timeLimit;
    Url url = *start;
    url.target = EncodeRequestTarget(codesPath);
    std::vector<Url> fetched{url};
    for (;;) {
        failure.port = url.port;
        const std::string_view reply = fetch(url, end, failure.fetch);
        if (reply.empty()) {
            return Failed(failure, FailureReason::Fetch);
        }
        failure.status = ReplyStatus(reply);
        const ReplyCheck check = CheckReply(reply.data(), reply.size());
        if (check.accepted) {
            // A codes file always has its date line: an empty body is no
            // codes file (a server may serve one while the file is being
            // rewritten).
            const std::string_view body = reply.substr(check.bodyStart);
            if (body.empty()) {
                return Failed(failure, FailureReason::EmptyFile);
            }
            if (!StoreWorkingCopy(workingCopyPath, BodyToCodesText(body))) {
                return RetrieveResult::WriteFailed;
            }
            dateLine = DateLineOf(body);
            return RetrieveResult::Success;
        }
        Url next;
        const RedirectVerdict verdict =
            NextHop(failure.status, ReadReplyHeader(reply).location, fetched, next);
        if (verdict != RedirectVerdict::Follow) {
            return Failed(failure, ReasonFor(verdict, failure.status));
        }
        fetched.push_back(next);
        url = next;
    }
}
