#include "secmgr/TerminalCommands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "secmgr/SettingControls.h"
#include "secmgr/TestSupport.h"

namespace vantrel::secmgr {
namespace {

using testing::TemporaryRegistry;

const char* const kCustomListing =
    "DisableAllUnzipFunctions=0\n"
    "DisableAllZipFunctions=1\n"
    "DisableDeleteFromZip=1\n"
    "DisableEncryptZipFiles=0\n"
    "DisableMoveIntoZip=1\n"
    "DisableRecurseSubdirFiles=0\n"
    "ExcludedFilePathList=\\secret\\\n"
    "IncludedFilePathList=\\wwwroot\\\n"
    "DLLOperationWaitFor=60\n"
    "DLLOperationTimeOut=600\n";

class TerminalCommandsTest : public ::testing::Test {
  protected:
    struct Run {
        int exitCode;
        std::string out;
        std::string err;
    };
    static Run Command(std::vector<std::string> arguments) {
        std::ostringstream out, err;
        int exitCode = RunTerminalCommand(arguments, out, err, "vantrelsec");
        return {exitCode, out.str(), err.str()};
    }
    std::string Listing() const { return Command({"--list"}).out; }
    static Run SetCustomSettings() {
        return Command({"--set", "DisableAllZipFunctions=1", "ExcludedFilePathList=\\secret\\",
                        "IncludedFilePathList=\\wwwroot\\", "DLLOperationWaitFor=60",
                        "dlloperationtimeout=600"});
    }
    void StoreCustomSettings() { ASSERT_EQ(SetCustomSettings().exitCode, kExitSuccess); }

    TemporaryRegistry registry_;
};

TEST_F(TerminalCommandsTest, SetStoresAllTenWithTheDialogsDefaultsAndListShowsThem) {
    Run first = SetCustomSettings();
    EXPECT_EQ(first.exitCode, kExitSuccess);
    EXPECT_EQ(first.err, "");
    // Nothing was stored before, so the settings not given took their defaults.
    EXPECT_NE(first.out.find("stored with their defaults"), std::string::npos);

    Run list = Command({"--list"});
    EXPECT_EQ(list.exitCode, kExitSuccess);
    EXPECT_EQ(list.out, kCustomListing);

    Run second = Command({"--set", "DisableAllZipFunctions=0", "IncludedFilePathList="});
    EXPECT_EQ(second.exitCode, kExitSuccess);
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(registry_.Stored("DisableAllZipFunctions"), "0");
    EXPECT_EQ(registry_.Stored("IncludedFilePathList"), " ");
    EXPECT_EQ(registry_.Stored("ExcludedFilePathList"), "\\secret\\");
}

TEST_F(TerminalCommandsTest, RefusedValuesStoreNothing) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"--set", "DisableAllZipFunctions=0", "DLLOperationWaitFor=4"},
         kExitRefused,
         "'Wait For' value must be number between 5 and 65500\n"},
        {{"--set", "DisableMoveIntoZip=true"}, kExitRefused, "DisableMoveIntoZip must be 0 or 1\n"},
        {{"--set", "ExcludedFilePathList=\\a\\\n\\b\\"},
         kExitRefused,
         "ExcludedFilePathList must not contain control characters\n"},
        {{"--set", "NoSuchSetting=1"}, kExitUsage, "not a setting: 'NoSuchSetting=1'"},
        {{"--set", "DisableAllZipFunctions"}, kExitUsage, "not a setting"},
        {{"--set"}, kExitUsage, "--set needs at least one NAME=VALUE"},
        {{"--defaults", "now"}, kExitUsage, "unexpected 'now' after --defaults"},
        {{"--lst"}, kExitUsage, "unknown option '--lst'"},
    };
    StoreCustomSettings();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments.back());
        Run run = Command(test.arguments);
        EXPECT_EQ(run.exitCode, test.exitCode);
        if (test.exitCode == kExitUsage) {
            EXPECT_NE(run.err.find("vantrelsec: " + test.err), std::string::npos) << run.err;
        } else {
            EXPECT_EQ(run.err, test.err);
        }
        EXPECT_EQ(Listing(), kCustomListing);
    }
}

