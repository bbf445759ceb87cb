#include "secmgr/DisplayCheck.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace vantrel::secmgr {
namespace {

TEST(DisplayCheckTest, AnyDisplayOrPlatformVariableWillDo) {
    struct Case {
        std::map<std::string, std::string> environment;
        bool available;
    };
    const Case cases[] = {
        {{}, false},
        {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, false},
        {{{"HOME", "/root"}}, false},
        {{{"DISPLAY", ":0"}}, true},
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, true},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, true},
    };
    for (const auto& test : cases) {
        auto lookup = [&](const char* name) -> const char* {
            auto it = test.environment.find(name);
            return it == test.environment.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(DisplayIsAvailable(lookup), test.available);
    }
}

}  // namespace
}  // namespace vantrel::secmgr
