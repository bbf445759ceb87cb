#pragma once
// A check box of the control tables: its name, access key, tool tip, click handler and label,
// written as one INPUT element followed by the label.

#include <string>
#include <string_view>

namespace vantrel {

struct CheckBoxRow {
    const char* name;
    const char* accessKey;
    const char* title;
    const char* onClick;  // empty for a box without a handler
    const char* label;
    bool spaceAfter;  // an empty line follows, closing a group of controls
};

// An empty line between groups of controls.
inline constexpr const char* kEmptyLine = "<BR>&nbsp;";

// The check box and its label. checkboxOpen is the shared fragment that opens a check box up to
// its name; onClick, when given, stands for a handler built at run time (already escaped for the
// attribute).
inline std::string LabelledCheckBox(const CheckBoxRow& box, std::string_view checkboxOpen,
                                    std::string_view newLine, std::string_view onClick = {}) {
    std::string markup(checkboxOpen);
    markup.append(box.name).append("\" ACCESSKEY=\"").append(box.accessKey).append("\"");
    if (onClick.empty()) {
        onClick = box.onClick;
    }
    if (!onClick.empty()) {
        markup.append(" ONCLICK=\"").append(onClick).append("\"");
    }
    markup.append(newLine).append("    TITLE=\"").append(box.title).append("\">");
    markup.append(box.label);
    return markup;
}

// The same, followed by the empty line that closes a group.
inline std::string CheckBoxMarkup(const CheckBoxRow& box, std::string_view checkboxOpen,
                                  std::string_view newLine, std::string_view onClick = {}) {
    std::string markup = LabelledCheckBox(box, checkboxOpen, newLine, onClick);
    if (box.spaceAfter) {
        markup.append(kEmptyLine);
    }
    return markup;
}

}  // namespace vantrel
