#include "secmgr/TerminalCommands.h"

#include <optional>
#include <sstream>
#include <string_view>

#include "platform/registry/Registry.h"
#include "platform/registry/SettingsKey.h"
#include "platform/text/CaseFolding.h"
#include "secmgr/MessageBoxes.h"
#include "secmgr/RegHandler.h"
#include "secmgr/SecureFormLogic.h"
#include "secmgr/SettingControls.h"

namespace vantrel::secmgr {

namespace {

// The dialog's message boxes as lines of text: notes to out, warnings and errors to err.
class StreamMessageBoxes : public MessageBoxes {
  public:
    StreamMessageBoxes(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void Show(const std::string& text, MessageIcon icon, const std::string& title) override {
        std::string line;
        for (char c : text) {
            if (c != '\r') {
                line += c;
            }
        }
        (icon == MessageIcon::None ? out_ : err_) << line << '\n';
        if (icon != MessageIcon::None) {
            ++errors_;
        }
    }
    int Errors() const { return errors_; }
    void ForgetErrors() { errors_ = 0; }

  private:
    std::ostream& out_;
    std::ostream& err_;
    int errors_ = 0;
};

struct Assignment {
    const SettingControl* entry;
    std::string value;
};

// Setting names compare without regard to case, as the registry's key names do.
const SettingControl* FindSetting(std::string_view name) {
    for (const auto& entry : kSettingControls) {
        if (platform::EqualsIgnoringCase(entry.setting, name)) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsPeriod(const SettingControl& entry) {
    return entry.control == "txtWaitFor" || entry.control == "txtTimeOut";
}

std::string_view ValueKind(const SettingControl& entry) {
    if (entry.kind == ControlKind::CheckBox) {
        return "0 or 1";
    }
    return IsPeriod(entry) ? "seconds, 5 to 65500" : "paths separated by \";\"";
}

// What a check box or a one-line text box could not hold, or nullopt when the value fits.
std::optional<std::string> ValueRefusal(const SettingControl& entry, const std::string& value) {
    if (entry.kind == ControlKind::CheckBox && value != kChecked && value != kCleared) {
        return std::string(entry.setting) + " must be 0 or 1";
    }
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7f) {
            return std::string(entry.setting) + " must not contain control characters";
        }
    }
    return std::nullopt;
}

int UsageError(std::ostream& err, const std::string& programName, const std::string& problem) {
    err << programName << ": " << problem << "\nTry '" << programName << " --help'.\n";
    return kExitUsage;
}

// NAME=VALUE for a stored setting; a setting never stored is marked, so that it is not taken for
// one stored empty. One that cannot be read is reported and makes the listing fail.
int ListSettings(std::ostream& out, std::ostream& err) {
    int exitCode = kExitSuccess;
    for (const auto& entry : kSettingControls) {
        std::string setting(entry.setting);
        if (registry::LookUpSetting(setting).state == registry::StoredSetting::State::NotSet) {
            out << setting << " (not set)\n";
            continue;
        }
        try {
            std::string value = ReadSetting(setting);  // before the name, which it may not get
            out << setting << '=' << value << '\n';
        } catch (const std::exception& error) {
            err << error.what() << '\n';
            exitCode = kExitRefused;
        }
    }
    return exitCode;
}

// Set as the dialog's button runs it; any message it shows is a refusal or a failure.
int RunSet(SecureFormLogic& form, StreamMessageBoxes& messages) {
    messages.ForgetErrors();
    SetOutcome outcome = form.Set();
    return outcome.endProgram && messages.Errors() == 0 ? kExitSuccess : kExitRefused;
}

int SetSettings(const std::vector<std::string>& pairs, std::ostream& out, std::ostream& err,
                const std::string& programName) {
    if (pairs.empty()) {
        return UsageError(err, programName, "--set needs at least one NAME=VALUE");
    }
    std::vector<Assignment> assignments;
    for (const auto& pair : pairs) {
        size_t equals = pair.find('=');
        const SettingControl* entry =
            equals == std::string::npos ? nullptr : FindSetting(pair.substr(0, equals));
        if (!entry) {
            return UsageError(err, programName, "not a setting: '" + pair + "'");
        }
        assignments.push_back({entry, pair.substr(equals + 1)});
        if (auto refusal = ValueRefusal(*entry, assignments.back().value)) {
            err << *refusal << '\n';
            return kExitRefused;
        }
    }
    StreamMessageBoxes messages(out, err);
    SecureFormLogic form(messages);
    // Nothing is stored before Set has checked every value.
    LoadResult loaded = form.Load(DefaultsStep::Defer);
    for (const auto& [entry, value] : assignments) {
        form.SetValue(entry->control, value);
    }
    int exitCode = RunSet(form, messages);
    if (exitCode == kExitSuccess && loaded == LoadResult::Defaulted) {
        out << "The stored periods were missing or unusable, so the settings not given were "
               "stored with their defaults.\n";
    }
    return exitCode;
}

int StoreDefaults(std::ostream& out, std::ostream& err) {
    StreamMessageBoxes messages(out, err);
    SecureFormLogic form(messages);
    form.Default();
    int exitCode = RunSet(form, messages);
    if (exitCode == kExitSuccess) {
        messages.Show("Values have been set to the default", MessageIcon::None, kDialogTitle);
    }
    return exitCode;
}

}  // namespace

bool WantsTerminal(const std::vector<std::string>& arguments) {
    for (const auto& argument : arguments) {
        if (argument.starts_with("--") || argument == "-h") {
            return true;
        }
    }
    return false;
}

int RunTerminalCommand(const std::vector<std::string>& arguments, std::ostream& out,
                       std::ostream& err, const std::string& programName) {
    if (arguments.empty()) {
        return UsageError(err, programName, "no command given");
    }
    const std::string& command = arguments.front();
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "--set") {
        return SetSettings(rest, out, err, programName);
    }
    if (!rest.empty()) {
        return UsageError(err, programName, "unexpected '" + rest.front() + "' after " + command);
    }
    if (command == "--list") {
        return ListSettings(out, err);
    }
    if (command == "--defaults") {
        return StoreDefaults(out, err);
    }
    if (command == "--help" || command == "-h") {
        out << TerminalUsage(programName);
        return kExitSuccess;
    }
    if (command == "--version") {
        out << programName << ' ' << VANTREL_VERSION << '\n';
        return kExitSuccess;
    }
    return UsageError(err, programName, "unknown option '" + command + "'");
}

std::string TerminalUsage(const std::string& programName) {
    std::ostringstream text;
    text << "Usage: " << programName
         << " [--list | --set NAME=VALUE... | --defaults | --help | --version]\n"
         << "Edit the security settings of the Vantrel web component.\n\n"
         << "Without options it opens the settings dialog, which needs a graphical display.\n\n"
         << "  --list               print the ten settings as stored, one NAME=VALUE a line;\n"
         << "                       NAME (not set) for a setting never stored\n"
         << "  --set NAME=VALUE...  change the settings named, with the dialog's checks, and\n"
         << "                       store all ten in the dialog's order; a refused value is\n"
         << "                       reported on standard error and nothing is stored\n"
         << "  --defaults           store the default settings\n"
         << "  -h, --help           print this help and exit\n"
         << "  --version            print the version and exit\n\n"
         << "Settings (NAME, VALUE, default):\n";
    for (const auto& entry : kSettingControls) {
        text << "  " << entry.setting << std::string(28 - entry.setting.size(), ' ')
             << ValueKind(entry) << std::string(25 - ValueKind(entry).size(), ' ')
             << entry.defaultValue << '\n';
    }
    text << "\nThe web component reads a change with its next request. The settings are kept\n"
         << "below " << registry::RegistryRoot().string() << "; set " << registry::kRegistryVariable
         << " to use another folder.\n\n"
         << "Exit status:\n"
         << "  0 when done, 1 when a value is refused or a setting cannot be read or stored,\n"
         << "  2 for a usage error or when the dialog finds no display.\n";
    return text.str();
}

}  // namespace vantrel::secmgr
