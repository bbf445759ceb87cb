// Drives the real dialog window with the keyboard, on Qt's offscreen platform.

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <tuple>

#include "secmgr/QtMessageBoxes.h"
#include "secmgr/TestSupport.h"
#include "secmgr/frmSecure.h"

namespace vantrel::secmgr {

using testing::RecordingMessageBoxes;
using testing::TemporaryRegistry;

class FrmSecureTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void opensWithTitleAndTips();
    void tabVisitsTheControlsInOrder();
    void accessKeysReachTheirControls_data();
    void accessKeysReachTheirControls();
    void accessKeyDefaultRestoresTheDefaults();
    void enterStoresAndEnds();
    void enterWithAnInvalidPeriodSelectsIt();
    void escapeEndsWithoutStoring();
    void aStoredOverflowOpensWithTheStoredValuesKept();
    void messageBoxesCarryTextIconAndTitle_data();
    void messageBoxesCarryTextIconAndTitle();

  private:
    void OpenDialog();
    template <typename Control>
    Control* Find(const char* name) {
        auto* control = dialog_->findChild<Control*>(name);
        if (!control) {
            qFatal("no control %s", name);
        }
        return control;
    }
    // A file in the folder for the screenshots of a run, which is made if need be.
    static QString OutputFile(const QString& name) {
        QString folder = qEnvironmentVariable("VANTREL_TEST_OUTPUT", QDir::currentPath());
        QDir().mkpath(folder);
        return QDir(folder).filePath(name);
    }
    QString FocusedName() const {
        QWidget* focused = QApplication::focusWidget();
        return focused ? focused->objectName() : QString();
    }

    std::unique_ptr<TemporaryRegistry> registry_;
    std::unique_ptr<RecordingMessageBoxes> messages_;
    std::unique_ptr<SecureFormLogic> logic_;
    std::unique_ptr<frmSecure> dialog_;
};

void FrmSecureTest::init() {
    registry_ = std::make_unique<TemporaryRegistry>();
    messages_ = std::make_unique<RecordingMessageBoxes>();
    registry_->Put("DisableAllZipFunctions", "1");
    // The lists as an administrator may have stored them: blanks around, and empty as one blank.
    registry_->Put("ExcludedFilePathList", "  \\secret\\ ");
    registry_->Put("IncludedFilePathList", " ");
    registry_->Put("DLLOperationWaitFor", "60");
    registry_->Put("DLLOperationTimeOut", "600");
    OpenDialog();
    QVERIFY(messages_->shown.empty());
}

void FrmSecureTest::cleanup() {
    dialog_.reset();
    logic_.reset();
    messages_.reset();
    registry_.reset();
}

// Opens a new dialog on what is stored now.
void FrmSecureTest::OpenDialog() {
    dialog_.reset();
    logic_ = std::make_unique<SecureFormLogic>(*messages_);
    dialog_ = std::make_unique<frmSecure>(*logic_);
    dialog_->LoadSettings();
    dialog_->show();
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
}

// The window as it opens; its picture is kept for a look by eye. The stored values it shows are
// checked where they matter (overflow, Enter, Esc).
void FrmSecureTest::opensWithTitleAndTips() {
    QCOMPARE(dialog_->windowTitle(), QString("Farbale Security"));
    QCOMPARE(Find<QPushButton>("cmdSet")->toolTip(),
             QString("Update the Registry with these values."));
    QVERIFY(dialog_->grab().save(OutputFile("frmSecure.png")));
}

void FrmSecureTest::tabVisitsTheControlsInOrder() {
    const QStringList order = {"chkDAZF", "chkDAUF",   "chkDMIZ",    "chkDEZF",    "chkDDFZ",
                               "chkDRSF", "txtEFPL",   "txtIFPL",    "txtWaitFor", "txtTimeOut",
                               "cmdSet",  "cmdCancel", "cmdDefault", "chkDAZF"};
    QCOMPARE(FocusedName(), order.first());
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(FocusedName(), order[i]);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(FocusedName(), QString("cmdDefault"));
}

