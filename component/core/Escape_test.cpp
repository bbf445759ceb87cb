#include "component/core/Escape.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(EscapeTest, HtmlEscapesMarkupCharacters) {
    EXPECT_EQ(HtmlEscape("<b>x</b>.txt"), "&lt;b&gt;x&lt;/b&gt;.txt");
    EXPECT_EQ(HtmlEscape("a&b \"q\" 'a'"), "a&amp;b &quot;q&quot; &#39;a&#39;");
    EXPECT_EQ(HtmlEscape("c:\\plain name.zip"), "c:\\plain name.zip");
}

TEST(EscapeTest, JavaScriptStringsCannotBeEndedEarly) {
    EXPECT_EQ(JsStringEscape("it's"), "it\\'s");
    EXPECT_EQ(JsStringEscape("c:\\data"), "c:\\\\data");
    EXPECT_EQ(JsStringEscape("a\r\nb"), "a\\r\\nb");
    EXPECT_EQ(JsStringEscape("</script><script>"), "\\x3C/script><script>");
    EXPECT_EQ(JsStringEscape("x\ty"), "x\\x09y");
    EXPECT_EQ(JsStringEscape("\"q\""), "\\\"q\\\"");
}

}  // namespace
}  // namespace vantrel
