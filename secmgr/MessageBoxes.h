#pragma once
// The dialog's message boxes. The form's logic talks to this interface only, so it runs and is
// tested without a display; the Qt view supplies real message boxes.

#include <string>

namespace vantrel::secmgr {

enum class MessageIcon { None, Critical, Exclamation };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows text with the icon, the title and only an OK button; returns once it is dismissed.
    virtual void Show(const std::string& text, MessageIcon icon, const std::string& title) = 0;
};

}  // namespace vantrel::secmgr
