// Fuzz target for the line copy through which codes files are read and
// written (Open, Save, the working copy). Each input is a file's bytes. Read
// by lines, the text must be the file in text mode with every line followed
// by one LF and no empty line added at the end; written, every line must end
// in CR LF with no temporary file left behind; and written and read again,
// the text and the bytes must not change.

#include "codes/working_copy.h"
#include "fuzz/fuzz_property.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char CTRL_Z = '\x1A';
constexpr char FOLDER_TEMPLATE[] = "norvale-line-reader-XXXXXX";
constexpr char SOURCE_NAME[] = "source.txt";
constexpr char FIRST_COPY_NAME[] = "first.txt";
constexpr char SECOND_COPY_NAME[] = "second.txt";
constexpr std::size_t FILES_IN_FOLDER = 3;

std::filesystem::path g_folder;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

// The folder that holds this process's files, made on the first run in the
// system's temporary folder and removed when the process ends normally.
const std::filesystem::path& Folder() {
    if (g_folder.empty()) {
        std::string name = (std::filesystem::temp_directory_path() / FOLDER_TEMPLATE).string();
        if (mkdtemp(name.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        g_folder = name;
        std::atexit(RemoveFolder);
    }
    return g_folder;
}

std::string PathOf(const char* name) {
    return (Folder() / name).string();
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    RequireProperty(file != nullptr, "the source file can be created");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    RequireProperty(std::fclose(file) == 0 && written, "the source file can be written");
}

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    RequireProperty(file != nullptr, "a written copy can be opened");
    char block[4096];
    std::size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.append(block, count);
    }
    std::fclose(file);
    return bytes;
}

// What reading `bytes` by lines gives: the bytes up to the first Ctrl-Z, each
// CR LF as LF (a lone CR stays), and an LF after a last line that has none.
std::string ExpectedText(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find(CTRL_Z));
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == CR && i + 1 < bytes.size() && bytes[i + 1] == LF) {
            continue;
        }
        text += bytes[i];
    }
    if (!text.empty() && text.back() != LF) {
        text += LF;
    }
    return text;
}

// The bytes on disk of `text`: every LF written as CR LF.
std::string ExpectedBytes(std::string_view text) {
    std::string bytes;
    for (const char c : text) {
        if (c == LF) {
            bytes += CR;
        }
        bytes += c;
    }
    return bytes;
}

std::size_t EntriesInFolder() {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        static_cast<void>(entry);
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string source = PathOf(SOURCE_NAME);
    const std::string firstCopy = PathOf(FIRST_COPY_NAME);
    const std::string secondCopy = PathOf(SECOND_COPY_NAME);
    WriteBytes(source, input);

    std::string text;
    RequireProperty(ReadTextFileByLines(source, text), "an existing file can be read by lines");
    RequireProperty(text.empty() || text.back() == LF, "every line read ends in LF");
    RequireProperty(text == ExpectedText(input),
                    "reading by lines gives the text-mode text, adding no empty line");

    RequireProperty(WriteTextFile(firstCopy, text), "the text can be written");
    const std::string firstBytes = ReadBytes(firstCopy);
    RequireProperty(firstBytes == ExpectedBytes(text), "every line is written with CR LF");

    std::string textAgain;
    RequireProperty(ReadTextFileByLines(firstCopy, textAgain), "a written copy can be read");
    RequireProperty(textAgain == text, "written and read again, the text is the same");

    RequireProperty(WriteTextFile(secondCopy, textAgain), "the text can be written again");
    RequireProperty(ReadBytes(secondCopy) == firstBytes,
                    "copying a second time gives the same bytes");
    RequireProperty(EntriesInFolder() == FILES_IN_FOLDER, "writing leaves no temporary file");
    return 0;
}
