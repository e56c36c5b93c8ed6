// Every text the program shows in its status box or in a message box of its
// own, in one place. CR LF breaks a line.
#pragma once

#include <string>
#include <string_view>

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
    return "File retrieved from " + host +
           ".\r\nCurrent Building Code date: " + std::string(dateLine) +
           "\r\nReady to perform update.";
}

// A codes file opened as the working copy, dated `dateLine`.
inline std::string FileReadText(std::string_view dateLine) {
    return "File read.\r\nCurrent Building Code date: " + std::string(dateLine) +
           "\r\nReady to perform update.";
}

// The transfer utility (or the command interpreter, which gives 9009 when it
// cannot find the program) ended with `exitStatus`, not 0.
inline std::string UpdateFailedText(int exitStatus) {
    return "Update Building Codes failed.\r\nThe transfer utility ended with code " +
           std::to_string(exitStatus) + ".";
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
