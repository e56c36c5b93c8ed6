// Fuzz target for the line copy through which codes files are read and written
// (Open, Save, the working copy), and the CR LF join under it. Whatever a file
// holds, read by lines every line ends in LF; that text, written, has a CR
// before every LF, leaves no temporary file and reads back the same; and the
// CR LF join undoes writing LF as CR LF.

#include "fuzz/fuzz_property.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

#include <cstdlib>
#include <filesystem>
#include <iterator>

namespace fs = std::filesystem;

// A folder of this process's own in the system's temporary folder, removed
// when the process ends normally.
struct ScratchFolder {
    ScratchFolder() {
        RequireProperty(mkdtemp(path.data()) != nullptr, "a scratch folder is made");
    }
    ~ScratchFolder() { fs::remove_all(path, ignored); }
    std::string path = (fs::temp_directory_path() / "norvale-line-reader-XXXXXX").string();
    std::error_code ignored;
};

void FuzzOne(const std::string& input) {
    static ScratchFolder folder;
    RequireProperty(platform::JoinCrLf(platform::ToDiskText(input)) == input,
                    "the CR LF join undoes writing LF as CR LF");

    const std::string source = folder.path + "/source", copy = folder.path + "/copy";
    std::string text, disk, textAgain;
    RequireProperty(
        platform::ReplaceFileSafely(source, input) && platform::ReadTextLines(source, text),
        "the input can be stored and read by lines");
    RequireProperty(text.empty() || text.back() == '\n', "every line read ends in LF");
    RequireProperty(
        platform::WriteTextFileSafely(copy, text) && platform::ReadBinaryFile(copy, disk),
        "the text can be written");
    for (auto lf = disk.find('\n'); lf != std::string::npos; lf = disk.find('\n', lf + 1)) {
        RequireProperty(lf > 0 && disk[lf - 1] == '\r', "every line is written with CR LF");
    }
    RequireProperty(std::distance(fs::directory_iterator(folder.path), {}) == 2,
                    "writing leaves no temporary file");
    RequireProperty(platform::ReadTextLines(copy, textAgain) && textAgain == text,
                    "text read by lines, written and read again, is the same");
}
