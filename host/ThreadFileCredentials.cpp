#include "host/ThreadFileCredentials.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/JournalLines.h"

namespace vantrel::host {

namespace {

// The raw calls: each changes the calling thread only.
long SetGroups(const std::vector<gid_t>& groups) {
    return ::syscall(SYS_setgroups, groups.size(), groups.data());
}

std::vector<gid_t> GetGroups() {
    long count = ::syscall(SYS_getgroups, 0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<size_t>(count) : 0);
    if (count > 0) {
        count = ::syscall(SYS_getgroups, groups.size(), groups.data());
        groups.resize(count > 0 ? static_cast<size_t>(count) : 0);
    }
    return groups;
}

// setfsuid and setfsgid return the previous id and never an error; asking again with an id the
// kernel refuses (-1) shows whether the change took.
uid_t SetFileUid(uid_t uid) {
    ::syscall(SYS_setfsuid, uid);
    return static_cast<uid_t>(::syscall(SYS_setfsuid, static_cast<uid_t>(-1)));
}

gid_t SetFileGid(gid_t gid) {
    ::syscall(SYS_setfsgid, gid);
    return static_cast<gid_t>(::syscall(SYS_setfsgid, static_cast<gid_t>(-1)));
}

}  // namespace

uid_t CurrentFileUid() {
    return static_cast<uid_t>(::syscall(SYS_setfsuid, static_cast<uid_t>(-1)));
}

gid_t CurrentFileGid() {
    return static_cast<gid_t>(::syscall(SYS_setfsgid, static_cast<gid_t>(-1)));
}

ThreadFileCredentials::ThreadFileCredentials(const FileCredentials& credentials)
    : savedUid_(CurrentFileUid()), savedGid_(CurrentFileGid()), savedGroups_(GetGroups()) {
    // Groups and group id first: once the user id is switched the thread may no longer change
    // them.
    bool ok = SetGroups(credentials.groups) == 0 &&
              SetFileGid(credentials.gid) == credentials.gid &&
              SetFileUid(credentials.uid) == credentials.uid;
    if (!ok) {
        Restore();
        return;
    }
    switched_ = true;
}

ThreadFileCredentials::~ThreadFileCredentials() {
    if (switched_) {
        Restore();
    }
}

void ThreadFileCredentials::Restore() {
    bool ok = SetFileUid(savedUid_) == savedUid_ && SetFileGid(savedGid_) == savedGid_ &&
              SetGroups(savedGroups_) == 0;
    if (!ok) {
        std::fputs(WithPriority(STDERR_FILENO, Priority::Error,
                                "vantrel-host: cannot restore a thread's file rights; stopping")
                       .c_str(),
                   stderr);
        std::abort();
    }
}

}  // namespace vantrel::host