void FrmSecureTest::accessKeysReachTheirControls_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    const std::tuple<Qt::Key, const char*, const char*> keys[] = {
        {Qt::Key_Z, "chkDAZF", "DisableAll&ZipFunctions"},
        {Qt::Key_U, "chkDAUF", "DisableAll&UnzipFunctions"},
        {Qt::Key_M, "chkDMIZ", "Disable&MoveIntoZip"},
        {Qt::Key_E, "chkDEZF", "Disable&EncryptZipFiles"},
        {Qt::Key_F, "chkDDFZ", "DisableDelete&FromZip"},
        {Qt::Key_R, "chkDRSF", "Disable&RecurseSubdirFiles"},
        {Qt::Key_L, "txtEFPL", "ExcludedFilePath&List (separate entries with a ';' semi-colon)"},
        {Qt::Key_I, "txtIFPL", "&IncludedFilePathList (separate entries with a ';' semi-colon)"},
        {Qt::Key_W, "txtWaitFor", "Maximum &wait period for component to be available"},
        {Qt::Key_T, "txtTimeOut", "&Timeout period for all zip or unzip operations"}};
    for (const auto& [key, control, caption] : keys) {
        QTest::newRow(control) << int(key) << QString(control) << QString(caption);
    }
}

// The caption is the check box's own or that of the label before the text box. A check box's key
// also toggles it.
void FrmSecureTest::accessKeysReachTheirControls() {
    QFETCH(int, key);
    QFETCH(QString, control);
    QFETCH(QString, caption);
    auto* box = dialog_->findChild<QCheckBox*>(control);
    QString shown = box ? box->text() : QString();
    for (auto* label : dialog_->findChildren<QLabel*>()) {
        if (label->buddy() && label->buddy()->objectName() == control) {
            shown = label->text();
        }
    }
    QCOMPARE(shown, caption);
    // Start from a control that none of the keys lead to.
    Find<QPushButton>("cmdDefault")->setFocus();
    bool checkedBefore = box && box->isChecked();

    QTest::keyClick(dialog_.get(), Qt::Key(key), Qt::AltModifier);

    QTRY_COMPARE(FocusedName(), control);
    if (box) {
        QTRY_COMPARE(box->isChecked(), !checkedBefore);
    }
    QVERIFY(dialog_->isVisible());
}

void FrmSecureTest::accessKeyDefaultRestoresTheDefaults() {
    QTest::keyClick(dialog_.get(), Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(Find<QLineEdit>("txtWaitFor")->text(), QString("30"));
    QVERIFY(!Find<QCheckBox>("chkDAZF")->isChecked());
    QVERIFY(Find<QCheckBox>("chkDMIZ")->isChecked());
    QCOMPARE(Find<QLineEdit>("txtEFPL")->text(), QString("\\winnt\\;\\windows\\"));
    QVERIFY(dialog_->isVisible());
    QCOMPARE(registry_->Stored("DLLOperationWaitFor"), std::optional<std::string>("60"));
}

void FrmSecureTest::enterStoresAndEnds() {
    auto* waitFor = Find<QLineEdit>("txtWaitFor");
    waitFor->setFocus();
    waitFor->selectAll();
    QTest::keyClicks(waitFor, "1e3");
    QTest::keyClick(waitFor, Qt::Key_Return);

    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    QVERIFY(!dialog_->isVisible());
    QCOMPARE(registry_->Stored("DLLOperationWaitFor"), std::optional<std::string>("1e3"));
    QCOMPARE(registry_->Stored("DisableAllZipFunctions"), std::optional<std::string>("1"));
    QCOMPARE(registry_->Stored("DisableMoveIntoZip"), std::optional<std::string>("0"));
}

void FrmSecureTest::enterWithAnInvalidPeriodSelectsIt() {
    auto* timeOut = Find<QLineEdit>("txtTimeOut");
    timeOut->setFocus();
    timeOut->selectAll();
    QTest::keyClicks(timeOut, "4");
    Find<QCheckBox>("chkDRSF")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);

    QVERIFY(dialog_->isVisible());
    QCOMPARE(messages_->shown.size(), size_t(1));
    QCOMPARE(messages_->shown[0].text,
             std::string("'Time Out' value must be number between 5 and 65500"));
    QCOMPARE(FocusedName(), QString("txtTimeOut"));
    QCOMPARE(timeOut->selectedText(), QString("4"));
    QCOMPARE(registry_->Stored("DLLOperationTimeOut"), std::optional<std::string>("600"));
}

