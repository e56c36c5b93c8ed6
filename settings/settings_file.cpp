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

void LoadSettings(Settings& settings, const std::string& path) {
    std::string text;
    if (platform::ReadTextFile(path, text)) {
        ParseSettingsText(text, settings);
    }
}

bool SaveSettings(const Settings& settings, const std::string& path) {
    return platform::ReplaceFileSafely(path, FormatSettingsFile(settings));
}
