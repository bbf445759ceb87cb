#include "platform/text/TextPieces.h"

#include <gtest/gtest.h>

namespace vantrel::platform {
namespace {

using Pieces = std::vector<std::string_view>;

TEST(TextPiecesTest, SplitsKeepingEmptyPieces) {
    EXPECT_EQ(SplitText("a;;b", ';'), (Pieces{"a", "", "b"}));
    EXPECT_EQ(SplitText("", ';'), Pieces{""});
    EXPECT_EQ(SplitText(";", ';'), (Pieces{"", ""}));
}

// Every byte round a text: only the blank (and for the second trim the tab) goes.
TEST(TextPiecesTest, TrimsExactlyItsOwnBytesOverAllBytes) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string b(2, static_cast<char>(byte));
        const std::string text = b + "a " + b + " z" + b;
        const std::string inner = "a " + b + " z";
        EXPECT_EQ(TrimBlanks(text), byte == ' ' ? inner : text) << byte;
        EXPECT_EQ(TrimBlanksAndTabs(text), byte == ' ' || byte == '\t' ? inner : text) << byte;
    }
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanksAndTabs(" \t "), "");
}

}  // namespace
}  // namespace vantrel::platform
