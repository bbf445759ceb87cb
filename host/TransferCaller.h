#pragma once
// Who asks for a download or an upload, and what serving it needs of the host: the request's
// fields as the component reads them, the session, the account whose file rights it runs with,
// and the audit log that records each file.

#include <memory>
#include <optional>
#include <string>

#include "host/AuditLog.h"
#include "host/LogWriter.h"
#include "host/SignedInAccount.h"
#include "host/ThreadFileCredentials.h"
#include "platform/asp/ScriptingContext.h"

namespace vantrel::host {

struct TransferCaller {
    asp::Request fields;
    std::shared_ptr<asp::Session> session;
    std::shared_ptr<const SignedInAccount> account;
    std::string client;
    std::string webRoot;
    LogWriter* audit = nullptr;

    AuditWho Who() const { return WhoOf(account.get(), client); }
    // Switches the calling thread to the account's file rights for as long as rights lives (when
    // the host switches rights at all); false when the switch failed.
    bool SwitchRights(std::optional<ThreadFileCredentials>& rights) const {
        if (account && account->credentials) {
            rights.emplace(*account->credentials);
            return rights->Switched();
        }
        return true;
    }
};

}  // namespace vantrel::host
