// Texts the main window shows in its status box. CR LF breaks a line.
#pragma once

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
