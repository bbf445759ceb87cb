// The dialog stores, the web component reads: both must agree on every byte.
#include <gtest/gtest.h>

#include "component/policy/SettingsStore.h"
#include "secmgr/SecureFormLogic.h"
#include "secmgr/TestSupport.h"

namespace vantrel::secmgr {
namespace {

TEST(SettingsRoundTripTest, TheComponentReadsWhatTheDialogStored) {
    testing::TemporaryRegistry registry;
    testing::RecordingMessageBoxes messages;
    SecureFormLogic form(messages);
    form.Load();
    form.SetValue("chkDAZF", "1");
    form.SetValue("txtEFPL", "\\secret\\; \\d\xc3\xa9j\xc3\xa0\\");
    form.SetValue("txtIFPL", "");
    form.SetValue("txtWaitFor", "1e3");
    form.SetValue("txtTimeOut", "30.6");

    ASSERT_TRUE(form.Set().endProgram);

    EXPECT_EQ(ReadSettingText("DisableAllZipFunctions"), "1");
    EXPECT_EQ(ReadSettingText("DisableAllUnzipFunctions"), "0");
    EXPECT_EQ(ReadSettingText("DisableDeleteFromZip"), "1");
    EXPECT_EQ(ReadSettingText("ExcludedFilePathList"), "\\secret\\; \\d\xc3\xa9j\xc3\xa0\\");
    EXPECT_EQ(ReadSettingText("IncludedFilePathList"), " ");
    EXPECT_EQ(ReadSettingText("DLLOperationWaitFor"), "1e3");
    EXPECT_EQ(ReadSettingText("DLLOperationTimeOut"), "30.6");
}

}  // namespace
}  // namespace vantrel::secmgr
