// Sign-in against the server's accounts through PAM.
#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "host/Authenticator.h"

namespace vantrel::host {

namespace {

// Answers the password prompts with the password given; nothing else is asked of a web user.
int Converse(int count, const struct pam_message** messages, struct pam_response** responses,
             void* data) {
    if (count <= 0) {
        return PAM_CONV_ERR;
    }
    auto* replies = static_cast<pam_response*>(std::calloc(count, sizeof(pam_response)));
    if (!replies) {
        return PAM_BUF_ERR;
    }
    const auto* password = static_cast<const std::string*>(data);
    for (int i = 0; i < count; ++i) {
        int style = messages[i]->msg_style;
        if (style == PAM_PROMPT_ECHO_OFF) {
            replies[i].resp = ::strdup(password->c_str());
        } else if (style == PAM_PROMPT_ECHO_ON) {
            for (int j = 0; j < i; ++j) {
                std::free(replies[j].resp);
            }
            std::free(replies);
            return PAM_CONV_ERR;
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

// The host answers every failed sign-in, of whatever kind, the same time after it arrived
// (WebHost), and keeps its own count of failures; a module's delay here would hold PAM's lock, and
// with it every other sign-in, while it sleeps.
void NoDelay(int, unsigned, void*) {}

class PamAuthenticator : public Authenticator {
  public:
    std::optional<AcceptedName> Check(const std::string& name, const std::string& password,
                                      const std::string& clientAddress) override {
        // Modules are not all safe to run on several threads at once.
        std::lock_guard lock(mutex_);
        std::string secret = password;
        struct pam_conv conversation = {Converse, &secret};
        pam_handle_t* handle = nullptr;
        if (::pam_start(kPamService, name.c_str(), &conversation, &handle) != PAM_SUCCESS) {
            return std::nullopt;
        }
        ::pam_set_item(handle, PAM_RHOST, clientAddress.c_str());
        ::pam_set_item(handle, PAM_FAIL_DELAY, reinterpret_cast<const void*>(NoDelay));
        int status = ::pam_authenticate(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
        if (status == PAM_SUCCESS) {
            status = ::pam_acct_mgmt(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
        }
        std::optional<AcceptedName> accepted;
        const void* user = nullptr;
        if (status == PAM_SUCCESS && ::pam_get_item(handle, PAM_USER, &user) == PAM_SUCCESS &&
            user) {
            std::string canonical = static_cast<const char*>(user);
            accepted = AcceptedName{canonical, canonical};
        }
        ::pam_end(handle, status);
        std::fill(secret.begin(), secret.end(), '\0');
        return accepted;
    }

  private:
    std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Authenticator> MakePamAuthenticator() {
    return std::make_unique<PamAuthenticator>();
}

bool PamServiceInstalled() {
    std::error_code ec;
    return std::filesystem::exists(std::string("/etc/pam.d/") + kPamService, ec) ||
           std::filesystem::exists(std::string("/usr/lib/pam.d/") + kPamService, ec);
}

}  // namespace vantrel::host
