#include "secmgr/SecureFormLogic.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/asp/NumberTextCases.h"
#include "secmgr/SettingControls.h"
#include "secmgr/TestSupport.h"

namespace vantrel::secmgr {
namespace {

using testing::RecordingMessageBoxes;
using testing::ShownMessage;
using testing::TemporaryRegistry;

// Every setting with its default; the values themselves are checked where the controls show them.
const std::map<std::string, std::string> kDefaultsBySetting = [] {
    std::map<std::string, std::string> defaults;
    for (const auto& entry : kSettingControls) {
        defaults.emplace(entry.setting, entry.defaultValue);
    }
    return defaults;
}();

const ShownMessage kDefaultsMessage{"Values have been set to the default", MessageIcon::None,
                                    "Farbale Security"};
const ShownMessage kWaitForMessage{"'Wait For' value must be number between 5 and 65500",
                                   MessageIcon::Critical, "Error"};
const ShownMessage kTimeOutMessage{"'Time Out' value must be number between 5 and 65500",
                                   MessageIcon::Critical, "Error"};
const ShownMessage kOverflowMessage{"Cannot Save Settings\r\nError: Overflow",
                                    MessageIcon::Critical, "Error"};

class SecureFormLogicTest : public ::testing::Test {
  protected:
    // A complete set of valid settings that differs from the defaults everywhere.
    void StoreCustomSettings() {
        registry_.Put("DisableAllUnzipFunctions", "1");
        registry_.Put("DisableAllZipFunctions", "1");
        registry_.Put("DisableDeleteFromZip", "0");
        registry_.Put("DisableEncryptZipFiles", "1");
        registry_.Put("DisableMoveIntoZip", "0");
        registry_.Put("DisableRecurseSubdirFiles", "1");
        registry_.Put("ExcludedFilePathList", "\\secret\\");
        registry_.Put("IncludedFilePathList", "\\data\\");
        registry_.Put("DLLOperationWaitFor", "60");
        registry_.Put("DLLOperationTimeOut", "600");
    }
    std::map<std::string, std::string> StoredSettings() const {
        std::map<std::string, std::string> stored;
        for (const auto& [setting, unused] : kDefaultsBySetting) {
            if (auto text = registry_.Stored(setting)) {
                stored[setting] = *text;
            }
        }
        return stored;
    }

