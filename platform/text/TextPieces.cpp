#include "platform/text/TextPieces.h"

namespace vantrel::platform {

namespace {

std::string_view Trim(std::string_view text, std::string_view round) {
    size_t first = text.find_first_not_of(round);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(round) - first + 1);
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
    return std::string(Trim(text, " "));
}

std::string_view TrimBlanksAndTabs(std::string_view text) {
    return Trim(text, " \t");
}

std::vector<std::string_view> SplitText(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (true) {
        size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

}  // namespace vantrel::platform
