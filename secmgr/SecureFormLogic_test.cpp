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

TEST_F(SecureFormLogicTest, FirstRunStoresAndShowsTheDefaults) {
    form_.Load();

    EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{kDefaultsMessage});
    EXPECT_EQ(StoredSettings(), kDefaultsBySetting);
    EXPECT_EQ(form_.Value("chkDDFZ"), "1");
    EXPECT_EQ(form_.Value("chkDAZF"), "0");
    EXPECT_EQ(form_.Value("txtIFPL"), "\\wwwroot\\;\\ftproot\\");
    EXPECT_EQ(form_.Value("txtTimeOut"), "300");
}

TEST_F(SecureFormLogicTest, UsableSettingsLoadWithoutStoring) {
    StoreCustomSettings();
    registry_.Put("ExcludedFilePathList", "  \\secret\\ ");
    registry_.Put("IncludedFilePathList", " ");  // how an empty list is stored
    registry_.Put("DLLOperationWaitFor", "45.5");
    registry_.Put("DLLOperationTimeOut", "1e3");

    form_.Load();

    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(form_.Value("chkDAUF"), "1");
    EXPECT_EQ(form_.Value("chkDDFZ"), "0");
    EXPECT_EQ(form_.Value("txtEFPL"), "\\secret\\");
    EXPECT_EQ(form_.Value("txtIFPL"), "");
    EXPECT_EQ(form_.Value("txtWaitFor"), "46");
    EXPECT_EQ(form_.Value("txtTimeOut"), "1000");
    // Loading alone writes nothing back.
    EXPECT_EQ(registry_.Stored("ExcludedFilePathList"), "  \\secret\\ ");
}

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

// Every period text of the shared table: stored before opening, typed before Set. Both periods
// go through the same reading, so each test takes one of them.
class PeriodTextTest : public SecureFormLogicTest {
  protected:
    static bool Usable(const asp::testing::NumberTextCase& test) {
        return test.reading == asp::testing::NumberReading::Whole && test.whole >= 5 &&
               test.whole <= 65500;
    }
};

TEST_F(PeriodTextTest, OpeningReadsTheStoredTimeOutAsTheHostDoes) {
    const ShownMessage overflow{"Error: Overflow", MessageIcon::Critical, "Error"};
    StoreCustomSettings();
    for (const auto& test : asp::testing::kNumberTextCases) {
        SCOPED_TRACE("'" + std::string(test.text) + "'");
        registry_.Put("DLLOperationTimeOut", std::string(test.text));
        auto stored = StoredSettings();
        messages_.shown.clear();
        SecureFormLogic form(messages_);

        LoadResult result = form.Load();

        if (test.reading == asp::testing::NumberReading::Overflow) {
            // Loading stops at the error with what it has read; every stored value survives.
            EXPECT_EQ(result, LoadResult::Failed);
            EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{overflow});
            EXPECT_EQ(StoredSettings(), stored);
            EXPECT_EQ(form.Value("txtEFPL"), "\\secret\\");
            EXPECT_EQ(form.Value("txtWaitFor"), "60");
            EXPECT_EQ(form.Value("txtTimeOut"), "");
        } else if (Usable(test)) {
            EXPECT_EQ(result, LoadResult::Loaded);
            EXPECT_TRUE(messages_.shown.empty());
            EXPECT_EQ(form.Value("txtTimeOut"), std::to_string(test.whole));
            EXPECT_EQ(StoredSettings(), stored);
        } else {
            EXPECT_EQ(result, LoadResult::Defaulted);
            EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{kDefaultsMessage});
            EXPECT_EQ(StoredSettings(), kDefaultsBySetting);
            StoreCustomSettings();
        }
    }
}

TEST_F(PeriodTextTest, SetChecksTheTypedWaitPeriodAsTheHostDoes) {
    StoreCustomSettings();
    const auto stored = StoredSettings();
    for (const auto& test : asp::testing::kNumberTextCases) {
        std::string text(test.text);
        SCOPED_TRACE("'" + text + "'");
        messages_.shown.clear();
        SecureFormLogic form(messages_);
        form.Load();
        form.SetValue("txtWaitFor", text);

        SetOutcome outcome = form.Set();

        if (Usable(test)) {
            EXPECT_TRUE(messages_.shown.empty());
            EXPECT_TRUE(outcome.endProgram);
            // Stored as typed; the component rounds when it reads.
            EXPECT_EQ(registry_.Stored("DLLOperationWaitFor"), text);
            StoreCustomSettings();
            continue;
        }
        if (test.reading == asp::testing::NumberReading::Overflow) {
            EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{kOverflowMessage});
            EXPECT_TRUE(outcome.endProgram);
        } else {
            EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{kWaitForMessage});
            EXPECT_FALSE(outcome.endProgram);
            EXPECT_EQ(outcome.focusControl, "txtWaitFor");
        }
        EXPECT_EQ(StoredSettings(), stored);
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

// A setting that cannot be read stops the loading where it stands, and Set stores nothing over
// it: the administrator's list is never taken for an empty one and written back blank.
TEST_F(SecureFormLogicTest, AnUnreadableSettingIsNeitherLoadedNorStoredOver) {
    StoreCustomSettings();
    std::filesystem::remove_all(registry_.KeyFolder("IncludedFilePathList"));
    registry_.BlockKey("IncludedFilePathList");
    const auto stored = StoredSettings();
    const std::string error =
        "The setting IncludedFilePathList cannot be read; nothing was stored.";

    EXPECT_EQ(form_.Load(), LoadResult::Failed);
    EXPECT_EQ(form_.Value("txtEFPL"), "\\secret\\");  // read before it
    form_.SetValue("txtWaitFor", "30");
    form_.SetValue("txtTimeOut", "300");
    EXPECT_TRUE(form_.Set().endProgram);

    EXPECT_EQ(messages_.shown,
              (std::vector<ShownMessage>{
                  {"Error: " + error, MessageIcon::Critical, "Error"},
                  {"Cannot Save Settings\r\nError: " + error, MessageIcon::Critical, "Error"}}));
    EXPECT_EQ(StoredSettings(), stored);
}

}  // namespace
}  // namespace vantrel::secmgr
