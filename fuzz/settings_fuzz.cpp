// Fuzz target for the settings file: whatever a settings file holds, reading
// it ends without a fault, and the settings read, once written, read back the
// same.

#include "fuzz/fuzz_property.h"
#include "platform/text_file.h"
#include "settings/settings.h"

void FuzzOne(const std::string& input) {
    // Read as the program reads a settings file's bytes, over settings it had.
    Settings read{"host", "path", "util"}, again;
    ParseSettingsText(platform::FromDiskText(input), read);
    ParseSettingsText(platform::FromDiskText(FormatSettingsFile(read)), again);
    RequireProperty(again.host == read.host && again.codesPath == read.codesPath &&
                        again.transferPath == read.transferPath,
                    "settings that were read, written and read again are the same");
}
