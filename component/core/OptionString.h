#pragma once
// The option string OS: an operation letter and one character per option. Its layout depends on the
// call: the zip page's "-", "F" and "U" calls take six characters ([-FU][-P][level][-S][-R][-M]),
// every other call three ([letter][-P][-R]). Shorter strings leave the missing options off. This is
// the one place that knows which position means what.

#include <optional>
#include <string_view>

namespace vantrel {

// True when options is no longer than its layout and each character is one its position allows.
// The level position of the zip layout is left to the zip operation, which refuses a non-digit
// there with its own conversion error. The letter itself is the result page's to judge.
bool OptionStringFitsLayout(std::string_view options, bool zipCall);

// The option string's first character; '\0' when it is empty.
char OperationLetter(std::string_view options);

// The six-character layout, as the zip operation reads it (delete and repair calls are handed to
// it in this layout too).
struct ZipOptions {
    char letter = '\0';
    // The level's character, when the string reaches it; then "P" before it says whether a
    // password given encrypts, and without it a password given is dropped.
    std::optional<char> level;
    bool encrypt = false;
    // Only a string of all six characters sets these.
    bool fullPaths = false;  // "S"
    bool recurse = false;    // "R"
    bool move = false;       // "M"
};
ZipOptions ReadZipOptions(std::string_view options);

// The three-character layout, as the unzip and test operation reads it.
struct UnzipOptions {
    char letter = '\0';
    // Whether a password given applies: a test needs "P" in the second place; an extraction's
    // string of three characters says it there, and a shorter one leaves the password as given.
    std::optional<bool> password;
    bool noFolders = false;  // "R": every entry into the target folder itself
};
UnzipOptions ReadUnzipOptions(std::string_view options);

}  // namespace vantrel
