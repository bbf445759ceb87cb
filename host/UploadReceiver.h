#pragma once
// The files of one upload, written into their folder as the parts of the form arrive. The fields
// "folder", "replace" and "extract" are read as they come; each "file" part is checked (its name,
// its place by the path policy, what is there already) and written unnamed, in pieces of 64 KB
// within the free-space reserve, then given a temporary name and closed once it is complete. Only
// when the whole form has arrived does every file written take its own name: a new one only where
// nothing is, a replacing one in one rename with the old file's permissions and owner. An upload
// that ends early leaves nothing: the files' temporary names go with this object, and what a
// crash leaves is removed as other temporary files are (TemporaryFiles).

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component/Component.h"
#include "platform/files/ConfinedPath.h"
#include "platform/files/FreeSpaceReserve.h"
#include "platform/files/PendingFile.h"

namespace vantrel::host {

class UploadReceiver {
  public:
    // At most this many files are taken from one upload; those after are not.
    static constexpr size_t kMostFiles = 1000;

    // opened: told of the folder's real path before the first file is written into it.
    UploadReceiver(Transfers& transfers, std::function<void(const std::string&)> opened)
        : transfers_(transfers), opened_(std::move(opened)) {}

    // A new part of the form: its field name, and the file name it carries (as sent, the HTML
    // standard's %22, %0D and %0A standing for ", CR and LF). False to stop the reading.
    bool Begin(const std::string& name, const std::string& fileName);
    // The next bytes of the current part. False to stop the reading (a field too long).
    bool Take(const char* data, size_t size);
    // The form has ended: complete when it arrived whole; then every file written takes its own
    // name. Otherwise none does.
    void Finish(bool complete);

    const UploadReport& Report() const { return report_; }

  private:
    enum class Part { None, Folder, Replace, Extract, File, Ignored };
    struct Incoming {
        UploadedFile file;
        std::unique_ptr<platform::PendingFile> pending;
        std::string leaf;                      // its name in the folder
        std::optional<struct stat> replacing;  // the file it is to replace
    };

    void EndPart();
    void OpenFolder(const std::string& folder);
    void BeginFile(const std::string& name);
    // Places the file in the folder: its name, what is there, the policy; false with the outcome
    // set when it cannot be written there.
    bool Place(Incoming& incoming);
    bool Flush();
    void Fail(Incoming& incoming, UploadOutcome outcome, int error);
    void Name(Incoming& incoming);

    Transfers& transfers_;
    std::function<void(const std::string&)> opened_;
    UploadReport report_;
    bool replace_ = false;
    bool folderNamed_ = false;
    std::optional<platform::ConfinedPath> folder_;
    std::optional<platform::FreeSpaceReserve> reserve_;
    Part part_ = Part::None;
    std::string field_;
    std::vector<Incoming> files_;
    std::string buffer_;  // of the current file, not yet written
};

}  // namespace vantrel::host
