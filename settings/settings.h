#pragma once

// The program's three settings and the file "config.txt" that keeps them.
//
// The file holds three lines: the web host, the path of the codes file on
// that host, and the full path of the transfer utility. Each line is written
// with a CR LF line end and nothing else is written. Reading also accepts LF
// alone as a line end, keeps blanks, stops at a Ctrl-Z byte, leaves settings
// without a line empty, and ignores everything after the third line.

#include <string>
#include <string_view>

// Name of the settings file, in the folder the program is started in.
inline constexpr char SETTINGS_FILE_NAME[] = "config.txt";

struct Settings {
    std::string host;
    std::string codesPath;
    std::string transferPath;
};

// Fills `settings` from the text of a settings file as read in text mode.
// Each line read first empties its setting; once the text has ended, the
// settings after it are left as they were.
void ParseSettingsText(std::string_view text, Settings& settings);

// The on-disk bytes of a settings file: three lines, each ending in CR LF.
std::string FormatSettingsFile(const Settings& settings);

// Reads the settings file at `path` into `settings` (see ParseSettingsText).
// A file that cannot be opened leaves `settings` alone; that is not an error
// for the program, which then keeps its empty settings.
void LoadSettings(Settings& settings, const std::string& path);

// Replaces the settings file at `path` safely: on failure the old file stays
// whole. True when the new file is in place.
bool SaveSettings(const Settings& settings, const std::string& path);
