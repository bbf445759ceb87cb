#include "component/archive/EntryNameText.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(EntryNameText, OnlyWhatThePageCannotCarryIsReplaced) {
    constexpr const char* R = "\xEF\xBF\xBD";  // U+FFFD
    struct Case {
        const char* name;
        std::string selectable;
        std::string readable;
    } cases[] = {
        {"plain.txt", "plain.txt", "plain.txt"},
        {"dir\\x.txt", "dir\\x.txt", "dir\\x.txt"},
        {"gr\xC3\xBC\xC3\x9F.txt", "gr\xC3\xBC\xC3\x9F.txt", "gr\xC3\xBC\xC3\x9F.txt"},
        {"\xF0\x9F\x98\x80.txt", "\xF0\x9F\x98\x80.txt", "\xF0\x9F\x98\x80.txt"},
        {"caf\xE9.txt", std::string("caf") + R + ".txt", std::string("caf") + R + ".txt"},
        {"\xC0\xAF.txt", std::string(R) + R + ".txt", std::string(R) + R + ".txt"},  // overlong
        {"\xED\xA0\x80", std::string(R) + R + R, std::string(R) + R + R},            // surrogate
        {"cut\xE2\x82", std::string("cut") + R + R, std::string("cut") + R + R},
        {"line\nbreak", std::string("line") + R + "break", std::string("line") + R + "break"},
        // A quote cannot stand in a quoted name; it can in a name without blanks.
        {"say \"hi\".txt", std::string("say ") + R + "hi" + R + ".txt", "say \"hi\".txt"},
        {"say\"hi\".txt", "say\"hi\".txt", "say\"hi\".txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SelectableEntryName(c.name), c.selectable) << c.name;
        EXPECT_EQ(ReadableEntryText(c.name), c.readable) << c.name;
    }
}

}  // namespace
}  // namespace vantrel
