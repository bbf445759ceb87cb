#include "component/policy/PolicyPaths.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(NormalizePolicyPathTest, ResolvesOrRefuses) {
    const std::pair<const char*, const char*> cases[] = {
        // second: null when refused
        {"c:\\inetpub\\wwwroot\\..\\..\\windows\\x", "c:\\windows\\x"},
        {"c:\\a\\\\\\b\\.\\c", "c:\\a\\b\\c"},
        {"c:/a//b/", "c:\\a\\b\\"},
        {"c:\\a\\", "c:\\a\\"},
        {"c:\\", "c:\\"},
        {"c:\\a\\..\\..", nullptr},
        {"c:..", nullptr},
        {"*.*", "*.*"},
        {"a.txt \"my file.txt\"", "a.txt \"my file.txt\""},
        {"docs\\..\\..\\x", nullptr},
        {"\\\\server\\share\\..\\x", nullptr},
        {"a/.. /b", nullptr},
    };
    for (const auto& [path, normal] : cases) {
        auto result = NormalizePolicyPath(path);
        EXPECT_EQ(result.has_value(), normal != nullptr) << path;
        if (result && normal) {
            EXPECT_EQ(*result, normal) << path;
        }
    }
}

}  // namespace
}  // namespace vantrel
