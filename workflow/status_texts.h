// Every text the program shows in its status box or in a message box of its
// own, in one place, in UTF-8. CR LF breaks a line. A path is shown as it is;
// a setting and the codes' date line are text in the ANSI code page.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "codes/retrieve.h"
#include "net/fetch_client.h"
#include "platform/code_page.h"

inline constexpr char RETRIEVING_TEXT[] = "Attempting to retrieve codes from WWW.";
// A failed retrieval at start-up or after the Options dialog.
inline constexpr char CANNOT_RETRIEVE_FROM_WWW_TEXT[] = "Cannot retrieve codes file from WWW.";
// A failed retrieval from the File menu.
inline constexpr char CANNOT_RETRIEVE_TEXT[] = "Cannot retrieve codes file.";
inline constexpr char MISSING_UTILITY_TEXT[] =
    "Unable to locate Dolphin File Transfer: \"dcomm2.exe\"\r\n"
    "Please locate it manually.\r\n"
    "Select Configure->Options.";
inline constexpr char UPDATING_TEXT[] = "Attempting to Update Building Codes.";
inline constexpr char CANNOT_WRITE_UPDATE_BATCH_TEXT[] = "Cannot write update.bat.";
// The message box shown when config.txt cannot be written.
inline constexpr char SAVE_SETTINGS_FAILED_TEXT[] = "Cannot save settings to config.txt.";

// A successful retrieval from `host` of codes dated `dateLine`.
inline std::string RetrievedText(const std::string& host, std::string_view dateLine) {
    return "File retrieved from " + platform::TextFromAnsi(host) +
           ".\r\nCurrent Building Code date: " + platform::TextFromAnsi(dateLine) +
           "\r\nReady to perform update.";
}

// A codes file opened as the working copy, dated `dateLine`.
inline std::string FileReadText(std::string_view dateLine) {
    return "File read.\r\nCurrent Building Code date: " + platform::TextFromAnsi(dateLine) +
           "\r\nReady to perform update.";
}

// The transfer utility (or the command interpreter, which gives 9009 when it
// cannot find the program) ended with `exitStatus`, not 0.
inline std::string UpdateFailedText(int exitStatus) {
    return "Update Building Codes failed.\r\nThe transfer utility ended with code " +
           std::to_string(exitStatus) + ".";
}

// The update cannot name `path` to the transfer utility: it has a character
// the OEM code page lacks, and no short (8.3) form.
inline std::string NoShortNameText(const std::string& path) {
    return "This path has no short (8.3) name for the transfer utility:\r\n" + path;
}

inline std::string CannotReadCodesFileText(const std::string& path) {
    return "Cannot read codes file:\r\n" + path;
}

inline std::string CannotWriteWorkingCopyText(const std::string& path) {
    return "Cannot write the working copy:\r\n" + path;
}

inline std::string SavedCodesText(const std::string& path) {
    return "Saved codes to:\r\n" + path;
}

inline std::string CannotReadWorkingCopyText(const std::string& path) {
    return "Cannot read the working copy:\r\n" + path;
}

inline std::string CannotSaveCodesText(const std::string& path) {
    return "Cannot save codes to:\r\n" + path;
}

// The line under a failed retrieval's text that says why it failed.
inline std::string FailureReasonText(const RetrieveFailure& failure) {
    using namespace std::chrono_literals;
    static_assert(FETCH_TIMEOUT == 30s && FETCH_TIME_LIMIT == 2min && RECEIVE_AREA_SIZE == 262144,
                  "the texts below name these figures");
    switch (failure.reason) {
        case FailureReason::BadHostLine:
            return "The host is not written correctly.";
        case FailureReason::NoCodesPath:
            return "No codes file path is set.";
        case FailureReason::Status:
            return "The server answered with status " + std::to_string(failure.status) + ".";
        case FailureReason::BadReply:
            return "The server's reply could not be read.";
        case FailureReason::EmptyFile:
            return "The server sent an empty file.";
        case FailureReason::TooManyRedirects:
            return "Too many redirects.";
        case FailureReason::RedirectLoop:
            return "The redirects go round in a loop.";
        case FailureReason::Downgrade:
            return "A redirect from https to http was refused.";
        case FailureReason::BadLocation:
            return "A redirect named a place that cannot be read.";
        case FailureReason::None:
        case FailureReason::Fetch:
            break;
    }
    switch (failure.fetch) {
        case FetchFailure::UnknownHost:
            return "The host name is not known.";
        case FetchFailure::NoAnswer:
            return "The server did not answer (port " + std::to_string(failure.port) + ").";
        case FetchFailure::TimedOut:
            return "No answer within 30 seconds.";
        case FetchFailure::TimeLimit:
            return "The retrieval took longer than 2 minutes.";
        case FetchFailure::TooLarge:
            return "The file is larger than 256 KiB.";
        case FetchFailure::CertUntrusted:
            return "The server's certificate is not trusted.";
        case FetchFailure::CertWrongName:
            return "The server's certificate is for another name.";
        case FetchFailure::CertExpired:
            return "The server's certificate has expired.";
        case FetchFailure::SecureFailed:
            return "The secure connection failed.";
        case FetchFailure::None:
        case FetchFailure::ConnectionLost:
            break;
    }
    return "The connection broke off before the whole file came.";
}
