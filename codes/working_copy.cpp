#include "codes/working_copy.h"

#include "platform/file_system.h"
#include "platform/text_file.h"

namespace {

// Either separator may stand in a path: Windows accepts both.
constexpr char SEPARATORS[] = "\\/";

}  // namespace

std::string ProgramFolderOf(std::string_view executablePath) {
    const std::size_t lastSeparator = executablePath.find_last_of(SEPARATORS);
    if (lastSeparator == std::string_view::npos) {
        return {};
    }
    return std::string(executablePath.substr(0, lastSeparator + 1));
}

std::string GetProgramFolder() {
    std::string executablePath;
    if (!platform::GetExecutablePath(executablePath)) {
        return {};
    }
    return ProgramFolderOf(executablePath);
}

std::string WorkingCopyPathIn(const std::string& programFolder) {
    return programFolder + WORKING_COPY_FOLDER + platform::PATH_SEPARATOR + WORKING_COPY_FILE;
}

bool StoreWorkingCopy(const std::string& path, std::string_view codesText) {
    // The folder that holds the working copy, without its trailing separator.
    std::string folder = ProgramFolderOf(path);
    if (!folder.empty()) {
        folder.pop_back();
    }
    if (!folder.empty() && !platform::CreateFolderIfMissing(folder)) {
        return false;
    }
    return platform::WriteTextFileSafely(path, codesText);
}