TEST_F(TerminalCommandsTest, AFirstRefusalLeavesAnEmptyStoreEmpty) {
    EXPECT_EQ(Command({"--set", "DLLOperationWaitFor=4"}).exitCode, kExitRefused);
    std::string nothingStored;
    for (const auto& entry : kSettingControls) {
        nothingStored += std::string(entry.setting) + " (not set)\n";
    }
    EXPECT_EQ(Listing(), nothingStored);
}

// A setting that cannot be read is never taken for an empty one and stored over blank: --set
// stores nothing, and --list names it and fails (while it shows one stored empty as such).
TEST_F(TerminalCommandsTest, AnUnreadableSettingIsNeitherStoredOverNorListed) {
    StoreCustomSettings();
    registry_.Put("ExcludedFilePathList", "");
    std::filesystem::remove_all(registry_.KeyFolder("IncludedFilePathList"));
    registry_.BlockKey("IncludedFilePathList");
    const std::string error =
        "The setting IncludedFilePathList cannot be read; nothing was stored.";

    Run set = Command({"--set", "DLLOperationWaitFor=90", "DLLOperationTimeOut=600"});
    EXPECT_EQ(set.exitCode, kExitRefused);
    EXPECT_EQ(set.err, "Error: " + error + "\nCannot Save Settings\nError: " + error + "\n");
    EXPECT_EQ(registry_.Stored("DLLOperationWaitFor"), "60");

    Run list = Command({"--list"});
    EXPECT_EQ(list.exitCode, kExitRefused);
    // The lists' lines: the one stored empty as such, the unreadable one left out.
    EXPECT_NE(list.out.find("\nExcludedFilePathList=\nDLLOperationWaitFor=60\n"), std::string::npos)
        << list.out;
    EXPECT_EQ(list.err, error + "\n");
}

TEST_F(TerminalCommandsTest, AStoredOverflowIsReportedAndReplacedOnlyWhenGiven) {
    StoreCustomSettings();
    registry_.Put("DLLOperationWaitFor", "99999999999");
    // Loading stops at the overflow, as in the dialog, so the time-out is not known either.
    Run partial = Command({"--set", "DLLOperationWaitFor=90"});
    EXPECT_EQ(partial.exitCode, kExitRefused);
    EXPECT_EQ(partial.err,
              "Error: Overflow\n'Time Out' value must be number between 5 and 65500\n");
    EXPECT_EQ(registry_.Stored("DLLOperationWaitFor"), "99999999999");

    Run both = Command({"--set", "DLLOperationWaitFor=90", "DLLOperationTimeOut=600"});
    EXPECT_EQ(both.exitCode, kExitSuccess);
    EXPECT_EQ(registry_.Stored("DLLOperationWaitFor"), "90");
    EXPECT_EQ(registry_.Stored("ExcludedFilePathList"), "\\secret\\");
}

TEST_F(TerminalCommandsTest, DefaultsStoresTheDialogsDefaults) {
    StoreCustomSettings();
    Run defaults = Command({"--defaults"});
    EXPECT_EQ(defaults.exitCode, kExitSuccess);
    EXPECT_EQ(defaults.out, "Values have been set to the default\n");
    for (const auto& entry : kSettingControls) {
        EXPECT_EQ(registry_.Stored(std::string(entry.setting)), std::string(entry.defaultValue));
    }
}

TEST_F(TerminalCommandsTest, OnlyDoubleDashArgumentsAreForTheTerminal) {
    EXPECT_FALSE(WantsTerminal({}));
    EXPECT_FALSE(WantsTerminal({"-platform", "offscreen"}));
    EXPECT_TRUE(WantsTerminal({"--list"}));
    EXPECT_TRUE(WantsTerminal({"-h"}));
    EXPECT_TRUE(WantsTerminal({"-style", "fusion", "--bogus"}));
}

}  // namespace
}  // namespace vantrel::secmgr
