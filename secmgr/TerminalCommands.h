#pragma once
// vantrelsec without its window, for administrators working over ssh: list the settings, set some
// of them, or store the defaults. Setting goes through the dialog's own logic (load, change the
// controls, Set), so the checks, the messages and the storing order are the dialog's.

#include <ostream>
#include <string>
#include <vector>

namespace vantrel::secmgr {

inline constexpr int kExitSuccess = 0;
// A value was refused, or a setting could not be stored.
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

// True when the arguments are meant for the terminal rather than the dialog: any argument that
// begins with "--", and -h (Qt's own options, such as -platform, take one dash).
bool WantsTerminal(const std::vector<std::string>& arguments);

// Runs --list, --set NAME=VALUE..., --defaults, --help (-h) or --version. Listings and notes go to
// out; the dialog's messages, refusals and usage errors to err. Returns the exit code.
int RunTerminalCommand(const std::vector<std::string>& arguments, std::ostream& out,
                       std::ostream& err, const std::string& programName);

// The --help text.
std::string TerminalUsage(const std::string& programName);

}  // namespace vantrel::secmgr
