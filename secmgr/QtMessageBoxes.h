#pragma once
// Message boxes shown with Qt, modal over the dialog.

#include <QPointer>
#include <QWidget>

#include "secmgr/MessageBoxes.h"

namespace vantrel::secmgr {

class QtMessageBoxes : public MessageBoxes {
  public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace vantrel::secmgr
