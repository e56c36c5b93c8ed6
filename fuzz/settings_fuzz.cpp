// Fuzz target for the settings file. Two uses of each input:
//  - as the bytes of a settings file, read as the program reads it (text mode,
//    then the three lines): the values must be what the file's lines say,
//    hold no LF, and a Ctrl-Z ends the file;
//  - as three values written and read again: they must come back unchanged
//    when they hold no CR, LF or Ctrl-Z, in a file of three CR LF lines.

#include "fuzz/fuzz_property.h"
#include "platform/text_file.h"
#include "settings/settings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char CTRL_Z = '\x1A';
constexpr std::string_view LINE_END_ON_DISK = "\r\n";
constexpr std::size_t SETTING_COUNT = 3;

// Values the settings hold before the file is read; a setting the file does
// not reach keeps its value.
constexpr std::array<std::string_view, SETTING_COUNT> EARLIER_VALUES = {
    "earlier host", "earlier path", "earlier transfer"};

// The settings a file's bytes give, worked out on the bytes as they are on
// disk: the file ends at the first Ctrl-Z; each setting takes the bytes up to
// the next LF, less one CR just before that LF; when the bytes end before an
// LF, the rest is the value and the settings after it are not read.
std::array<std::string, SETTING_COUNT> ExpectedValues(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find(CTRL_Z));
    std::array<std::string, SETTING_COUNT> values;
    for (std::size_t i = 0; i < SETTING_COUNT; ++i) {
        values[i] = EARLIER_VALUES[i];
    }
    std::size_t start = 0;
    for (std::string& value : values) {
        const std::size_t lf = bytes.find(LF, start);
        if (lf == std::string_view::npos) {
            value = bytes.substr(start);
            break;
        }
        std::string_view line = bytes.substr(start, lf - start);
        if (!line.empty() && line.back() == CR) {
            line.remove_suffix(1);
        }
        value = line;
        start = lf + 1;
    }
    return values;
}

std::array<std::string, SETTING_COUNT> ValuesOf(const Settings& settings) {
    return {settings.host, settings.codesPath, settings.transferPath};
}

Settings ReadAsTheProgramDoes(std::string_view fileBytes) {
    Settings settings{std::string(EARLIER_VALUES[0]), std::string(EARLIER_VALUES[1]),
                      std::string(EARLIER_VALUES[2])};
    ParseSettingsText(platform::FromDiskText(fileBytes), settings);
    return settings;
}

void CheckReading(std::string_view fileBytes) {
    const std::array<std::string, SETTING_COUNT> values = ValuesOf(ReadAsTheProgramDoes(fileBytes));
    for (const std::string& value : values) {
        RequireProperty(value.find(LF) == std::string::npos, "a setting holds no LF");
        RequireProperty(value.find(CTRL_Z) == std::string::npos, "a setting holds no Ctrl-Z");
    }
    RequireProperty(values == ExpectedValues(fileBytes), "settings are the file's lines");
}

// Drops the bytes that a settings file cannot carry in a value.
std::string Storable(std::string value) {
    std::string kept;
    for (const char c : value) {
        if (c != CR && c != LF && c != CTRL_Z) {
            kept += c;
        }
    }
    return kept;
}

void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    Settings written;
    written.host = Storable(provider.ConsumeRandomLengthString());
    written.codesPath = Storable(provider.ConsumeRandomLengthString());
    written.transferPath = Storable(provider.ConsumeRandomLengthString());

    const std::string file = FormatSettingsFile(written);
    const std::string expectedFile = written.host + std::string(LINE_END_ON_DISK) +
                                     written.codesPath + std::string(LINE_END_ON_DISK) +
                                     written.transferPath + std::string(LINE_END_ON_DISK);
    RequireProperty(file == expectedFile, "a settings file is three values, each then CR LF");
    RequireProperty(ValuesOf(ReadAsTheProgramDoes(file)) == ValuesOf(written),
                    "written settings read back unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckReading(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckRoundTrip(data, size);
    return 0;
}
