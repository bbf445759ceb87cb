#pragma once
// The ten settings the dialog edits: the control that shows each, the setting it is stored under
// and the value the Default button puts into the control. Listed in the storing order.

#include <array>
#include <string_view>

namespace vantrel::secmgr {

enum class ControlKind { CheckBox, TextBox };

struct SettingControl {
    std::string_view control;
    std::string_view setting;
    ControlKind kind;
    // A check box's value is "0" (clear) or "1" (checked); a text box's is its text.
    std::string_view defaultValue;
};

inline constexpr std::string_view kChecked = "1";
inline constexpr std::string_view kCleared = "0";

inline constexpr std::array<SettingControl, 10> kSettingControls = {{
    {"chkDAUF", "DisableAllUnzipFunctions", ControlKind::CheckBox, kCleared},
    {"chkDAZF", "DisableAllZipFunctions", ControlKind::CheckBox, kCleared},
    {"chkDDFZ", "DisableDeleteFromZip", ControlKind::CheckBox, kChecked},
    {"chkDEZF", "DisableEncryptZipFiles", ControlKind::CheckBox, kCleared},
    {"chkDMIZ", "DisableMoveIntoZip", ControlKind::CheckBox, kChecked},
    {"chkDRSF", "DisableRecurseSubdirFiles", ControlKind::CheckBox, kCleared},
    {"txtEFPL", "ExcludedFilePathList", ControlKind::TextBox, "\\winnt\\;\\windows\\"},
    {"txtIFPL", "IncludedFilePathList", ControlKind::TextBox, "\\wwwroot\\;\\ftproot\\"},
    {"txtWaitFor", "DLLOperationWaitFor", ControlKind::TextBox, "30"},
    {"txtTimeOut", "DLLOperationTimeOut", ControlKind::TextBox, "300"},
}};

}  // namespace vantrel::secmgr
