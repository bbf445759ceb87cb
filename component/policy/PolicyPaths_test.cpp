#include "component/policy/PolicyPaths.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Members = std::vector<std::string>;

TEST(SplitJoinedPathsTest, SplitsTrimsAndDropsEmptyMembers) {
    EXPECT_EQ(SplitJoinedPaths("c:\\a"), Members{"c:\\a"});
    EXPECT_EQ(SplitJoinedPaths(" c:\\a | c:\\b "), (Members{"c:\\a", "c:\\b"}));
    EXPECT_EQ(SplitJoinedPaths("|c:\\a||c:\\b|"), (Members{"c:\\a", "c:\\b"}));
    EXPECT_EQ(SplitJoinedPaths(""), Members{""});
    EXPECT_EQ(SplitJoinedPaths(" | "), Members{""});
}

TEST(InFolderOfFirstTest, BareNamesLieInTheFirstMembersFolder) {
    EXPECT_EQ(InFolderOfFirst({"c:\\data\\a.zip", "b.zip", "d:\\x.zip"}),
              (Members{"c:\\data\\a.zip", "c:\\data\\b.zip", "d:\\x.zip"}));
    EXPECT_EQ(InFolderOfFirst({"c:\\data\\*.zip"}), Members{"c:\\data\\*.zip"});
    EXPECT_EQ(InFolderOfFirst({"*.*", "b.zip"}), (Members{"*.*", "b.zip"}));
    EXPECT_EQ(InFolderOfFirst({"c:\\data\\a.zip", "..\\..\\windows\\b.zip"})[1],
              "c:\\data\\..\\..\\windows\\b.zip");
}

struct NormalCase {
    const char* path;
    const char* normal;  // null: refused
};

void PrintTo(const NormalCase& c, std::ostream* out) {
    *out << c.path;
}

class NormalizePolicyPathTest : public ::testing::TestWithParam<NormalCase> {};

TEST_P(NormalizePolicyPathTest, ResolvesOrRefuses) {
    auto normal = NormalizePolicyPath(GetParam().path);
    if (GetParam().normal) {
        ASSERT_TRUE(normal.has_value());
        EXPECT_EQ(*normal, GetParam().normal);
    } else {
        EXPECT_FALSE(normal.has_value()) << *normal;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NormalizePolicyPathTest,
    ::testing::Values(NormalCase{"c:\\inetpub\\wwwroot\\..\\..\\windows\\x", "c:\\windows\\x"},
                      NormalCase{"c:\\a\\\\\\b\\.\\c", "c:\\a\\b\\c"},
                      NormalCase{"c:/a//b/", "c:\\a\\b\\"}, NormalCase{"c:\\a\\", "c:\\a\\"},
                      NormalCase{"c:\\", "c:\\"}, NormalCase{"c:\\a\\..\\..", nullptr},
                      NormalCase{"c:..", nullptr}, NormalCase{"*.*", "*.*"},
                      NormalCase{"a.txt \"my file.txt\"", "a.txt \"my file.txt\""},
                      NormalCase{"docs\\..\\..\\x", nullptr},
                      NormalCase{"\\\\server\\share\\..\\x", nullptr},
                      NormalCase{"a/.. /b", nullptr}));

}  // namespace
}  // namespace vantrel
