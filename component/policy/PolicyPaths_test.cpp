#include "component/policy/PolicyPaths.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

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
