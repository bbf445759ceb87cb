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

}  // namespace vantrel
