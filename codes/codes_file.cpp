#include "codes/codes_file.h"

#include "codes/retrieve.h"
#include "codes/working_copy.h"
#include "platform/file_system.h"

namespace {

constexpr char FILE_READ[] = "File read.\r\nCurrent Building Code date: ";
constexpr char READY[] = "\r\nReady to perform update.";
constexpr char CANNOT_READ_CODES_FILE[] = "Cannot read codes file:\r\n";
constexpr char SAVED_TO[] = "Saved codes to:\r\n";
constexpr char CANNOT_READ_WORKING_COPY[] = "Cannot read the working copy:\r\n";
constexpr char CANNOT_SAVE_TO[] = "Cannot save codes to:\r\n";

using Writer = bool (*)(const std::string& path, std::string_view codesText);

CopyResult CopyWith(Writer write, const std::string& sourcePath, const std::string& destinationPath,
                    std::string& codesText) {
    if (!ReadTextFileByLines(sourcePath, codesText)) {
        return CopyResult::ReadFailed;
    }
    // Writing a file's lines back over it would not always give its bytes
    // back (a last line without a line end, a Ctrl-Z, a CR before CR LF), so
    // a copy onto itself writes nothing.
    if (platform::IsSameFile(sourcePath, destinationPath)) {
        return CopyResult::Ok;
    }
    if (!write(destinationPath, codesText)) {
        return CopyResult::WriteFailed;
    }
    return CopyResult::Ok;
}

}  // namespace

CopyResult CopyCodesFile(const std::string& sourcePath, const std::string& destinationPath,
                         std::string& codesText) {
    return CopyWith(&WriteTextFile, sourcePath, destinationPath, codesText);
}

CopyResult OpenCodesFile(const std::string& chosenPath, const std::string& workingCopyPath,
                         std::string& codesText) {
    return CopyWith(&StoreWorkingCopy, chosenPath, workingCopyPath, codesText);
}

std::string OpenStatusText(CopyResult result, const std::string& chosenPath,
                           const std::string& workingCopyPath, std::string_view codesText) {
    switch (result) {
        case CopyResult::Ok:
            return FILE_READ + std::string(DateLineOf(codesText)) + READY;
        case CopyResult::ReadFailed:
            return CANNOT_READ_CODES_FILE + chosenPath;
        case CopyResult::WriteFailed:
            return WriteFailedMessage(workingCopyPath);
    }
    return {};
}

std::string SaveStatusText(CopyResult result, const std::string& workingCopyPath,
                           const std::string& chosenPath) {
    switch (result) {
        case CopyResult::Ok:
            return SAVED_TO + chosenPath;
        case CopyResult::ReadFailed:
            return CANNOT_READ_WORKING_COPY + workingCopyPath;
        case CopyResult::WriteFailed:
            return CANNOT_SAVE_TO + chosenPath;
    }
    return {};
}
