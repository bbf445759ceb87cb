#pragma once
// What the settings dialog does, without its window: it loads the stored settings into the
// controls' values (storing the defaults when a period is unusable), validates and stores them on
// Set, and restores the defaults on Default. The Qt view copies the controls to and from here.

#include <map>
#include <string>
#include <string_view>

#include "secmgr/MessageBoxes.h"

namespace vantrel::secmgr {

inline constexpr const char* kDialogTitle = "Farbale Security";

// What the window does once Set has run.
struct SetOutcome {
    bool endProgram = false;
    // When Set stopped at an invalid value: the control that gets the focus, its text selected.
    std::string focusControl;
};

class SecureFormLogic {
  public:
    explicit SecureFormLogic(MessageBoxes& messages);

    void Load();
    SetOutcome Set();
    // Puts every control's default into it; nothing is stored.
    void Default();

    // A check box's value is "0" or "1", a text box's value its text.
    const std::string& Value(std::string_view control) const;
    void SetValue(std::string_view control, std::string value);

  private:
    void LoadFlags();
    void LoadLists();
    // Puts the stored period into its control; false when it was missing or unusable.
    bool LoadPeriod(std::string_view control, std::string_view setting);
    // The first control whose value Set must refuse, after telling the administrator why.
    std::string FirstRefusedControl();
    void StoreAll();

    MessageBoxes& messages_;
    std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace vantrel::secmgr
