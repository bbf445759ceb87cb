#pragma once
// What the caller of one execute call decides and hears: its progress callback (rate-limited), its
// check of every real location the call is about to read or write, a message for each file or
// entry the call leaves out, and the bytes the call read and wrote.

#include <cstdint>
#include <string>

#include "platform/files/ConfinedPath.h"
#include "platform/ziplib/ProgressTicker.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

struct CallerFunctions {
    ZipProgressFn progress = nullptr;
    ZipPathCheckFn check = nullptr;
    ZipMessageFn report = nullptr;
};

class CallerHooks {
  public:
    explicit CallerHooks(const CallerFunctions& functions);

    // Hooks for work whose findings the call weighs itself: the same progress (these hooks' ticks
    // and stop are this call's) and check, but no messages and counts of their own. They must not
    // outlive these.
    CallerHooks Quiet();

    // See ProgressTicker::Tick.
    bool Tick(int64_t done, int64_t total) { return Ticker().Tick(done, total); }
    bool Aborted() const { return shared_ ? shared_->Aborted() : ticker_.Aborted(); }

    // True when the caller allows the real location (always, without a check function).
    bool Allows(const std::string& realPath) const;
    // The same check, as the confined path layer asks it.
    platform::LocationCheck Check() const;

    // Tells the caller about one file or entry left out, and why: the status code and, when the
    // file system refused something, its reason (an errno value), which errno holds during the
    // call of the caller's function (0 otherwise).
    void Report(int32_t code, const std::string& name, int systemError = 0);
    // Reports name with code when the file system refused it (systemError EACCES, EPERM or
    // EROFS), so that the caller can name the file and the reason; false (and nothing reported)
    // otherwise.
    bool ReportRefusal(int32_t code, const std::string& name, int systemError);
    // Marks that the check refused something: the call's result says so.
    void NoteRefusal();
    // The call's result: code when it failed, else what it left out (0 when nothing).
    int32_t Finish(int32_t code) const;
    // Why something was left out (the first reason), or 0.
    int32_t LeftOut() const { return leftOut_; }

    void CountRead(uint64_t bytes) { read_ += bytes; }
    void CountWritten(uint64_t bytes) { written_ += bytes; }
    uint64_t BytesRead() const { return read_; }
    uint64_t BytesWritten() const { return written_; }

  private:
    ProgressTicker& Ticker() { return shared_ ? *shared_ : ticker_; }

    ProgressTicker ticker_;
    ProgressTicker* shared_ = nullptr;  // the ticker of the hooks these are quiet ones of
    ZipPathCheckFn check_;
    ZipMessageFn report_;
    int32_t leftOut_ = 0;
    uint64_t read_ = 0;
    uint64_t written_ = 0;
};

}  // namespace vantrel::ziplib
