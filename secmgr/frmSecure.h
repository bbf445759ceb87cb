#pragma once
// The settings dialog's window: every control at its place, with its caption, access key and tool
// tip, in tab order. It only shows and collects the values; SecureFormLogic decides what they mean.

#include <QDialog>

#include "secmgr/SecureFormLogic.h"

namespace vantrel::secmgr {

// Positions are given in twips; the window shows them at 15 twips a pixel.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 4740;
inline constexpr int kClientHeightTwips = 5325;

class frmSecure : public QDialog {
    Q_OBJECT

  public:
    explicit frmSecure(SecureFormLogic& logic, QWidget* parent = nullptr);

    // Runs the load step and shows its values; call it once before the window is shown.
    void LoadSettings();

  private:
    void BuildControls();
    void ConnectButtons();
    void OnSet();
    void OnDefault();
    // Copies the values between the logic and the controls.
    void ShowValues();
    void TakeValues();

    SecureFormLogic& logic_;
};

}  // namespace vantrel::secmgr
