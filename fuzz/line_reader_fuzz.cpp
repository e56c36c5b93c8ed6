// Fuzz target for the line copy through which codes files are read and written
// (Open, Save, the working copy), and the CR LF join under it. Whatever a file
// holds, read by lines every line ends in LF; that text, written, has a CR
// before every LF, leaves no temporary file and reads back the same; and the
// CR LF join undoes writing LF as CR LF.

#include "fuzz/fuzz_property.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

// A folder of this process's own in the system's temporary folder, removed
// when the process ends normally.
struct ScratchFolder {
    ScratchFolder() {
        std::string name = (fs::temp_directory_path() / "norvale-line-reader-XXXXXX").string();
        RequireProperty(mkdtemp(name.data()) != nullptr, "a scratch folder can be made");
        path = name;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string PathOf(const char* name) const { return (path / name).string(); }
    fs::path path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder folder;
    const std::string input(reinterpret_cast<const char*>(data), size);
    RequireProperty(platform::JoinCrLf(platform::ToDiskText(input)) == input,
                    "the CR LF join undoes writing LF as CR LF");

    const std::string source = folder.PathOf("source"), copy = folder.PathOf("copy");
    std::string text, bytes, textAgain;
    RequireProperty(platform::ReplaceFileSafely(source, input), "the input can be stored");
    RequireProperty(platform::ReadTextLines(source, text), "a file can be read by lines");
    RequireProperty(text.empty() || text.back() == '\n', "every line read ends in LF");
    RequireProperty(platform::WriteTextFileSafely(copy, text) && platform::ReadBinaryFile(copy, bytes),
                    "the text can be written");
    for (std::size_t lf = bytes.find('\n'); lf != std::string::npos;
         lf = bytes.find('\n', lf + 1)) {
        RequireProperty(lf > 0 && bytes[lf - 1] == '\r', "every line is written with CR LF");
    }
    RequireProperty(std::distance(fs::directory_iterator(folder.path), {}) == 2,
                    "writing leaves no temporary file");
    RequireProperty(platform::ReadTextLines(copy, textAgain) && textAgain == text,
                    "text read by lines, written and read again, is the same");
    return 0;
}
