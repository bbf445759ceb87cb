#include "component/core/OptionString.h"

#include <array>

namespace vantrel {

namespace {

// The characters each position allows; empty: any (the level, judged by the zip operation).
constexpr std::array<std::string_view, 6> kZipLayout = {"-FU", "-P", "", "-S", "-R", "-M"};
constexpr std::array<std::string_view, 3> kThreeLayout = {"-FUTEDX", "-P", "-R"};

template <size_t N>
bool Fits(std::string_view options, const std::array<std::string_view, N>& layout) {
    if (options.size() > N) {
        return false;
    }
    for (size_t i = 0; i < options.size(); ++i) {
        if (!layout[i].empty() && layout[i].find(options[i]) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool OptionStringFitsLayout(std::string_view options, bool zipCall) {
    const bool zipLayout =
        zipCall && !options.empty() && kZipLayout[0].find(options[0]) != std::string_view::npos;
    return zipLayout ? Fits(options, kZipLayout) : Fits(options, kThreeLayout);
}

char OperationLetter(std::string_view options) {
    return options.empty() ? '\0' : options.front();
}

ZipOptions ReadZipOptions(std::string_view options) {
    ZipOptions read;
    read.letter = OperationLetter(options);
    if (options.size() > 2) {
        read.level = options[2];
        read.encrypt = options[1] == 'P';
    }
    if (options.size() > 5) {
        read.fullPaths = options[3] == 'S';
        read.recurse = options[4] == 'R';
        read.move = options[5] == 'M';
    }
    return read;
}

UnzipOptions ReadUnzipOptions(std::string_view options) {
    UnzipOptions read;
    read.letter = OperationLetter(options);
    if (read.letter == 'T') {
        read.password = options.size() >= 2 && options[1] == 'P';
    } else if (options.size() > 2) {
        read.password = options[1] == 'P';
    }
    read.noFolders = options.size() > 2 && options[2] == 'R';
    return read;
}

}  // namespace vantrel