// Nothing is written back, not even the lists as the window shows them.
void FrmSecureTest::escapeEndsWithoutStoring() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // clears chkDAZF
    Find<QLineEdit>("txtEFPL")->setText("\\changed\\");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);

    QCOMPARE(dialog_->result(), int(QDialog::Rejected));
    QVERIFY(!dialog_->isVisible());
    QCOMPARE(registry_->Stored("DisableAllZipFunctions"), std::optional<std::string>("1"));
    QCOMPARE(registry_->Stored("ExcludedFilePathList"),
             std::optional<std::string>("  \\secret\\ "));
    QCOMPARE(registry_->Stored("DisableMoveIntoZip"), std::nullopt);
}

void FrmSecureTest::aStoredOverflowOpensWithTheStoredValuesKept() {
    registry_->Put("DLLOperationTimeOut", "99999999999");
    OpenDialog();

    QCOMPARE(messages_->shown.size(), size_t(1));
    QCOMPARE(messages_->shown[0].text, std::string("Error: Overflow"));
    QVERIFY(Find<QCheckBox>("chkDAZF")->isChecked());
    QCOMPARE(Find<QLineEdit>("txtEFPL")->text(), QString("\\secret\\"));
    QCOMPARE(Find<QLineEdit>("txtIFPL")->text(), QString());
    QCOMPARE(Find<QLineEdit>("txtWaitFor")->text(), QString("60"));
    QCOMPARE(Find<QLineEdit>("txtTimeOut")->text(), QString());
    QVERIFY(dialog_->grab().save(OutputFile("frmSecure-overflow.png")));
}

void FrmSecureTest::messageBoxesCarryTextIconAndTitle_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("expectedIcon");
    QTest::newRow("defaults") << "Values have been set to the default" << int(MessageIcon::None)
                              << "Farbale Security"
                              << "Values have been set to the default" << int(QMessageBox::NoIcon);
    QTest::newRow("overflow") << "Cannot Save Settings\r\nError: Overflow"
                              << int(MessageIcon::Critical) << "Error"
                              << "Cannot Save Settings\nError: Overflow"
                              << int(QMessageBox::Critical);
    QTest::newRow("write") << "Cannot set Registry value" << int(MessageIcon::Exclamation)
                           << "Error"
                           << "Cannot set Registry value" << int(QMessageBox::Warning);
}

void FrmSecureTest::messageBoxesCarryTextIconAndTitle() {
    QFETCH(QString, text);
    QFETCH(int, icon);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    QFETCH(int, expectedIcon);
    QtMessageBoxes boxes;
    boxes.SetParent(dialog_.get());
    QString seenText, seenTitle;
    int seenIcon = -1;
    int buttons = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        poll.stop();
        seenText = box->text();
        seenTitle = box->windowTitle();
        seenIcon = box->icon();
        buttons = int(box->buttons().size());
        box->grab().save(OutputFile(QString("message-%1.png").arg(QTest::currentDataTag())));
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(20);

    boxes.Show(text.toStdString(), MessageIcon(icon), title.toStdString());

    QCOMPARE(seenText, shown);
    QCOMPARE(seenTitle, title);
    QCOMPARE(seenIcon, expectedIcon);
    QCOMPARE(buttons, 1);
}

}  // namespace vantrel::secmgr

QTEST_MAIN(vantrel::secmgr::FrmSecureTest)
#include "frmSecure_qtest.moc"
