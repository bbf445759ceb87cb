#include "secmgr/SecureFormLogic.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "secmgr/TestSupport.h"

namespace vantrel::secmgr {
namespace {

using testing::RecordingMessageBoxes;
using testing::ShownMessage;
using testing::TemporaryRegistry;

const std::map<std::string, std::string> kDefaultsBySetting = {
    {"DisableAllUnzipFunctions", "0"},
    {"DisableAllZipFunctions", "0"},
    {"DisableDeleteFromZip", "1"},
    {"DisableEncryptZipFiles", "0"},
    {"DisableMoveIntoZip", "1"},
    {"DisableRecurseSubdirFiles", "0"},
    {"ExcludedFilePathList", "\\winnt\\;\\windows\\"},
    {"IncludedFilePathList", "\\wwwroot\\;\\ftproot\\"},
    {"DLLOperationWaitFor", "30"},
    {"DLLOperationTimeOut", "300"},
};

const ShownMessage kDefaultsMessage{"Values have been set to the default", MessageIcon::None,
                                    "Farbale Security"};
const ShownMessage kWaitForMessage{"'Wait For' value must be number between 5 and 65500",
                                   MessageIcon::Critical, "Error"};
const ShownMessage kTimeOutMessage{"'Time Out' value must be number between 5 and 65500",
                                   MessageIcon::Critical, "Error"};
const ShownMessage kOverflowMessage{"Cannot Save Settings\r\nError: Overflow",
                                    MessageIcon::Critical, "Error"};
const ShownMessage kCannotSetMessage{"Cannot set Registry value", MessageIcon::Exclamation,
                                     "Error"};

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

TEST_F(SecureFormLogicTest, OneUnusablePeriodResetsEverySetting) {
    for (const char* unusable : {"4", "65501", "abc", "99999999999", ""}) {
        SCOPED_TRACE(unusable);
        StoreCustomSettings();
        registry_.Put("DLLOperationTimeOut", unusable);
        messages_.shown.clear();

        form_.Load();

        EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{kDefaultsMessage});
        EXPECT_EQ(StoredSettings(), kDefaultsBySetting);
        EXPECT_EQ(form_.Value("chkDAZF"), "0");
        EXPECT_EQ(form_.Value("txtEFPL"), "\\winnt\\;\\windows\\");
    }
}

TEST_F(SecureFormLogicTest, UsableSettingsLoadWithoutStoring) {
    StoreCustomSettings();
    registry_.Put("ExcludedFilePathList", "  \\secret\\ ");
    registry_.Put("DLLOperationWaitFor", "45.5");
    registry_.Put("DLLOperationTimeOut", "1e3");

    form_.Load();

    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(form_.Value("chkDAUF"), "1");
    EXPECT_EQ(form_.Value("chkDDFZ"), "0");
    EXPECT_EQ(form_.Value("txtEFPL"), "\\secret\\");
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

struct PeriodCase {
    const char* waitFor;
    const char* timeOut;
    std::optional<ShownMessage> refusal;
};

TEST_F(SecureFormLogicTest, SetValidatesThePeriodsWaitPeriodFirst) {
    const PeriodCase cases[] = {
        {"4", "300", kWaitForMessage},   {"65501", "300", kWaitForMessage},
        {"abc", "300", kWaitForMessage}, {"", "300", kWaitForMessage},
        {"30", "4", kTimeOutMessage},    {"30", "65501", kTimeOutMessage},
        {"30", "abc", kTimeOutMessage},  {"30", "", kTimeOutMessage},
        {"abc", "abc", kWaitForMessage}, {"5", "65500", std::nullopt},
        {"65500", "5", std::nullopt},    {"1e3", "30.6", std::nullopt},
        {" 30 ", "4.5e1", std::nullopt},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.waitFor) + " / " + test.timeOut);
        StoreCustomSettings();
        form_.Load();
        messages_.shown.clear();
        form_.SetValue("txtWaitFor", test.waitFor);
        form_.SetValue("txtTimeOut", test.timeOut);
        form_.SetValue("txtEFPL", "\\changed\\");

        SetOutcome outcome = form_.Set();

        if (test.refusal) {
            EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{*test.refusal});
            EXPECT_FALSE(outcome.endProgram);
            EXPECT_EQ(outcome.focusControl,
                      test.refusal == kWaitForMessage ? "txtWaitFor" : "txtTimeOut");
            EXPECT_EQ(registry_.Stored("ExcludedFilePathList"), "\\secret\\");
        } else {
            EXPECT_TRUE(messages_.shown.empty());
            EXPECT_TRUE(outcome.endProgram);
            // Stored as typed; the component rounds when it reads.
            EXPECT_EQ(registry_.Stored("DLLOperationWaitFor"), test.waitFor);
            EXPECT_EQ(registry_.Stored("DLLOperationTimeOut"), test.timeOut);
            EXPECT_EQ(registry_.Stored("ExcludedFilePathList"), "\\changed\\");
        }
    }
}

