#include "platform/files/OwnFileRights.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace vantrel::platform {

namespace {

// The raw calls change the calling thread alone. They return the previous id and never an
// error; asking with an id the kernel refuses (-1) reads the current one.
uid_t FileUid() {
    return static_cast<uid_t>(::syscall(SYS_setfsuid, static_cast<uid_t>(-1)));
}

gid_t FileGid() {
    return static_cast<gid_t>(::syscall(SYS_setfsgid, static_cast<gid_t>(-1)));
}

// The group id is set while the user id is the more privileged of the two (the process's own going
// in, still the process's own going back). Supplementary groups stay as they are: the process's
// own user is root whenever the thread's ids differ from it, and a file user id of 0 gives the
// file capabilities back, for which groups do not count.
bool SwitchTo(uid_t uid, gid_t gid, bool toOwn) {
    if (toOwn) {
        ::syscall(SYS_setfsuid, uid);
    }
    ::syscall(SYS_setfsgid, gid);
    ::syscall(SYS_setfsuid, uid);
    return FileUid() == uid && FileGid() == gid;
}

}  // namespace

OwnFileRights::OwnFileRights() : savedUid_(FileUid()), savedGid_(FileGid()) {
    if (savedUid_ != ::geteuid() || savedGid_ != ::getegid()) {
        SwitchTo(::geteuid(), ::getegid(), true);
    }
}

OwnFileRights::~OwnFileRights() {
    if ((FileUid() != savedUid_ || FileGid() != savedGid_) &&
        !SwitchTo(savedUid_, savedGid_, false)) {
        std::fputs("vantrel: cannot give a thread its account's file rights back; stopping\n",
                   stderr);
        std::abort();
    }
}

}  // namespace vantrel::platform
