#include "settings/settings.h"

#include "platform/file_system.h"
#include "platform/text_file.h"

#include <array>
#include <functional>

using platform::LF;

void ParseSettingsText(std::string_view text, Settings& settings) {
    const std::array<std::reference_wrapper<std::string>, 3> lines = {
        settings.host, settings.codesPath, settings.transferPath};
    std::size_t position = 0;
    for (std::string& value : lines) {
        const std::size_t lineEnd = text.find(LF, position);
        if (lineEnd == std::string_view::npos) {
            // The text ends within this line: it is the last one read, and
            // the settings after it keep their values.
            value.assign(text.substr(position));
            return;
        }
        value.assign(text.substr(position, lineEnd - position));
        position = lineEnd + 1;
    }
}

std::string FormatSettingsFile(const Settings& settings) {
    std::string text;
    for (const std::string* value : {&settings.host, &settings.codesPath, &settings.transferPath}) {
        text += *value;
        text += LF;
    }
    return platform::ToDiskText(text);
}

bool ReadSettingsFile(const std::string& path, Settings& settings) {
    std::string text;
    if (!platform::ReadTextFile(path, text)) {
        return false;
    }
    ParseSettingsText(text, settings);
    return true;
}

bool WriteSettingsFile(const std::string& path, const Settings& settings) {
    return platform::ReplaceFileSafely(path, FormatSettingsFile(settings));
}

void LoadSettings(const SettingsRefs& settings, const std::string& path) {
    Settings read{settings.host, settings.codesPath, settings.transferPath};
    ReadSettingsFile(path, read);
    settings.host = read.host;
    settings.codesPath = read.codesPath;
    settings.transferPath = read.transferPath;
}

bool SaveSettings(const SettingsRefs& settings, const std::string& path) {
    return WriteSettingsFile(path,
                             Settings{settings.host, settings.codesPath, settings.transferPath});
}
