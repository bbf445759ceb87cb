#include "component/archive/EntryNameText.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(EntryNameText, OnlyWhatThePageCannotCarryIsReplaced) {
    struct Case {
        const char* name;
        const char* selectable;
        const char* readable;
    } cases[] = {
        {"plain.txt", "plain.txt", "plain.txt"},
        {"dir\\x.txt", "dir\\x.txt", "dir\\x.txt"},
        {"gr\xC3\xBC\xC3\x9F.txt", "gr\xC3\xBC\xC3\x9F.txt", "gr\xC3\xBC\xC3\x9F.txt"},
        {"\xF0\x9F\x98\x80.txt", "\xF0\x9F\x98\x80.txt", "\xF0\x9F\x98\x80.txt"},
        {"caf\xE9.txt", "caf?.txt", "caf\xEF\xBF\xBD.txt"},
        {"\xC0\xAF.txt", "??.txt", "\xEF\xBF\xBD\xEF\xBF\xBD.txt"},       // overlong "/"
        {"\xED\xA0\x80", "???", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"cut\xE2\x82", "cut??", "cut\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"line\nbreak", "line?break",
         "line\xEF\xBF\xBD"
         "break"},
        {"say \"hi\".txt", "say ?hi?.txt", "say \"hi\".txt"},
        {"say\"hi\".txt", "say\"hi\".txt", "say\"hi\".txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SelectableEntryName(c.name), c.selectable) << c.name;
        EXPECT_EQ(ReadableEntryText(c.name), c.readable) << c.name;
    }
}

}  // namespace
}  // namespace vantrel
