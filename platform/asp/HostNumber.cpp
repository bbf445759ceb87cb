#include "platform/asp/HostNumber.h"

#include <algorithm>

#include "platform/text/AsciiCase.h"

namespace vantrel::asp {

namespace {

using platform::LowerAscii;

constexpr char kDecimalPoint = '.';
constexpr char kThousandsSeparator = ',';
constexpr char kCurrencySign = '$';
// Beyond this an exponent only makes the number vanish or overflow; capping it keeps the
// arithmetic in range.
constexpr int64_t kLargestExponent = 100000;

// Blanks as the C locale has them, whatever locale the program set (the dialog sets the user's).
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The symbols that may stand round a number; each at most once on each side.
struct Symbols {
    bool plus = false;
    bool minus = false;
    bool currency = false;
    bool openParenthesis = false;
    bool closeParenthesis = false;
};

class NumberReader {
  public:
    explicit NumberReader(std::string_view text) : text_(text) {}

    std::optional<HostNumber> Read() {
        ReadLeadingSymbols();
        bool read =
            AtBasePrefix() ? ReadBasedNumber() : (ReadDecimalNumber() && ReadTrailingSymbols());
        if (!read || at_ != text_.size() ||
            leading_.openParenthesis != trailing_.closeParenthesis) {
            return std::nullopt;
        }
        number_.negative = leading_.minus || trailing_.minus || leading_.openParenthesis;
        return number_;
    }

  private:
    char Peek(size_t ahead = 0) const {
        return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
    }
    void SkipBlanks() {
        while (IsBlank(Peek())) {
            ++at_;
        }
    }
    // Takes c when it is next and not yet taken on this side.
    bool TakeOnce(char c, bool& taken) {
        if (taken || Peek() != c) {
            return false;
        }
        taken = true;
        ++at_;
        return true;
    }

    void ReadLeadingSymbols() {
        for (;;) {
            SkipBlanks();
            if (!TakeOnce('+', leading_.plus) && !TakeOnce('-', leading_.minus) &&
                !TakeOnce(kCurrencySign, leading_.currency) &&
                !TakeOnce('(', leading_.openParenthesis)) {
                return;
            }
        }
    }

    // After a decimal number: blanks, thousands separators, a sign when none leads, the closing
    // parenthesis and a currency sign when none leads.
    bool ReadTrailingSymbols() {
        for (;;) {
            SkipBlanks();
            if (Peek() == kThousandsSeparator) {
                ++at_;
                continue;
            }
            bool signAllowed =
                !leading_.plus && !leading_.minus && !trailing_.plus && !trailing_.minus;
            if ((signAllowed &&
                 (TakeOnce('+', trailing_.plus) || TakeOnce('-', trailing_.minus))) ||
                (leading_.openParenthesis && TakeOnce(')', trailing_.closeParenthesis)) ||
                (!leading_.currency && !exponent_ && TakeOnce(kCurrencySign, trailing_.currency))) {
                continue;
            }
            return true;
        }
    }

    bool AtBasePrefix() const {
        char base = LowerAscii(Peek(1));
        return Peek() == '&' && (base == 'h' || base == 'o');
    }

    // &H or &O and its digits; signs, parentheses and currency signs do not go with them.
    bool ReadBasedNumber() {
        if (leading_.plus || leading_.minus || leading_.currency || leading_.openParenthesis) {
            return false;
        }
        int shift = LowerAscii(Peek(1)) == 'h' ? 4 : 3;
        at_ += 2;
        uint64_t value = 0;
        size_t digits = 0;
        for (int digit; (digit = BasedDigit(Peek(), shift)) >= 0; ++at_, ++digits) {
            value = (value << shift) | static_cast<uint64_t>(digit);
            if (value > UINT32_MAX) {
                return false;
            }
        }
        SkipBlanks();
        number_.bits = static_cast<uint32_t>(value);
        return digits > 0;
    }

    static int BasedDigit(char c, int shift) {
        if (c >= '0' && c <= (shift == 3 ? '7' : '9')) {
            return c - '0';
        }
        char lower = LowerAscii(c);
        if (shift == 4 && lower >= 'a' && lower <= 'f') {
            return lower - 'a' + 10;
        }
        return -1;
    }

    bool ReadDecimalNumber() {
        size_t wholeDigits = ReadDigits(true);
        size_t fractionDigits = 0;
        if (Peek() == kDecimalPoint) {
            ++at_;
            fractionDigits = ReadDigits(false);
            number_.scale -= static_cast<int64_t>(fractionDigits);
        }
        if (wholeDigits + fractionDigits == 0) {
            return false;
        }
        if (number_.digits.empty()) {
            number_.digits.push_back('0');
            number_.scale = 0;
        }
        return ReadExponent();
    }

    // Appends the digits to the number's, leaving out leading zeros; thousands separators may
    // follow the first digit of the whole part. Returns how many digits were read.
    size_t ReadDigits(bool wholePart) {
        size_t count = 0;
        for (;; ++at_) {
            char c = Peek();
            if (IsDigit(c)) {
                if (!number_.digits.empty() || c != '0') {
                    number_.digits += c;
                }
                ++count;
            } else if (!(wholePart && count > 0 && c == kThousandsSeparator)) {
                return count;
            }
        }
    }

    bool ReadExponent() {
        if ((Peek() != 'e' && Peek() != 'E') || leading_.currency) {
            return true;
        }
        ++at_;
        bool negative = false;
        if (Peek() == '+' || Peek() == '-') {
            negative = Peek() == '-';
            ++at_;
        }
        if (!IsDigit(Peek())) {
            return false;
        }
        int64_t exponent = 0;
        for (; IsDigit(Peek()); ++at_) {
            exponent = std::min(exponent * 10 + (Peek() - '0'), kLargestExponent);
        }
        number_.scale += negative ? -exponent : exponent;
        exponent_ = true;
        return true;
    }

    std::string_view text_;
    size_t at_ = 0;
    Symbols leading_;
    Symbols trailing_;
    bool exponent_ = false;
    HostNumber number_;
};

}  // namespace

std::optional<HostNumber> ParseHostNumber(std::string_view text) {
    return NumberReader(text).Read();
}

}  // namespace vantrel::asp
