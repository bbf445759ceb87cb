#pragma once
// Script pieces that several pages share, and the joining of a page's script from its pieces.

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace vantrel {

using ScriptPart = std::span<const char* const>;

// selectedValue(): the value of a list's selected option, empty when none is selected.
inline constexpr const char* kSelectedValueScript[] = {
    "function selectedValue(objList) {",
    "  if (objList.selectedIndex < 0) return '';",
    "  return objList.options[objList.selectedIndex].value;",
    "}",
};

// The opening of doStart() on the unzip pages: the frames' forms and the buttons' elements.
inline constexpr const char* kDoStartOpening[] = {
    "function doStart() {",
    "  var objSource = top.frames['source'].document.forms['frmSource'];",
    "  var objTarget = top.frames['target'].document.forms['frmTarget'];",
    "  var objButtons = document.forms['frmButtons'].elements;",
    "  var objCall = document.forms['frmCall'];",
};

// Inside doStart: the source folder's path from the source frame, refused when none is selected.
inline constexpr const char* kSourcePathScript[] = {
    "  var strSourcePath = selectedValue(objSource.elements['selDrive']);",
    "  if (objSource.elements['selFolder'].selectedIndex < 0) {",
    "    alert('You must select a source files folder');",
    "    return false;",
    "  }",
    "  strSourcePath += selectedValue(objSource.elements['selFolder']) + '\\\\';",
};

// Inside doStart: the target folder's path from the target frame, refused when none is selected.
inline constexpr const char* kTargetPathScript[] = {
    "  var strTargetPath = selectedValue(objTarget.elements['selDrive']);",
    "  if (objTarget.elements['selFolder'].selectedIndex < 0) {",
    "    alert('You must select a target files folder');",
    "    return false;",
    "  }",
    "  strTargetPath += selectedValue(objTarget.elements['selFolder']) + '\\\\';",
};

// Inside doStart, before the fields are set: the server trims every field of blanks, so a source
// list whose last name ends in a blank is closed by a bar (the empty name after it is dropped),
// and the name selected stays the name used.
inline constexpr const char* kKeepLastBlankScript[] = {
    "  if (strSourceList.charAt(strSourceList.length - 1) == ' ') strSourceList += '|';",
};

// The same on the unzip pages, whose list holds bare names after the source folder: a first name
// that begins with a blank travels with the folder in front of it. (A name that ends in a blank is
// no ".zip" to the source page, so it never comes here; the bar is added all the same.)
inline constexpr const char* kKeepBlanksScript[] = {
    "  if (strSourceList.charAt(0) == ' ') {",
    "    strSourceList = strSourcePath + strSourceList;",
    "    strSourcePath = '';",
    "  }",
    "  if (strSourceList.charAt(strSourceList.length - 1) == ' ') strSourceList += '|';",
};

// holdStart(), called by doStart right before the call is posted: the start button stays disabled
// while the operation it started runs, that is until the result frame has loaded its page, so a
// second click (a double click) starts nothing more. A page loaded while an operation runs holds
// its button too.
inline constexpr const char* kHoldStartScript[] = {
    "function holdStart() {",
    "  var objButton = document.forms['frmButtons'].elements['btnStart'];",
    "  objButton.disabled = true;",
    "  top.frames['result'].frameElement.addEventListener('load', function () {",
    "    objButton.disabled = false;",
    "  }, {once: true});",
    "}",
    "window.addEventListener('load', function () {",
    "  var objResult = top.frames['result'];",
    "  if (objResult && objResult.document.readyState != 'complete') holdStart();",
    "});",
};

// The pieces' lines in order, each ended by newLine.
inline std::string ScriptText(std::initializer_list<ScriptPart> parts, std::string_view newLine) {
    std::string text;
    for (ScriptPart part : parts) {
        for (const char* line : part) {
            text.append(line).append(newLine);
        }
    }
    return text;
}

}  // namespace vantrel
