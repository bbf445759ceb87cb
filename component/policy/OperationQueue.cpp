// One zip and one unzip operation at a time, through lock files in the queue's folder: the folder
// the host made for itself (VANTREL_QUEUE), worked in with the process's own file rights, or the
// temporary directory in a process without one. The lock files are the only state that requests,
// objects and server processes share; a release in this process or another wakes the waiters at
// once (SlotWake), and the pause between two looks bounds the wait for anything else.
#include <string_view>

#include "component/core/Farbale.h"
#include "component/policy/LockFileTime.h"
#include "component/policy/OperationClock.h"
#include "component/policy/OperationStop.h"
#include "component/policy/QueueLocks.h"
#include "component/policy/SlotWake.h"
#include "platform/files/LockFolder.h"
#include "platform/files/OwnFileRights.h"

namespace vantrel {

namespace {

constexpr std::string_view kWaitingNotice = "Waiting to access compression component ...<BR>";
constexpr std::string_view kTooBusy = "<B>Sorry, the component is too busy at present.</B><P>";
constexpr int kPauseSeconds = 2;
// However short the wait period, requests that take turns on the guard for the moment of a look
// each get their turn.
constexpr auto kShortestGuardWait = std::chrono::milliseconds(100);
constexpr size_t kRecordLimit = 256;

std::string_view PrefixOf(OperationKind kind) {
    return kind == OperationKind::Zip ? kZipLockPrefix : kUnzipLockPrefix;
}

std::string PatternOf(OperationKind kind) {
    return std::string(PrefixOf(kind)) + "*" + std::string(kLockFileExtension);
}

// The queue's folder, opened and used with the process's own file rights: the thread may work for
// an account that may not touch it.
struct QueueAccess {
    explicit QueueAccess(const std::string& tempDir)
        : folder(platform::LockFolder::OpenQueue(tempDir)) {}

    platform::OwnFileRights rights;
    std::optional<platform::LockFolder> folder;
};

bool StillHolds(const platform::LockFolder& folder, const std::string& name,
                const std::string& record) {
    return !name.empty() && folder.Read(name, kRecordLimit) == record;
}

}  // namespace

// False: the slot is now held by this object. True: too busy, the apology has been written. A
// second call while this object holds the slot keeps it, so a repair may hold the zip slot across
// both of its attempts simply by not releasing in between.
bool Farbale::WaitForOperationSlot(OperationKind kind) {
    const HeldLock& held = kind == OperationKind::Zip ? heldZipLock_ : heldUnzipLock_;
    if (!held.name.empty()) {
        QueueAccess queue(TempDir);
        if (queue.folder && StillHolds(*queue.folder, held.name, held.record)) {
            return false;
        }
    }
    // The look for a live lock and the creation of ours happen under one guard, so two requests
    // (threads or processes) can never both find the slot free. The guard is never held while
    // pausing, and never waited for past the wait period: a holder that keeps it makes this
    // request too busy, not hang. A guard file that cannot be used leaves the slot free.
    auto takeIfFree = [&](int64_t secondsLeft) {
        auto deadline =
            std::chrono::steady_clock::now() +
            std::max<std::chrono::steady_clock::duration>(
                std::chrono::seconds(std::max<int64_t>(secondsLeft, 0)), kShortestGuardWait);
        QueueAccess queue(TempDir);
        std::optional<platform::FolderGuard> guard;
        if (queue.folder) {
            guard.emplace(*queue.folder, std::string(kQueueGuardFileName), deadline);
            if (guard->TimedOut()) {
                return false;
            }
        }
        if (LockFileIsLive(kind)) {
            return false;
        }
        CreateLockFile(kind);
        return true;
    };
    if (takeIfFree(WaitForSeconds)) {
        return false;
    }
    Write(kWaitingNotice);
    Context().response.Flush();  // the caller sees the notice while it waits
    if (QueueAccess queue(TempDir); queue.folder) {
        SlotWake::Instance().Watch(queue.folder->Fd());
    }
    OperationClock& clock = ActiveOperationClock();
    int64_t deadline = clock.Seconds() + WaitForSeconds;
    // The slot is looked at again at once after the notice, then whenever a slot may have freed,
    // and at the latest after every pause, as long as the deadline lies ahead; a slot that frees at
    // the deadline itself is not taken. A server that stops ends the wait at once.
    for (int64_t now = clock.Seconds(); now < deadline && !OperationsStopped();
         now = clock.Seconds()) {
        uint64_t seen = SlotWake::Instance().Changes();
        if (takeIfFree(deadline - now)) {
            return false;
        }
        clock.Pause(kPauseSeconds, seen);
    }
    Write(kTooBusy);
    return true;
}

// Frees only the lock file that this object created: another operation's lock, even one of the
// same minute's name taken after ours went stale, is never touched. Releasing twice, or without
// holding the slot (as the listing does), does nothing.
void Farbale::ReleaseOperationSlot(OperationKind kind) {
    HeldLock& held = kind == OperationKind::Zip ? heldZipLock_ : heldUnzipLock_;
    if (held.name.empty()) {
        return;
    }
    {
        QueueAccess queue(TempDir);
        if (queue.folder && StillHolds(*queue.folder, held.name, held.record)) {
            queue.folder->Remove(held.name);
        }
    }
    held = {};
    SlotWake::Instance().Notify();
}

// Every lock file of the kind is judged, not just the first found: one whose name carries no time
// of day, or a time ahead of the clock, or whose process has ended, counts as stale, so it can
// neither block the kind nor switch its queue off.
bool Farbale::LockFileIsLive(OperationKind kind) {
    try {
        QueueAccess queue(TempDir);
        if (!queue.folder) {
            return false;
        }
        int timeOutMinutes = TimeOutMinutes(TimeOutSeconds);
        ClockMinute now = ActiveOperationClock().LocalTime();
        auto names = queue.folder->Find(PatternOf(kind));
        for (const auto& name : names) {
            if (LockCounts(*queue.folder, name, now, timeOutMinutes)) {
                return true;
            }
        }
        for (const auto& name : names) {
            queue.folder->Remove(name);
        }
        return false;
    } catch (...) {
        return false;
    }
}

// A lock file that cannot be created leaves the slot free and the operation goes on.
void Farbale::CreateLockFile(OperationKind kind) {
    HeldLock& held = kind == OperationKind::Zip ? heldZipLock_ : heldUnzipLock_;
    held = {};
    QueueAccess queue(TempDir);
    std::string name = LockFileName(PrefixOf(kind), ActiveOperationClock().LocalTime());
    std::string record = NewLockRecord();
    if (queue.folder && queue.folder->Write(name, record)) {
        held = {name, record};
    }
}

}  // namespace vantrel
