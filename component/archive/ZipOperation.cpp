// Creating and changing archives: add, update, freshen, delete entries, repair.
#include <exception>
#include <stdexcept>
#include <string_view>

#include "component/archive/LibraryCalls.h"
#include "component/archive/OperationHooks.h"
#include "component/archive/StatusMessage.h"
#include "component/archive/ZipProgress.h"
#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/core/OptionString.h"
#include "component/policy/OperationSlot.h"
#include "platform/text/AsciiCase.h"
#include "platform/ziplib/lszip.h"

namespace vantrel {

namespace {

constexpr int32_t kDefaultLevel = 5;

constexpr std::string_view kZipExtension = ".zip";

constexpr std::string_view kAllZipDisabled =
    "<B>All Zip Functions have been disabled by the administrator.</B></P>";
constexpr std::string_view kDeleteDisabled =
    "<B>Delete Files from Zip operation has been disabled by the administrator.</B></P>";
constexpr std::string_view kRecurseDisabled =
    "<B>Include Subdirectory Contents operation has been disabled by the administrator.</B></P>";
constexpr std::string_view kMoveDisabled =
    "<B>Delete Original Files operation has been disabled by the administrator.</B></P>";
constexpr std::string_view kEncryptDisabled =
    "<B>Zip File Encryption has been disabled by the administrator.</B></P>";

// The archive name as the library gets it: ".zip" added unless it already ends so (any case).
std::string WithZipExtension(std::string archive) {
    std::string_view tail = archive;
    if (tail.size() >= kZipExtension.size()) {
        tail = tail.substr(tail.size() - kZipExtension.size());
    }
    if (platform::LowerAscii(tail) != kZipExtension) {
        archive += kZipExtension;
    }
    return archive;
}

// A link that downloads the archive; the host serves "download" beside the page.
std::string DownloadLink(const std::string& archive) {
    return "<A HREF=\"" + HtmlEscape("download?path=" + QueryEscape(archive)) +
           "\" TITLE=\"Download the zip file\">Download</A>";
}

// The compression level from its option character; anything but a digit is a conversion error.
int32_t LevelOf(char option) {
    if (option < '0' || option > '9') {
        throw std::invalid_argument("Type mismatch");
    }
    return option - '0';
}

// The library action for the option string's letter; adding for any other letter.
int32_t ActionOf(char letter) {
    switch (letter) {
        case 'D':
            return LSZIP_DELETE;
        case 'U':
            return LSZIP_UPDATE;
        case 'F':
            return LSZIP_FRESHEN;
        case 'X':
            return LSZIP_REPAIR;
        default:
            return LSZIP_ADD;
    }
}

std::string ProgressLine(int32_t action, const std::string& archive) {
    std::string shown = HtmlEscape(archive);
    switch (action) {
        case LSZIP_REPAIR:
            return "Trying to repair " + shown + " ... ";
        case LSZIP_ADD:
            return "Creating " + shown + " ... ";
        default:
            return "Updating " + shown + " ... ";
    }
}

// What a repair that wrote a new archive did, told after its outcome: how many entries it
// recovered and where it kept the damaged original (the entries it lost are named above).
std::string RepairFacts() {
    ZipSideCalls calls = CurrentZipSideCalls();
    RepairReport report = calls.getRepair ? calls.getRepair() : RepairReport{};
    if (report.recovered < 0) {
        return {};
    }
    std::string facts = " " + std::to_string(report.recovered);
    if (report.counted > 0) {
        facts += " of " + std::to_string(report.counted);
    }
    facts +=
        report.recovered == 1 && report.counted <= 1 ? " entry recovered." : " entries recovered.";
    if (!report.keptAs.empty()) {
        facts += " The damaged original is kept as " + HtmlEscape(report.keptAs) + ".";
    }
    return facts;
}

// What follows the status text of a failed run: why it was aborted, and that a move whose run
// failed deleted nothing (only a move confirmed whole deletes; a file it could not confirm or
// delete is named above and reported as a copying error).
std::string FailureFacts(int32_t code, int32_t flags) {
    std::string facts = code == LSZIP_E_ABORTED ? TakeAbortReason() : std::string();
    if ((flags & LSZIP_FLAG_MOVE) && code != LSZIP_E_MOVE) {
        facts += " No original file was deleted.";
    }
    return facts;
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// One run's library calls; the status code, or nullopt with the refusal message in message.
std::optional<int32_t> CallZipSide(const std::string& tempDir, const std::string& archive,
                                   const std::string& files, int32_t action, int32_t flags,
                                   const std::string& password, int32_t level,
                                   std::string& message) {
    // An empty entry list deletes nothing; it never reaches the library, which could take it as
    // a list of its own choosing.
    if (action == LSZIP_DELETE && IsBlank(files)) {
        return LSZIP_E_NOTHING_TO_DELETE;
    }
    ZipSideCalls calls = CurrentZipSideCalls();
    if (!calls.setTempPath(tempDir)) {
        message = "<B>Error:</B> Failed to set temporary directory.";
        return std::nullopt;
    }
    if (action != LSZIP_REPAIR && !calls.include(files)) {
        message = "<B>Error:</B> Failed to set list of files to include.";
        return std::nullopt;
    }
    if (!SetPassword(calls, password, message) || !SetCallbacks(calls, message)) {
        return std::nullopt;
    }
    return calls.execute(archive, action, level, flags);
}

}  // namespace

// Writes its own messages; True only when the library reported success. Every refusal (disabled
// function, path policy, busy queue, bad option) stops before the library touches a file.
bool Farbale::ZipOperation(std::string archive, std::string files, std::string password,
                           std::string options) {
    try {
        if (RefuseWhenDisabled("DisableAllZipFunctions", kAllZipDisabled)) {
            return false;
        }
        // The policy tests the name the library will write, ".zip" included, so that an
        // excluded "name.zip" cannot be reached by leaving the extension off.
        archive = WithZipExtension(archive);
        const ZipOptions chosen = ReadZipOptions(options);
        int32_t action = ActionOf(chosen.letter);
        // Delete and repair name entries inside the archive, not files on the server: the
        // archive is the only path they touch. (Testing "*.*" against an include list would
        // refuse every repair and delete under the default settings.) The entries that a delete
        // removes still meet the exclude list, below.
        bool filesArePaths = action != LSZIP_DELETE && action != LSZIP_REPAIR;
        if (!CheckPathAccess(archive) || (filesArePaths && !CheckPathAccess(files))) {
            return false;
        }
        if (action == LSZIP_DELETE && RefuseWhenDisabled("DisableDeleteFromZip", kDeleteDisabled)) {
            return false;
        }
        int32_t flags = LSZIP_FLAG_BASE + (chosen.fullPaths ? LSZIP_FLAG_FULL_PATHS : 0);
        if (chosen.recurse) {
            if (RefuseWhenDisabled("DisableRecurseSubdirFiles", kRecurseDisabled)) {
                return false;
            }
            flags += LSZIP_FLAG_RECURSE;
        }
        if (chosen.move) {
            if (RefuseWhenDisabled("DisableMoveIntoZip", kMoveDisabled)) {
                return false;
            }
            flags += LSZIP_FLAG_MOVE;
        }
        int32_t level = kDefaultLevel;
        if (chosen.level) {
            level = LevelOf(*chosen.level);
            if (chosen.encrypt && !password.empty()) {
                if (RefuseWhenDisabled("DisableEncryptZipFiles", kEncryptDisabled)) {
                    return false;
                }
                flags += LSZIP_FLAG_ENCRYPT;
            } else {
                password.clear();
            }
        }

        OperationSlot slot(*this, OperationKind::Zip);
        if (!slot.Take()) {
            return false;
        }
        ScopedOperationHooks hooks(LibraryHooks());
        // The entries a delete removes are found in the archive as it is inside the slot, where
        // no other zip operation changes it; it is read only where the policy allows.
        if (action == LSZIP_DELETE && !CheckDeletedEntryNames(archive, files)) {
            return false;
        }
        Write(ProgressLine(action, archive));
        std::string message;
        bool ok = RunZipLibrary(archive, files, action, flags, password, level, message);
        if (action != LSZIP_REPAIR || ok) {
            // The archive a zip made or changed can be taken away at once.
            bool made = ok && action != LSZIP_DELETE && action != LSZIP_REPAIR;
            Write("<BR>" + message + (made ? " " + DownloadLink(archive) : "") + "<P>");
            return ok;
        }
        // The first repair run kept the slot: the harder fix runs inside the queue too.
        flags += LSZIP_FLAG_HARDER_REPAIR;
        Write("<BR>Applying harder fix operation ...<BR>");
        if (RunZipLibrary(archive, files, action, flags, password, level, message)) {
            Write("<BR><B>Successfully repaired file " + HtmlEscape(archive) + "</B>" +
                  RepairFacts() + "<P>");
            return true;
        }
        Write("<BR><B>Sorry, cannot repair file</B>.<P>");
        return false;
    } catch (const std::exception& error) {
        Write("<BR><B>Error:</B> " + HtmlEscape(error.what()) + "<P>");
        return false;
    }
}

// One run of the zip side. Frees the zip slot when done, except after a failed first repair
// attempt, whose harder second attempt must run in the same slot.
bool Farbale::RunZipLibrary(std::string& archive, std::string& files, int32_t& action,
                            int32_t& flags, std::string& password, int32_t& level,
                            std::string& message) {
    bool ok = false;
    try {
        std::optional<int32_t> code =
            CallZipSide(TempDir, archive, files, action, flags, password, level, message);
        report_.status = code;
        if (code) {
            int64_t read = 0, written = 0;
            CurrentZipSideCalls().getBytes(read, written);
            report_.AddBytes(read, written);
            message = StatusMessage(*code);
            ok = *code == 0;
            if (!ok) {
                message = "<B>Error:</B>" + message + FailureFacts(*code, flags);
            } else if (action == LSZIP_REPAIR) {
                message += RepairFacts();
            }
        }
    } catch (const std::exception& error) {
        message = "<B>Error:</B> " + HtmlEscape(error.what());
        ok = false;
    }
    report_.libraryMessage = message;
    bool retryFollows = action == LSZIP_REPAIR && !ok && (flags & LSZIP_FLAG_HARDER_REPAIR) == 0;
    if (!retryFollows) {
        ReleaseOperationSlot(OperationKind::Zip);
    }
    return ok;
}

}  // namespace vantrel
