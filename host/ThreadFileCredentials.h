#pragma once
// Switches the file rights of the calling thread alone to a signed-in account's, for as long as
// the object lives: file user id, file group id and supplementary groups. Only a host running as
// root can switch.
//
// Why the calling thread alone: the host serves many accounts at once, one request per thread.
// The C library's setgroups (and set*id) change every thread of the process, so the switch goes
// through the raw system calls, which change only the caller's credentials. A file user id other
// than 0 also clears the thread's file-system capabilities (CAP_DAC_OVERRIDE and the like), so the
// kernel checks every open, create and remove against the account's own permissions, and new files
// belong to the account. A thread started while switched inherits the switched credentials; threads
// that were running already keep their own.

#include <sys/types.h>

#include <vector>

#include "host/SignedInAccount.h"

namespace vantrel::host {

class ThreadFileCredentials {
  public:
    // Switches; Switched() is false (and nothing changed) when the kernel refused any step.
    explicit ThreadFileCredentials(const FileCredentials& credentials);
    // Puts the thread's own credentials back. A thread that cannot get them back must not serve
    // anybody else: the process ends.
    ~ThreadFileCredentials();
    ThreadFileCredentials(const ThreadFileCredentials&) = delete;
    ThreadFileCredentials& operator=(const ThreadFileCredentials&) = delete;

    bool Switched() const { return switched_; }

  private:
    void Restore();

    uid_t savedUid_;
    gid_t savedGid_;
    std::vector<gid_t> savedGroups_;
    bool switched_ = false;
};

// The calling thread's current file user id and file group id.
uid_t CurrentFileUid();
gid_t CurrentFileGid();

}  // namespace vantrel::host
