#include "secmgr/SecureFormLogic.h"

#include <cstdint>
#include <optional>
#include <stdexcept>

#include "platform/asp/HostConversions.h"
#include "platform/text/TextPieces.h"
#include "secmgr/RegHandler.h"
#include "secmgr/SettingControls.h"

namespace vantrel::secmgr {

using platform::TrimBlanks;

namespace {

constexpr std::int32_t kShortestPeriod = 5;
constexpr std::int32_t kLongestPeriod = 65500;
// The readers take at most 1022 bytes; a longer list would read back as empty, which lifts every
// restriction it was meant to impose.
constexpr size_t kLongestList = 1022;

struct PeriodCheck {
    std::string_view control;
    const char* message;
};
constexpr PeriodCheck kPeriodChecks[] = {
    {"txtWaitFor", "'Wait For' value must be number between 5 and 65500"},
    {"txtTimeOut", "'Time Out' value must be number between 5 and 65500"},
};

struct ListCheck {
    std::string_view control;
    const char* message;
};
constexpr ListCheck kListChecks[] = {
    {"txtEFPL", "'Excluded File Path List' must not be longer than 1022 characters"},
    {"txtIFPL", "'Included File Path List' must not be longer than 1022 characters"},
};

bool InRange(std::int32_t seconds) {
    return seconds >= kShortestPeriod && seconds <= kLongestPeriod;
}

// A period's text as a whole number of seconds, 0 when it is not numeric. A numeric text beyond a
// 32-bit whole number cannot be converted at all: that is an error of the step that reads it
// (saving or loading), not an invalid entry, and it must not pass for a missing value.
std::int32_t PeriodSeconds(const std::string& text) {
    if (!asp::IsNumeric(text)) {
        return 0;
    }
    std::optional<std::int32_t> seconds = asp::ToWholeNumber(text);
    if (!seconds) {
        throw std::overflow_error("Overflow");
    }
    return *seconds;
}

}  // namespace

SecureFormLogic::SecureFormLogic(MessageBoxes& messages) : messages_(messages) {
    for (const auto& entry : kSettingControls) {
        values_.emplace(entry.control, entry.kind == ControlKind::CheckBox ? kCleared : "");
    }
}

LoadResult SecureFormLogic::Load(DefaultsStep defaults) {
    try {
        LoadFlags();
        LoadLists();
        bool waitForUsable = LoadPeriod("txtWaitFor", "DLLOperationWaitFor");
        bool timeOutUsable = LoadPeriod("txtTimeOut", "DLLOperationTimeOut");
        if (waitForUsable && timeOutUsable) {
            return LoadResult::Loaded;
        }
        Default();
        if (defaults == DefaultsStep::Store) {
            StoreAll();
            messages_.Show("Values have been set to the default", MessageIcon::None, kDialogTitle);
        }
        return LoadResult::Defaulted;
    } catch (const std::exception& error) {
        messages_.Show(std::string("Error: ") + error.what(), MessageIcon::Critical, "Error");
        return LoadResult::Failed;
    }
}

void SecureFormLogic::LoadFlags() {
    for (const auto& entry : kSettingControls) {
        if (entry.kind == ControlKind::CheckBox) {
            bool set = ReadSetting(std::string(entry.setting)) == kChecked;
            SetValue(entry.control, std::string(set ? kChecked : kCleared));
        }
    }
}

void SecureFormLogic::LoadLists() {
    SetValue("txtEFPL", TrimBlanks(ReadSetting("ExcludedFilePathList")));
    SetValue("txtIFPL", TrimBlanks(ReadSetting("IncludedFilePathList")));
}

bool SecureFormLogic::LoadPeriod(std::string_view control, std::string_view setting) {
    std::int32_t seconds = PeriodSeconds(ReadSetting(std::string(setting)));
    if (InRange(seconds)) {
        SetValue(control, std::to_string(seconds));
        return true;
    }
    for (const auto& entry : kSettingControls) {
        if (entry.control == control) {
            SetValue(control, std::string(entry.defaultValue));
        }
    }
    return false;
}

SetOutcome SecureFormLogic::Set() {
    try {
        if (std::string refused = FirstRefusedControl(); !refused.empty()) {
            return {false, refused};
        }
        // A setting the loading could not read is no empty one to store over.
        for (const auto& entry : kSettingControls) {
            ReadSetting(std::string(entry.setting));
        }
        for (std::string_view list : {"txtEFPL", "txtIFPL"}) {
            // An empty list is stored as a single blank, which every reader trims away again.
            if (Value(list).empty()) {
                SetValue(list, " ");
            }
        }
        StoreAll();
    } catch (const std::exception& error) {
        messages_.Show(std::string("Cannot Save Settings\r\nError: ") + error.what(),
                       MessageIcon::Critical, "Error");
    }
    return {true, {}};
}

std::string SecureFormLogic::FirstRefusedControl() {
    for (const auto& check : kPeriodChecks) {
        if (!InRange(PeriodSeconds(Value(check.control)))) {
            messages_.Show(check.message, MessageIcon::Critical, "Error");
            return std::string(check.control);
        }
    }
    for (const auto& check : kListChecks) {
        if (Value(check.control).size() > kLongestList) {
            messages_.Show(check.message, MessageIcon::Critical, "Error");
            return std::string(check.control);
        }
    }
    return {};
}

void SecureFormLogic::Default() {
    for (const auto& entry : kSettingControls) {
        SetValue(entry.control, std::string(entry.defaultValue));
    }
}

void SecureFormLogic::StoreAll() {
    for (const auto& entry : kSettingControls) {
        WriteSetting(std::string(entry.setting), Value(entry.control), messages_);
    }
}

const std::string& SecureFormLogic::Value(std::string_view control) const {
    auto it = values_.find(control);
    if (it == values_.end()) {
        throw std::out_of_range("No control named " + std::string(control));
    }
    return it->second;
}

void SecureFormLogic::SetValue(std::string_view control, std::string value) {
    auto it = values_.find(control);
    if (it == values_.end()) {
        throw std::out_of_range("No control named " + std::string(control));
    }
    it->second = std::move(value);
}

}  // namespace vantrel::secmgr
