#include "codes/codes_file.h"

#include "codes/working_copy.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

// Writing a file's lines back over it would not always give its bytes back
// (a last line without a line end, a Ctrl-Z, a CR before CR LF), so a copy
// onto itself writes nothing.

CopyResult CopyCodesFile(const std::string& sourcePath, const std::string& destinationPath,
                         std::string& codesText) {
    if (!platform::ReadTextLines(sourcePath, codesText)) {
        return CopyResult::ReadFailed;
    }
    if (platform::IsSameFile(sourcePath, destinationPath)) {
        return CopyResult::Ok;
    }
    return platform::WriteTextFileSafely(destinationPath, codesText) ? CopyResult::Ok
                                                                     : CopyResult::WriteFailed;
}

CopyResult OpenCodesFile(const std::string& chosenPath, const std::string& workingCopyPath,
                         std::string& codesText) {
    // A codes file always has its date line: an empty one is not taken.
    if (!platform::ReadTextLines(chosenPath, codesText) || codesText.empty()) {
        return CopyResult::ReadFailed;
    }
    if (platform::IsSameFile(chosenPath, workingCopyPath)) {
        return CopyResult::Ok;
    }
    return StoreWorkingCopy(workingCopyPath, codesText) ? CopyResult::Ok : CopyResult::WriteFailed;
}
