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

// A folder of this process's own in the system's temporary folder, removed
// when the process ends normally.
struct ScratchFolder {
    ScratchFolder() { RequireProperty(mkdtemp(&path[0]) != nullptr, "a scratch folder is made"); }
    ~ScratchFolder() { std::filesystem::remove_all(path, ignored); }
    std::string path = (std::filesystem::temp_directory_path() / "norvale-lines-XXXXXX").string();
    std::error_code ignored;
};

void FuzzOne(const std::string& input) {
    using namespace platform;
    static ScratchFolder folder;
    RequireProperty(JoinCrLf(ToDiskText(input)) == input, "the CR LF join undoes ToDiskText");

    const std::string source = folder.path + "/source", copy = folder.path + "/copy";
    std::string text, disk, textAgain;
    RequireProperty(ReplaceFileSafely(source, input) && ReadTextLines(source, text),
                    "the input can be stored and read by lines");
    RequireProperty(text.empty() || text.back() == '\n', "every line read ends in LF");
    RequireProperty(WriteTextFileSafely(copy, text) && ReadBinaryFile(copy, disk),
                    "the text can be written");
    for (auto lf = disk.find('\n'); lf != std::string::npos; lf = disk.find('\n', lf + 1)) {
        RequireProperty(lf > 0 && disk[lf - 1] == '\r', "every line is written with CR LF");
    }
    RequireProperty(std::distance(std::filesystem::directory_iterator(folder.path), {}) == 2,
                    "writing leaves no temporary file");
    RequireProperty(ReadTextLines(copy, textAgain) && textAgain == text,
                    "text read by lines, written and read again, is the same");
}
