// One zip and one unzip operation at a time, through lock files in the temporary directory. The
// lock files are the only state that requests, objects and server processes share.
#include <string_view>

#include "component/archive/Globals.h"
#include "component/core/Farbale.h"
#include "component/policy/LockFileTime.h"
#include "component/policy/OperationClock.h"
#include "platform/files/ExclusiveFileLock.h"
#include "platform/files/FileOperations.h"

namespace vantrel {

namespace {

constexpr std::string_view kWaitingNotice = "Waiting to access compression component ...<BR>";
constexpr std::string_view kTooBusy = "<B>Sorry, the component is too busy at present.</B><P>";
constexpr int kPauseSeconds = 2;

std::string_view PrefixOf(OperationKind kind) {
    return kind == OperationKind::Zip ? kZipLockPrefix : kUnzipLockPrefix;
}

std::string PatternOf(const std::string& tempDir, OperationKind kind) {
    return tempDir + std::string(PrefixOf(kind)) + "*" + std::string(kLockFileExtension);
}

}  // namespace

// False: the slot is now held by this object. True: too busy, the apology has been written. A
// second call while this object holds the slot keeps it, so a repair may hold the zip slot across
// both of its attempts simply by not releasing in between.
bool Farbale::WaitForOperationSlot(OperationKind kind) {
    const std::string& held = kind == OperationKind::Zip ? heldZipLock_ : heldUnzipLock_;
    if (!held.empty() && !platform::FindOrdinaryFiles(held).empty()) {
        return false;
    }
    // Testing for a live lock and creating ours happen under one exclusive lock, so two requests
    // (threads or processes) can never both find the slot free. The guard is never held while
    // pausing.
    std::string guardPath = TempDir + std::string(kQueueGuardFileName);
    auto takeIfFree = [&] {
        platform::ExclusiveFileLock guard(guardPath);
        if (LockFileIsLive(kind)) {
            return false;
        }
        CreateLockFile(kind);
        return true;
    };
    if (takeIfFree()) {
        return false;
    }
    Write(kWaitingNotice);
    Context().response.Flush();  // the caller sees the notice while it waits
    OperationClock& clock = ActiveOperationClock();
    int64_t deadline = clock.Seconds() + WaitForSeconds;
    // The slot is tested again at once after the notice, then after every pause, as long as the
    // deadline lies ahead; a slot that frees at the deadline itself is not taken. A server that
    // stops ends the wait as it aborts the running operations.
    while (clock.Seconds() < deadline && !OperationsStopped()) {
        if (takeIfFree()) {
            return false;
        }
        clock.Pause(kPauseSeconds);
    }
    Write(kTooBusy);
    return true;
}

// Frees only the lock file that this object created: another operation's lock, even one of the
// same minute's name taken after ours went stale, is never touched. Releasing twice, or without
// holding the slot (as the listing does), does nothing.
void Farbale::ReleaseOperationSlot(OperationKind kind) {
    std::string& held = kind == OperationKind::Zip ? heldZipLock_ : heldUnzipLock_;
    if (!held.empty()) {
        platform::DeleteOrdinaryFile(held);
        held.clear();
    }
}

// Every lock file of the kind is judged, not just the first found: a stray file whose name carries
// no time counts as stale, so it can neither block the kind nor switch its queue off.
bool Farbale::LockFileIsLive(OperationKind kind) {
    try {
        std::string pattern = PatternOf(TempDir, kind);
        int timeOutMinutes = TimeOutMinutes(TimeOutSeconds);
        ClockMinute now = ActiveOperationClock().LocalTime();
        for (const auto& name : platform::FindOrdinaryFiles(pattern)) {
            auto taken = LockFileTakenAt(name);
            if (taken && LockIsLive(*taken, now, timeOutMinutes)) {
                return true;
            }
        }
        platform::DeleteMatchingFiles(pattern);
        return false;
    } catch (...) {
        return false;
    }
}

// A lock file that cannot be created leaves the slot free and the operation goes on.
void Farbale::CreateLockFile(OperationKind kind) {
    std::string& held = kind == OperationKind::Zip ? heldZipLock_ : heldUnzipLock_;
    std::string path = TempDir + LockFileName(PrefixOf(kind), ActiveOperationClock().LocalTime());
    held = platform::CreateEmptyFile(path) ? path : std::string();
}

}  // namespace vantrel