TEST_F(SecureFormLogicTest, CorrectingTheWaitPeriodRevealsTheTimeOutMessage) {
    StoreCustomSettings();
    form_.Load();
    form_.SetValue("txtWaitFor", "abc");
    form_.SetValue("txtTimeOut", "abc");
    EXPECT_EQ(form_.Set().focusControl, "txtWaitFor");
    form_.SetValue("txtWaitFor", "30");
    EXPECT_EQ(form_.Set().focusControl, "txtTimeOut");
    EXPECT_EQ(messages_.shown, (std::vector<ShownMessage>{kWaitForMessage, kTimeOutMessage}));
}

TEST_F(SecureFormLogicTest, APeriodBeyondAWholeNumberEndsWithoutStoring) {
    for (const char* control : {"txtWaitFor", "txtTimeOut"}) {
        SCOPED_TRACE(control);
        StoreCustomSettings();
        form_.Load();
        messages_.shown.clear();
        form_.SetValue("chkDAZF", "0");
        form_.SetValue(control, "99999999999");

        SetOutcome outcome = form_.Set();

        EXPECT_TRUE(outcome.endProgram);
        EXPECT_EQ(messages_.shown, std::vector<ShownMessage>{kOverflowMessage});
        EXPECT_EQ(registry_.Stored("DisableAllZipFunctions"), "1");
        EXPECT_EQ(registry_.Stored("DLLOperationWaitFor"), "60");
    }
}

TEST_F(SecureFormLogicTest, AnEmptyListIsStoredAsABlankAndReopensEmpty) {
    StoreCustomSettings();
    form_.Load();
    form_.SetValue("txtIFPL", "");
    EXPECT_TRUE(form_.Set().endProgram);
    EXPECT_EQ(registry_.Stored("IncludedFilePathList"), " ");

    SecureFormLogic reopened(messages_);
    reopened.Load();
    EXPECT_EQ(reopened.Value("txtIFPL"), "");
    EXPECT_TRUE(messages_.shown.empty());
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

TEST_F(SecureFormLogicTest, AFailingWriteIsReportedAndTheOthersAreStored) {
    registry_.BlockKey("DisableMoveIntoZip");
    registry_.BlockKey("DLLOperationWaitFor");
    form_.SetValue("chkDAZF", "1");
    form_.SetValue("txtEFPL", "\\x\\");
    form_.SetValue("txtIFPL", "\\y\\");
    form_.SetValue("txtWaitFor", "30");
    form_.SetValue("txtTimeOut", "300");

    SetOutcome outcome = form_.Set();

    EXPECT_TRUE(outcome.endProgram);
    EXPECT_EQ(messages_.shown, (std::vector<ShownMessage>{kCannotSetMessage, kCannotSetMessage}));
    auto stored = StoredSettings();
    EXPECT_EQ(stored.size(), 8u);
    EXPECT_EQ(stored.count("DisableMoveIntoZip"), 0u);
    EXPECT_EQ(stored["DisableAllZipFunctions"], "1");
    EXPECT_EQ(stored["DLLOperationTimeOut"], "300");
}

TEST_F(SecureFormLogicTest, DefaultRestoresTheControlsButStoresNothing) {
    StoreCustomSettings();
    form_.Load();
    form_.Default();

    for (const auto& [control, value] :
         std::map<std::string, std::string>{{"chkDAZF", "0"},
                                            {"chkDMIZ", "1"},
                                            {"txtEFPL", "\\winnt\\;\\windows\\"},
                                            {"txtWaitFor", "30"}}) {
        EXPECT_EQ(form_.Value(control), value) << control;
    }
    EXPECT_EQ(registry_.Stored("DisableMoveIntoZip"), "0");
    EXPECT_TRUE(messages_.shown.empty());
}

}  // namespace
}  // namespace vantrel::secmgr
