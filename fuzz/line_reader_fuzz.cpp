// Fuzz target for the line copy through which codes files are read and written
// (Open, Save, the working copy), and the CR LF join under it. Whatever a file
// holds, read by lines every line ends in LF; that text, written, has a CR
// before every LF, leaves no temporary file and reads back the same; and the
// CR LF join undoes writing LF as CR LF.

#include "fuzz/fuzz_property.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "tests/support/temp_folder.h"

void FuzzOne(const std::string& input) {
    using namespace platform;
    // A folder of this process's own, removed when the process ends normally.
    static const test_support::TempFolder folder;
    RequireProperty(!folder.Path().empty(), "a scratch folder is made");
    RequireProperty(JoinCrLf(ToDiskText(input)) == input, "the CR LF join undoes ToDiskText");

    const std::string source = folder.PathOf("source"), copy = folder.PathOf("copy");
    std::string text, disk, textAgain;
    RequireProperty(ReplaceFileSafely(source, input) && ReadTextLines(source, text),
                    "the input can be stored and read by lines");
    RequireProperty(text.empty() || text.back() == '\n', "every line read ends in LF");
    RequireProperty(WriteTextFileSafely(copy, text) && ReadBinaryFile(copy, disk),
                    "the text can be written");
    for (auto lf = disk.find('\n'); lf != std::string::npos; lf = disk.find('\n', lf + 1)) {
        RequireProperty(lf > 0 && disk[lf - 1] == '\r', "every line is written with CR LF");
    }
    RequireProperty(test_support::CountEntries(folder.Path()) == 2,
                    "writing leaves no temporary file");
    RequireProperty(ReadTextLines(copy, textAgain) && textAgain == text,
                    "text read by lines, written and read again, is the same");
}
