#pragma once
// The component's part in the web host's downloads (GET or POST /download) and uploads (POST
// /upload): it judges what a transfer may touch, the path policy testing the path given and every
// real location as it does for the operations; it reads archive entries through the zip library;
// and it writes the pages that answer. The host moves the bytes. One object serves one request, on
// the thread that serves it and with the account's file rights; its pages go into the response of
// the context it was made with, which stays in the module's slot for the object's life and no
// longer.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "component/core/ContextSlot.h"
#include "platform/asp/ScriptingContext.h"
#include "platform/files/ConfinedPath.h"

namespace vantrel {

class Farbale;

// Why a download is not served; the page that says so has been written.
enum class DownloadRefusal {
    None,
    Forbidden,   // the path policy, the account's rights, or the entry's password
    NotFound,    // no such file or entry
    BadRequest,  // no path, one no drive holds, or one that leaves its drive
    Unreadable,  // an archive or entry that cannot be read (damaged, of an unknown method)
};

// What became of one file of an upload, or of its folder.
enum class UploadOutcome {
    Stored,    // written under its name, where nothing was
    Replaced,  // written in the place of the file of its name, as the form asked
    Exists,    // something of its name is there, and the form did not ask to replace a file
    BadName,   // a name that the pages or the server's folders cannot carry
    Refused,   // the path policy refuses its place
    Failed,    // the file system refused or failed (systemError says why)
    DiskFull,  // the free space of the disk would have fallen below its reserve
    NotSent,   // not taken: its folder cannot be used, or the upload holds too many files
    NoFolder,  // sent before the form named a folder
};

struct UploadedFile {
    std::string name;  // as the browser sent it
    std::string path;  // its place on the server; empty when it has none
    uint64_t bytes = 0;
    UploadOutcome outcome = UploadOutcome::Stored;
    int systemError = 0;
    std::string said;  // what the path policy said of its place (markup), for a refusal
};

struct UploadReport {
    UploadedFile folder;  // the folder as the form named it (name) and where it lies (path)
    std::vector<UploadedFile> files;
    bool extract = false;  // each zip file stored is extracted into the folder
};

// One archive entry opened for a download. An entry of up to kEntryReadAhead bytes has been read
// whole when it was opened, so that its damage was told by the refusal page.
class EntryDownload {
  public:
    static constexpr uint64_t kEntryReadAhead = 1 << 20;

    ~EntryDownload();
    EntryDownload(const EntryDownload&) = delete;
    EntryDownload& operator=(const EntryDownload&) = delete;

    uint64_t Size() const { return size_; }
    // Hands the entry's bytes to consume as they are decompressed, its last byte only once the
    // whole entry has checked out (size and CRC); once. True when it did and went on whole.
    bool Read(const std::function<bool(const char*, size_t)>& consume);

  private:
    friend class Transfers;
    EntryDownload(void* handle, uint64_t size) : handle_(handle), size_(size) {}
    // A status code.
    int32_t ReadThrough(const std::function<bool(const char*, size_t)>& consume);

    void* handle_;
    uint64_t size_;
    std::optional<std::string> data_;  // the entry read ahead
};

class Transfers {
  public:
    explicit Transfers(asp::ScriptingContext& context);
    ~Transfers();
    Transfers(const Transfers&) = delete;
    Transfers& operator=(const Transfers&) = delete;

    // The path policy's verdict on a path; what it said of a refusal (markup) is kept for
    // TakeSaid, and nothing is written into the page.
    bool Allows(const std::string& path);
    // Allows, as the confined path layer asks it about real locations.
    platform::LocationCheck Check();
    std::string TakeSaid();

    // Whether an uploaded file may be named so: not empty, "." or "..", no leading dot (the
    // file lists hide such files), no control character, none of \ / | : * ? " < > (which a
    // Windows path or the pages' lists cannot carry), valid UTF-8, at most 255 bytes.
    static bool IsUploadName(std::string_view name);

    // A download of the file path names: a regular file, opened with the account's rights where
    // the policy allows it (as named and where it really lies). On a refusal the page that says
    // why is written.
    DownloadRefusal OpenFile(const std::string& path, platform::ConfinedPath& file);
    // The same for the entry of the archive path names, read with password.
    DownloadRefusal OpenEntry(const std::string& path, const std::string& entry,
                              const std::string& password,
                              std::unique_ptr<EntryDownload>& download);

    // The zip files of an upload that WriteUploadResult extracts: those stored, when asked to.
    static std::vector<std::string> Extractions(const UploadReport& report);
    // The operation record of the extraction of archive into folder, as the audit log names it.
    static asp::OperationRecord AskedExtraction(const std::string& archive,
                                                const std::string& folder);
    // The result page of an upload: a line for each file, then, when the report asks for it and
    // every file was stored, the extraction of each zip file among them into the folder with the
    // usual rules (each reported to the context's operation record), then the reload of the
    // source and target frames. True when every file was stored and extracted.
    bool WriteUploadResult(const UploadReport& report);

  private:
    void WritePageOpen();
    void WriteRefusalPage(const std::string& what, const std::string& text);
    // folder: the line is the upload's folder's.
    bool WriteUploadLine(const UploadedFile& file, bool folder = false);

    RequestScope scope_;
    asp::ScriptingContext& context_;
    std::unique_ptr<Farbale> component_;
    // Where the policy's words go while it judges: kept, not written into the page.
    std::string said_;
};

}  // namespace vantrel
