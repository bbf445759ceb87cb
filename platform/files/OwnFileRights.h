#pragma once
// Gives the calling thread back the process's own file rights for as long as the object lives.
// A host running as root works on each request's thread with the signed-in account's file user
// and group id; the operation queue's lock files and guard lie in a folder of the host's own that
// no account may use, so the queue does its file work with the process's rights and then returns
// the thread to the account's. Where the thread works with the process's rights already, nothing
// changes.

#include <sys/types.h>

namespace vantrel::platform {

class OwnFileRights {
  public:
    OwnFileRights();
    // Returns the thread to the file rights it had. A thread that cannot get them back must not go
    // on with the process's rights: the process ends.
    ~OwnFileRights();
    OwnFileRights(const OwnFileRights&) = delete;
    OwnFileRights& operator=(const OwnFileRights&) = delete;

  private:
    uid_t savedUid_;
    gid_t savedGid_;
};

}  // namespace vantrel::platform
