// The copy behind "Open Codes File": the chosen file is read by lines and
// becomes the working copy, written with CR LF line ends and replaced safely.
// Run as a whole process so that its time and peak memory can be measured.
//
//   copy_bench SOURCE WORKING_COPY
//
// Exit status 0 when the copy was made, 1 when it failed, 2 for a wrong
// command line.
#include "codes/codes_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int ARGUMENT_COUNT = 3;
constexpr int EXIT_USAGE = 2;

}  // namespace

int main(int argc, char** argv) {
    if (argc != ARGUMENT_COUNT) {
        std::fputs("usage: copy_bench SOURCE WORKING_COPY\n", stderr);
        return EXIT_USAGE;
    }
    std::string codesText;
    const CopyResult result = OpenCodesFile(argv[1], argv[2], codesText);
    if (result != CopyResult::Ok) {
        std::fprintf(stderr, "copy_bench: copying %s failed\n", argv[1]);
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
