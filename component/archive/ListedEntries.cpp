#include "component/archive/ListedEntries.h"

#include <malloc.h>

#include <cstring>

#include "component/archive/OperationHooks.h"
#include "component/archive/StatusMessage.h"
#include "component/core/Escape.h"

namespace vantrel {

namespace {

// Resets the unzip side when the listing ends, however it ends, so that no archive stays open in
// the library's per-thread state. The directory of a large archive takes tens of megabytes while
// it is listed; they go back to the system at once, or each of the host's threads would keep its
// own share of them for good.
class ResetOnExit {
  public:
    explicit ResetOnExit(const UnzipSideCalls& calls) : calls_(calls) {}
    ~ResetOnExit() {
        try {
            calls_.reset();
        } catch (...) {
        }
        malloc_trim(0);
    }
    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;

  private:
    const UnzipSideCalls& calls_;
};

std::string ErrorText(std::string_view description) {
    return "<B>Error:</B> " + HtmlEscape(description);
}

}  // namespace

std::optional<int32_t> ForEachListedEntry(const std::string& archive, const ListedEntryFn& take,
                                          std::string& error) {
    const UnzipSideCalls calls = CurrentUnzipSideCalls();
    calls.reset();
    ResetOnExit resetOnExit(calls);
    // The calling thread's hooks judge where the archive really lies before it is read; a check
    // the library will not take fails as a name it will not take.
    if (calls.setWatch(LocationCheck, LeftOutReport) == 0 || calls.zipName(archive) == 0) {
        error = "<B>Error:</B> Failed to set name of zip archive.";
        return std::nullopt;
    }
    const int32_t entries = calls.execute(LSUZ_LIST, LSUZ_FLAG_LIST);
    if (entries < 0) {
        error = ErrorText(StatusMessage(entries));
        return std::nullopt;
    }
    for (int32_t i = 0; i < entries; ++i) {
        ZipEntryRecord record{};
        std::optional<FullEntry> full;
        if (const int32_t result = calls.getNext(record, full); result != 0) {
            error = ErrorText(StatusMessage(result));
            return std::nullopt;
        }
        take(record, full);
    }
    return entries;
}

std::string ListedEntryName(const ZipEntryRecord& record, const std::optional<FullEntry>& full) {
    if (full) {
        return full->name;
    }
    // A name that fills its whole field is taken whole.
    return std::string(record.name, strnlen(record.name, sizeof record.name));
}

}  // namespace vantrel
