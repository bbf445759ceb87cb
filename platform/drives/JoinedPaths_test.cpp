#include "platform/drives/JoinedPaths.h"

#include <gtest/gtest.h>

namespace vantrel::platform {
namespace {

using Members = std::vector<std::string>;

TEST(SplitJoinedPathsTest, KeepsMembersExactlyAndDropsEmptyOnes) {
    EXPECT_EQ(SplitJoinedPaths("c:\\a"), Members{"c:\\a"});
    // A blank belongs to the name it stands in: "same.txt " is not "same.txt".
    EXPECT_EQ(SplitJoinedPaths("c:\\same.txt |c:\\b"), (Members{"c:\\same.txt ", "c:\\b"}));
    EXPECT_EQ(SplitJoinedPaths("c:\\a| b.txt"), (Members{"c:\\a", " b.txt"}));
    EXPECT_EQ(SplitJoinedPaths("|c:\\a||c:\\b|"), (Members{"c:\\a", "c:\\b"}));
    EXPECT_EQ(SplitJoinedPaths("c:\\same.txt |"), Members{"c:\\same.txt "});
    EXPECT_EQ(SplitJoinedPaths(""), Members{""});
    EXPECT_EQ(SplitJoinedPaths("||"), Members{""});
}

TEST(InFolderOfFirstTest, BareNamesLieInTheFirstMembersFolder) {
    EXPECT_EQ(InFolderOfFirst({"c:\\data\\a.zip", "b.zip", "d:\\x.zip"}),
              (Members{"c:\\data\\a.zip", "c:\\data\\b.zip", "d:\\x.zip"}));
    EXPECT_EQ(InFolderOfFirst({"c:\\data\\*.zip"}), Members{"c:\\data\\*.zip"});
    EXPECT_EQ(InFolderOfFirst({"*.*", "b.zip"}), (Members{"*.*", "b.zip"}));
    EXPECT_EQ(InFolderOfFirst({"c:\\data\\a.zip", "..\\..\\windows\\b.zip"})[1],
              "c:\\data\\..\\..\\windows\\b.zip");
}

}  // namespace
}  // namespace vantrel::platform
