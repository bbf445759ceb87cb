#include "secmgr/RegHandler.h"

#include <gtest/gtest.h>

#include "secmgr/TestSupport.h"

namespace vantrel::secmgr {
namespace {

using testing::RecordingMessageBoxes;
using testing::ShownMessage;
using testing::TemporaryRegistry;

class RegHandlerTest : public ::testing::Test {
  protected:
    TemporaryRegistry registry_;
    RecordingMessageBoxes messages_;
};

TEST_F(RegHandlerTest, WhatIsWrittenIsReadBackExactly) {
    const std::string texts[] = {"0",
                                 " ",
                                 "  padded  ",
                                 "\\winnt\\;\\windows\\",
                                 "1e3",
                                 std::string(1022, 'z'),
                                 "caf\xc3\xa9\\",
                                 ""};
    for (const auto& text : texts) {
        WriteSetting("ExcludedFilePathList", text, messages_);
        EXPECT_EQ(ReadSetting("ExcludedFilePathList"), text);
    }
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(registry_.Stored("ExcludedFilePathList"), "");
}

TEST_F(RegHandlerTest, MissingOrOverlongSettingsReadAsEmpty) {
    EXPECT_EQ(ReadSetting("DLLOperationWaitFor"), "");

    std::filesystem::create_directories(registry_.KeyFolder("DLLOperationTimeOut"));
    EXPECT_EQ(ReadSetting("DLLOperationTimeOut"), "");

    registry_.Put("IncludedFilePathList", std::string(1023, 'a'));
    EXPECT_EQ(ReadSetting("IncludedFilePathList"), "");
}

TEST_F(RegHandlerTest, KeyNamesMatchWithoutRegardToCase) {
    registry_.Put("disablealLZIPfunctions", "1");
    EXPECT_EQ(ReadSetting("DisableAllZipFunctions"), "1");
    WriteSetting("DisableAllZipFunctions", "0", messages_);
    EXPECT_EQ(registry_.Stored("disablealLZIPfunctions"), "0");
}

TEST_F(RegHandlerTest, AKeyThatCannotBeCreatedIsReportedAndNothingIsStored) {
    registry_.BlockKey("DisableMoveIntoZip");
    WriteSetting("DisableMoveIntoZip", "1", messages_);
    EXPECT_EQ(messages_.shown, (std::vector<ShownMessage>{{"Cannot set Registry value",
                                                           MessageIcon::Exclamation, "Error"}}));
    EXPECT_THROW(ReadSetting("DisableMoveIntoZip"), std::runtime_error);  // nor read as empty
}

}  // namespace
}  // namespace vantrel::secmgr
