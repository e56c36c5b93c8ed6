// Fuzz target for the settings file: whatever a settings file holds, reading
// it ends without a fault, and the settings read, once written, read back the
// same.

#include "fuzz/fuzz_property.h"
#include "platform/text_file.h"
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// Reads a settings file's bytes as the program does, over `settings`.
Settings Read(std::string_view fileBytes, Settings settings) {
    ParseSettingsText(platform::FromDiskText(fileBytes), settings);
    return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Settings read =
        Read(std::string_view(reinterpret_cast<const char*>(data), size), {"host", "path", "util"});
    const Settings again = Read(FormatSettingsFile(read), {});
    RequireProperty(again.host == read.host && again.codesPath == read.codesPath &&
                        again.transferPath == read.transferPath,
                    "settings that were read, written and read again are the same");
    return 0;
}
