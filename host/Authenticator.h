#pragma once
// Checks a name and password at sign-in: against the server's own accounts through PAM, or
// against the host's users file.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace vantrel::host {

// The PAM service the host signs users in with: /etc/pam.d/vantrel.
inline constexpr const char* kPamService = "vantrel";

struct AcceptedName {
    std::string name;    // the account's own spelling of the name
    std::string actsAs;  // the Linux account whose file rights the user works with; empty: the
                         // host's own
};

class Authenticator {
  public:
    virtual ~Authenticator() = default;
    // nullopt for any failure: unknown name, wrong password, locked or expired account, or a
    // store that cannot be read. The reason is not told apart on purpose.
    virtual std::optional<AcceptedName> Check(const std::string& name, const std::string& password,
                                              const std::string& clientAddress) = 0;
};

// The server's accounts through the PAM service "vantrel" (authentication and account checks). A
// host not running as root can only check its own account's password.
std::unique_ptr<Authenticator> MakePamAuthenticator();
// Whether the PAM service file is there (/etc/pam.d/vantrel or /usr/lib/pam.d/vantrel).
bool PamServiceInstalled();

// The users file, read afresh for every sign-in so that an added user can sign in at once.
std::unique_ptr<Authenticator> MakeUsersFileAuthenticator(std::filesystem::path file);

}  // namespace vantrel::host
