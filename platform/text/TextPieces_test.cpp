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

TEST(TextPiecesTest, TrimsBlanksOnly) {
    EXPECT_EQ(TrimBlanks("  a b  "), "a b");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks("\ta\t"), "\ta\t");
}

}  // namespace
}  // namespace vantrel::platform
