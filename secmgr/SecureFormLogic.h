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

// What the load step does when a stored period is missing, not numeric or out of range: every
// control takes its default, and then
enum class DefaultsStep {
    Store,  // they are stored at once and the administrator is told so (the dialog)
    Defer,  // they wait in the controls for Set (the terminal, which stores only what it may)
};

enum class LoadResult {
    Loaded,     // the stored settings are in the controls
    Defaulted,  // a period was unusable: the controls hold the defaults
    Failed,     // reading stopped at an error, which was shown; the controls hold what was read
};

// What the window does once Set has run.
struct SetOutcome {
    bool endProgram = false;
    // When Set stopped at an invalid value: the control that gets the focus, its text selected.
    std::string focusControl;
};

class SecureFormLogic {
  public:
    explicit SecureFormLogic(MessageBoxes& messages);

    // The load step. A stored period too large for a whole number is an error ("Overflow"):
    // nothing is stored then, and the controls read before it keep their values.
    LoadResult Load(DefaultsStep defaults = DefaultsStep::Store);
    SetOutcome Set();
    // Puts every control's default into it; nothing is stored.
    void Default();

    // A check box's value is "0" or "1", a text box's value its text.
    const std::string& Value(std::string_view control) const;
    void SetValue(std::string_view control, std::string value);

  private:
    void LoadFlags();
    void LoadLists();
    // Puts the stored period into its control; false when it was missing, not numeric or out of
    // range. Throws std::overflow_error when it is numeric but beyond a whole number.
    bool LoadPeriod(std::string_view control, std::string_view setting);
    // The first control whose value Set must refuse, after telling the administrator why.
    std::string FirstRefusedControl();
    void StoreAll();

    MessageBoxes& messages_;
    std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace vantrel::secmgr
