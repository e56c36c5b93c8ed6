#include "settings/detect.h"

#include "platform/file_system.h"

std::string DetectTransferUtility(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        if (platform::CanOpenForReading(candidate)) {
            return candidate;
        }
    }
    return AUTODETECT_FAILED;
}

std::string DetectTransferUtility() {
    return DetectTransferUtility({TRANSFER_UTILITY_ON_D, TRANSFER_UTILITY_ON_C});
}