    TemporaryRegistry registry_;
    RecordingMessageBoxes messages_;
    SecureFormLogic form_{messages_};
};

TEST_F(SecureFormLogicTest, OnlyAStoredOneChecksAFlag) {
    for (const char* stored : {"2", "true", "01", "1 ", "-1", ""}) {
        SCOPED_TRACE(stored);
        StoreCustomSettings();
        registry_.Put("DisableAllZipFunctions", stored);
        form_.Load();
        EXPECT_EQ(form_.Value("chkDAZF"), "0");

        EXPECT_TRUE(form_.Set().endProgram);
        EXPECT_EQ(registry_.Stored("DisableAllZipFunctions"), "0");
    }
}

// Wait For is checked before Time Out and nothing is stored until both are usable; then every
// setting is stored from its control, the periods as typed. The flags differ from their
// defaults, so a default stored in place of a control's value shows.
TEST_F(SecureFormLogicTest, SetChecksBothPeriodsThenStoresEveryControlAsTyped) {
    StoreCustomSettings();
    form_.Load();
    auto expected = StoredSettings();
    form_.SetValue("txtEFPL", "\\changed\\");
    form_.SetValue("txtWaitFor", "abc");
    form_.SetValue("txtTimeOut", "abc");
    EXPECT_EQ(form_.Set().focusControl, "txtWaitFor");
    form_.SetValue("txtWaitFor", "1e3");
    EXPECT_EQ(form_.Set().focusControl, "txtTimeOut");
    EXPECT_EQ(messages_.shown, (std::vector<ShownMessage>{kWaitForMessage, kTimeOutMessage}));
    EXPECT_EQ(StoredSettings(), expected);

    form_.SetValue("txtTimeOut", " 30.6 ");
    expected["ExcludedFilePathList"] = "\\changed\\";
    expected["DLLOperationWaitFor"] = "1e3";
    expected["DLLOperationTimeOut"] = " 30.6 ";
    EXPECT_TRUE(form_.Set().endProgram);
    EXPECT_EQ(StoredSettings(), expected);
}

// Every period text of the shared table, stored before opening (as the time-out) and typed before
// Set (as the wait period); both periods go through the same reading. A period is usable when it
// reads as a whole number of 5 to 65500 seconds; one beyond a whole number is an error of the step
// (the dialog's test shows what the window keeps then), and nothing is stored.
TEST_F(SecureFormLogicTest, PeriodsAreReadAsTheHostReadsThem) {
    using asp::testing::NumberReading;
    StoreCustomSettings();
    const auto custom = StoredSettings();
    for (const auto& test : asp::testing::kNumberTextCases) {
        const std::string text(test.text);
        SCOPED_TRACE("'" + text + "'");
        const bool overflow = test.reading == NumberReading::Overflow;
        const bool usable =
            test.reading == NumberReading::Whole && test.whole >= 5 && test.whole <= 65500;
        registry_.Put("DLLOperationTimeOut", text);
        auto stored = StoredSettings();
        messages_.shown.clear();
        SecureFormLogic opened(messages_);
        LoadResult loaded = opened.Load();
        if (overflow) {
            EXPECT_EQ(loaded, LoadResult::Failed);
            EXPECT_EQ(StoredSettings(), stored);
        } else if (usable) {
            EXPECT_EQ(loaded, LoadResult::Loaded);
            EXPECT_TRUE(messages_.shown.empty());
            EXPECT_EQ(opened.Value("txtTimeOut"), std::to_string(test.whole));
            EXPECT_EQ(StoredSettings(), stored);
        } else {
            EXPECT_EQ(loaded, LoadResult::Defaulted);
            EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{kDefaultsMessage});
            EXPECT_EQ(StoredSettings(), kDefaultsBySetting);
        }

        StoreCustomSettings();
        messages_.shown.clear();
        SecureFormLogic typed(messages_);
        typed.Load();
        typed.SetValue("txtWaitFor", text);
        SetOutcome outcome = typed.Set();
        auto expected = custom;
        if (usable) {
            // Stored as typed; the component rounds when it reads.
            expected["DLLOperationWaitFor"] = text;
            EXPECT_TRUE(messages_.shown.empty());
        } else {
            EXPECT_EQ(messages_.shown,
                      std::vector<ShownMessage>{overflow ? kOverflowMessage : kWaitForMessage});
        }
        EXPECT_EQ(outcome.endProgram, usable || overflow);
        EXPECT_EQ(outcome.focusControl, usable || overflow ? "" : "txtWaitFor");
        EXPECT_EQ(StoredSettings(), expected);
    }
}

TEST_F(SecureFormLogicTest, AListTooLongToReadBackIsRefused) {
    StoreCustomSettings();
    form_.Load();
    form_.SetValue("txtEFPL", std::string(1023, 'x'));

    SetOutcome outcome = form_.Set();

    EXPECT_FALSE(outcome.endProgram);
    EXPECT_EQ(outcome.focusControl, "txtEFPL");
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(registry_.Stored("ExcludedFilePathList"), "\\secret\\");

    std::string longest(1022, 'y');
    form_.SetValue("txtEFPL", "");
    form_.SetValue("txtIFPL", longest);
    EXPECT_TRUE(form_.Set().endProgram);
    SecureFormLogic reopened(messages_);
    reopened.Load();
    EXPECT_EQ(reopened.Value("txtIFPL"), longest);
}

}  // namespace
}  // namespace vantrel::secmgr
