// Sign-in against the host's users file.
#include <algorithm>

#include "host/Authenticator.h"
#include "host/UsersFile.h"

namespace vantrel::host {

namespace {

class UsersFileAuthenticator : public Authenticator {
  public:
    explicit UsersFileAuthenticator(std::filesystem::path file) : file_(std::move(file)) {}

    std::optional<AcceptedName> Check(const std::string& name, const std::string& password,
                                      const std::string&) override {
        std::string error;
        auto entries = ReadUsersFile(file_, error);
        auto entry = entries ? std::find_if(entries->begin(), entries->end(),
                                            [&](const UserEntry& e) { return e.name == name; })
                             : std::vector<UserEntry>::iterator{};
        if (!entries || entry == entries->end()) {
            VerifyNoUser(password);
            return std::nullopt;
        }
        if (!VerifyPassword(password, entry->hash)) {
            return std::nullopt;
        }
        return AcceptedName{entry->name, entry->actsAs};
    }

  private:
    std::filesystem::path file_;
};

}  // namespace

std::unique_ptr<Authenticator> MakeUsersFileAuthenticator(std::filesystem::path file) {
    return std::make_unique<UsersFileAuthenticator>(std::move(file));
}

}  // namespace vantrel::host
