#include "settings/detect.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

std::string DetectTransferUtility(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        if (platform::CanOpenForReading(platform::TextFromAnsi(candidate))) {
            return candidate;
        }
    }
    return AUTODETECT_FAILED;
}

std::string DetectTransferUtility() {
    return DetectTransferUtility({TRANSFER_UTILITY_ON_D, TRANSFER_UTILITY_ON_C});
}

bool TransferPathSettingFor(const std::string& chosenPath, std::string& setting) {
    return platform::ToAnsiText(chosenPath, setting) ||
           platform::ToAnsiText(platform::ShortPathOf(chosenPath), setting);
}
