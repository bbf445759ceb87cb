#include "secmgr/frmSecure.h"

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "secmgr/SettingControls.h"

namespace vantrel::secmgr {

namespace {

enum class Kind { CheckBox, Label, TextBox, Button };

struct ControlLayout {
    Kind kind;
    const char* name;
    const char* caption;
    const char* toolTip;
    int left, top, width, height;  // twips
};

// In tab order. A label's access key moves the focus to the control that follows it.
constexpr ControlLayout kLayout[] = {
    {Kind::CheckBox, "chkDAZF", "DisableAll&ZipFunctions",
     "No Zip operations of any type will be permitted when checked.", 450, 180, 2850, 255},
    {Kind::CheckBox, "chkDAUF", "DisableAll&UnzipFunctions",
     "No Unzip operations of any type will be permitted when checked.", 450, 540, 2850, 255},
    {Kind::CheckBox, "chkDMIZ", "Disable&MoveIntoZip",
     "Users will not be able to set the option to delete the original files after zipping when "
     "checked.",
     450, 900, 2850, 255},
    {Kind::CheckBox, "chkDEZF", "Disable&EncryptZipFiles",
     "Users will not be able to password encrypt files they add to a zip file when checked.", 450,
     1260, 2850, 255},
    {Kind::CheckBox, "chkDDFZ", "DisableDelete&FromZip",
     "Users will not be able to delete files from any existing zip file when checked.", 450, 1620,
     2850, 255},
    {Kind::CheckBox, "chkDRSF", "Disable&RecurseSubdirFiles",
     "Users will not be able to set the option to include files from all subdirectories when "
     "checked.",
     450, 1980, 2850, 255},
    {Kind::Label, "lblEFPL", "ExcludedFilePath&List (separate entries with a ';' semi-colon)",
     nullptr, 270, 2430, 4335, 195},
    {Kind::TextBox, "txtEFPL", nullptr,
     "Any file paths or file names which these entries fully or partially match will be excluded "
     "from all zip or unzip operations.",
     270, 2700, 4155, 285},
    {Kind::Label, "Label5", "&IncludedFilePathList (separate entries with a ';' semi-colon)",
     nullptr, 270, 3150, 4335, 195},
    {Kind::TextBox, "txtIFPL", nullptr,
     "Only file paths or file names which fully or partially match these entries can be used in "
     "all zip or unzip operations.",
     270, 3420, 4155, 285},
    {Kind::Label, "Label2", "Maximum &wait period for component to be available", nullptr, 270,
     3870, 4335, 195},
    {Kind::TextBox, "txtWaitFor", nullptr,
     "Only one zip and one unzip operation can run concurrently. This sets the maximum period for "
     "which requests to use the component will be queued.",
     270, 4140, 1095, 285},
    {Kind::Label, "Label3", "seconds", nullptr, 1440, 4170, 1365, 195},
    {Kind::Label, "Label1", "&Timeout period for all zip or unzip operations", nullptr, 270, 4590,
     4335, 195},
    {Kind::TextBox, "txtTimeOut", nullptr,
     "The maximum time that any zip or unzip operation can run before being stopped in order to "
     "run the next one in the queue.",
     270, 4860, 1095, 285},
    {Kind::Label, "Label4", "seconds", nullptr, 1440, 4890, 1365, 195},
    {Kind::Button, "cmdSet", "&Set", "Update the Registry with these values.", 3780, 180, 735, 375},
    {Kind::Button, "cmdCancel", "Cancel", "Exit without updating the registry.", 3780, 630, 735,
     375},
    {Kind::Button, "cmdDefault", "&Default", nullptr, 3780, 1620, 735, 375},
};

int Pixels(int twips) {
    return twips / kTwipsPerPixel;
}

// The captions were laid out for a small sans-serif face of 11 pixels; wider faces would clip
// the longer labels, so a narrow one is preferred where it is installed.
QFont DialogFont() {
    QFont font(QStringList{"Liberation Sans", "Arial", "Helvetica", "DejaVu Sans"});
    font.setPixelSize(11);
    return font;
}

QWidget* CreateControl(const ControlLayout& layout, QWidget* parent) {
    QString caption = QString::fromUtf8(layout.caption ? layout.caption : "");
    switch (layout.kind) {
        case Kind::CheckBox:
            return new QCheckBox(caption, parent);
        case Kind::Label:
            return new QLabel(caption, parent);
        case Kind::TextBox:
            return new QLineEdit(parent);
        case Kind::Button:
            return new QPushButton(caption, parent);
    }
    return nullptr;
}

}  // namespace

frmSecure::frmSecure(SecureFormLogic& logic, QWidget* parent) : QDialog(parent), logic_(logic) {
    setObjectName("frmSecure");
    setWindowTitle(kDialogTitle);
    setFont(DialogFont());
    setFixedSize(Pixels(kClientWidthTwips), Pixels(kClientHeightTwips));
    BuildControls();
    ConnectButtons();
}

void frmSecure::BuildControls() {
    QLabel* labelAwaitingBuddy = nullptr;
    QWidget* previousInTabOrder = nullptr;
    for (const auto& layout : kLayout) {
        QWidget* control = CreateControl(layout, this);
        control->setObjectName(layout.name);
        control->setGeometry(Pixels(layout.left), Pixels(layout.top), Pixels(layout.width),
                             Pixels(layout.height));
        if (layout.toolTip) {
            control->setToolTip(QString::fromUtf8(layout.toolTip));
        }
        if (labelAwaitingBuddy) {
            labelAwaitingBuddy->setBuddy(control);
            labelAwaitingBuddy = nullptr;
        }
        if (auto* label = qobject_cast<QLabel*>(control)) {
            if (label->text().contains('&')) {
                labelAwaitingBuddy = label;
            }
            continue;
        }
        if (previousInTabOrder) {
            setTabOrder(previousInTabOrder, control);
        }
        previousInTabOrder = control;
    }
    auto* set = findChild<QPushButton*>("cmdSet");
    set->setDefault(true);
}

void frmSecure::ConnectButtons() {
    connect(findChild<QPushButton*>("cmdSet"), &QPushButton::clicked, this, &frmSecure::OnSet);
    connect(findChild<QPushButton*>("cmdDefault"), &QPushButton::clicked, this,
            &frmSecure::OnDefault);
    // Cancel, Esc and closing the window all end the program without storing anything.
    connect(findChild<QPushButton*>("cmdCancel"), &QPushButton::clicked, this, &QDialog::reject);
}

void frmSecure::LoadSettings() {
    logic_.Load();
    ShowValues();
}

void frmSecure::OnSet() {
    TakeValues();
    SetOutcome outcome = logic_.Set();
    ShowValues();
    if (outcome.endProgram) {
        accept();
        return;
    }
    if (auto* box = findChild<QLineEdit*>(QString::fromUtf8(outcome.focusControl.c_str()))) {
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
    }
}

void frmSecure::OnDefault() {
    logic_.Default();
    ShowValues();
}

void frmSecure::ShowValues() {
    for (const auto& entry : kSettingControls) {
        QString name = QString::fromUtf8(entry.control.data(), entry.control.size());
        const std::string& value = logic_.Value(entry.control);
        if (entry.kind == ControlKind::CheckBox) {
            findChild<QCheckBox*>(name)->setChecked(value == kChecked);
        } else {
            findChild<QLineEdit*>(name)->setText(QString::fromStdString(value));
        }
    }
}

void frmSecure::TakeValues() {
    for (const auto& entry : kSettingControls) {
        QString name = QString::fromUtf8(entry.control.data(), entry.control.size());
        if (entry.kind == ControlKind::CheckBox) {
            bool checked = findChild<QCheckBox*>(name)->isChecked();
            logic_.SetValue(entry.control, std::string(checked ? kChecked : kCleared));
        } else {
            logic_.SetValue(entry.control, findChild<QLineEdit*>(name)->text().toStdString());
        }
    }
}

}  // namespace vantrel::secmgr
