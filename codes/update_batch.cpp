#include "codes/update_batch.h"

#include "codes/working_copy.h"
#include "platform/code_page.h"
#include "platform/text_file.h"

#include <utility>

namespace {

constexpr char QUOTE = '"';
constexpr char PERCENT = '%';
// The command interpreter that runs the batch file is always Windows' own, so
// the working copy is named with a backslash whatever platform wrote the line.
constexpr char BATCH_SEPARATOR = '\\';

// `text` with every "%" written twice.
std::string DoublePercents(std::string_view text) {
    std::string doubled;
    doubled.reserve(text.size());
    for (const char c : text) {
        if (c == PERCENT) {
            doubled += PERCENT;
        }
        doubled += c;
    }
    return doubled;
}

// `path` (UTF-8) as the command interpreter reads it from a batch file: in
// the OEM code page, or in its short form where a character has no OEM form.
// False when neither serves.
bool ForInterpreter(const std::string& path, std::string& converted) {
    return platform::ToOemText(path, converted) ||
           platform::ToOemText(platform::ShortPathOf(path), converted);
}

}  // namespace

std::string UpdateBatchLine(std::string_view transferPath, std::string_view programFolder) {
    // A path that holds a double quote is taken as already quoted by the user.
    const bool quoteUtility = transferPath.find(QUOTE) == std::string_view::npos;
    std::string line;
    if (quoteUtility) {
        line += QUOTE;
    }
    line += DoublePercents(transferPath);
    if (quoteUtility) {
        line += QUOTE;
    }
    line += TRANSFER_SWITCH;
    line += QUOTE;
    line += DoublePercents(programFolder);
    line += WORKING_COPY_FOLDER;
    line += BATCH_SEPARATOR;
    line += WORKING_COPY_FILE;
    line += QUOTE;
    return line;
}

BatchResult WriteUpdateBatch(const std::string& batchPath, const std::string& transferPath,
                             const std::string& programFolder, std::string& unnamed) {
    std::string utility;
    std::string folder;
    for (const auto& [path, converted] : {std::pair{platform::TextFromAnsi(transferPath), &utility},
                                          std::pair{programFolder, &folder}}) {
        if (!ForInterpreter(path, *converted)) {
            unnamed = path;
            return BatchResult::NoShortName;
        }
    }
    return platform::WriteTextFileSafely(batchPath, UpdateBatchLine(utility, folder) + platform::LF)
               ? BatchResult::Written
               : BatchResult::WriteFailed;
}
