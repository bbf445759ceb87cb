#pragma once
// Reads a new password from standard input: on a terminal it asks twice without echo, otherwise it
// takes the first line (for scripts: `echo secret | vantrel-host --add-user ...`).

#include <optional>
#include <string>

namespace vantrel::host {

// nullopt with the reason when nothing was read or the two entries differ.
std::optional<std::string> ReadNewPassword(std::string& error);

}  // namespace vantrel::host
