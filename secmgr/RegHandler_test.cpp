#include "secmgr/RegHandler.h"

#include <gtest/gtest.h>

#include "secmgr/TestSupport.h"

namespace vantrel::secmgr {
namespace {

using testing::ShownMessage;

// What is written reads back exactly in the web component (the round trip test); a key that
// cannot be made is the one failure only the writer sees.
TEST(RegHandlerTest, AKeyThatCannotBeCreatedIsReportedAndNothingIsStored) {
    testing::TemporaryRegistry registry;
    testing::RecordingMessageBoxes messages;
    registry.BlockKey("DisableMoveIntoZip");
    WriteSetting("DisableMoveIntoZip", "1", messages);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Cannot set Registry value",
                                                          MessageIcon::Exclamation, "Error"}}));
    EXPECT_THROW(ReadSetting("DisableMoveIntoZip"), std::runtime_error);  // nor read as empty
}

}  // namespace
}  // namespace vantrel::secmgr
