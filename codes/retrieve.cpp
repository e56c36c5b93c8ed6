#include "codes/retrieve.h"

#include "codes/reply_check.h"
#include "codes/working_copy.h"
#include "net/http_request.h"
#include "platform/text_file.h"

#include <cstdio>

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

RetrieveResult RetrieveCodes(const std::string& host, const std::string& codesPath,
                             const FetchReply& fetch, const std::string& workingCopyPath,
                             std::string& dateLine) {
    // Without a path the request would ask for the site's home page.
    if (codesPath.empty()) {
        std::fputs("No codes path set\n", stderr);
        return RetrieveResult::FetchFailed;
    }
    const std::string_view reply = fetch(host, BuildHttpRequest(codesPath, host));
    const ReplyCheck check = CheckReply(reply.data(), reply.size());
    if (!check.accepted) {
        return RetrieveResult::FetchFailed;
    }
    // A codes file always has its date line: an empty body is no codes file
    // (a server may serve one while the file is being rewritten).
    const std::string_view body = reply.substr(check.bodyStart);
    if (body.empty()) {
        return RetrieveResult::FetchFailed;
    }
    if (!StoreWorkingCopy(workingCopyPath, BodyToCodesText(body))) {
        return RetrieveResult::WriteFailed;
    }
    dateLine = DateLineOf(body);
    return RetrieveResult::Success;
}
