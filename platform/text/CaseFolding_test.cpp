#include "platform/text/CaseFolding.h"

#include <gtest/gtest.h>

#include "platform/text/AsciiCase.h"

namespace vantrel::platform {
namespace {

// Pairs of names and whether they are one name without regard to case.
TEST(CaseFoldingTest, AccentedGreekAndTurkishLetters) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"C:\\WinNT\\A.TXT", "c:\\winnt\\a.txt", true},
        {"\\PRIV\xC3\x89\\", "\\priv\xC3\xA9\\", true},  // É é
        {"\xC3\x9C"
         "BER",
         "\xC3\xBC"
         "ber",
         true},                                                          // Ü ü
        {"\xC3\x85", "\xC3\xA5", true},                                  // Å å
        {"e\xCC\x81", "\xC3\xA9", false},                                // decomposed é is not é
        {"\xCE\xA3\xCE\x9F\xCE\xA6", "\xCF\x83\xCE\xBF\xCF\x86", true},  // ΣΟΦ σοφ
        {"\xCE\xA3", "\xCF\x82", true},                                  // Σ ς (final sigma)
        {"\xCF\x83", "\xCF\x82", true},                                  // σ ς
        {"I", "i", true},          // default folding, not Turkish
        {"\xC4\xB0", "i", false},  // İ has no simple folding
        {"\xC4\xB0", "\xC4\xB0", true},
        {"\xC4\xB1", "i", false},  // ı is its own letter
        {"\xC4\xB1", "I", false},
        {"\xC3\x9F", "ss", false},    // ß stays one character
        {"\xE2\x84\xAA", "k", true},  // KELVIN SIGN
        {"a\xFF"
         "b",
         "A\xFF"
         "B",
         true},  // invalid bytes stay
        {"a\xFF", "a\xFE", false},
        {"\xC3", "\xC3\x83", false},  // cut sequence
        {"a", "ab", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EqualsIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(FoldCase(c.a) == FoldCase(c.b), c.same) << c.a << " / " << c.b;
    }
}

// Every single byte: ASCII letters fold alike in both; no other byte changes, whatever the locale.
TEST(CaseFoldingTest, EveryByteAlone) {
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const char lower = byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : c;
        EXPECT_EQ(LowerAscii(c), lower) << byte;
        EXPECT_EQ(FoldCase(std::string(1, c)), std::string(1, lower)) << byte;
    }
}

}  // namespace
}  // namespace vantrel::platform
