#include "codes/retrieve.h"

#include "codes/reply_check.h"
#include "codes/working_copy.h"
#include "net/fetch_client.h"
#include "net/http_request.h"
#include "platform/text_file.h"

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';

constexpr char RETRIEVED_FROM[] = "File retrieved from ";
constexpr char CODE_DATE[] = ".\r\nCurrent Building Code date: ";
constexpr char READY[] = "\r\nReady to perform update.";
constexpr char CANNOT_WRITE[] = "Cannot write the working copy:\r\n";

}  // namespace

std::string RetrievedMessage(const std::string& host, std::string_view dateLine) {
    return RETRIEVED_FROM + host + CODE_DATE + std::string(dateLine) + READY;
}

std::string WriteFailedMessage(const std::string& path) {
    return CANNOT_WRITE + path;
}

std::string_view DateLineOf(std::string_view body) {
    std::string_view line = body.substr(0, body.find(LF));
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
                             CFetchClient& fetchClient, const std::string& workingCopyPath,
                             std::string& message) {
    const std::string_view reply = fetchClient.HttpFetch(host, BuildHttpRequest(codesPath));
    const ReplyCheck check = CheckReply(reply.data(), reply.size());
    if (!check.accepted) {
        return RetrieveResult::FetchFailed;
    }
    const std::string_view body = reply.substr(check.bodyStart);
    if (!StoreWorkingCopy(workingCopyPath, BodyToCodesText(body))) {
        message = WriteFailedMessage(workingCopyPath);
        return RetrieveResult::WriteFailed;
    }
    message = RetrievedMessage(host, DateLineOf(body));
    return RetrieveResult::Success;
}
