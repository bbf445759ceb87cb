// Extracting and testing archives.
#include <exception>
#include <optional>
#include <string_view>

#include "component/archive/LibraryCalls.h"
#include "component/archive/OperationHooks.h"
#include "component/archive/StatusMessage.h"
#include "component/archive/ZipProgress.h"
#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/core/OptionString.h"
#include "component/policy/OperationSlot.h"
#include "platform/ziplib/lszip.h"

namespace vantrel {

namespace {

constexpr std::string_view kAllUnzipDisabled =
    "<B>All Unzip Functions have been disabled by the administrator.</B></P>";

// The target as the policy tests it: a folder, so that the files written into c:\windows are
// refused by an exclude entry \windows\ just as c:\windows\ is.
std::string AsFolder(const std::string& target) {
    return !target.empty() && target.back() == '\\' ? target : target + "\\";
}

// One run's library calls; the status code, or nullopt with the refusal message in message.
std::optional<int32_t> CallUnzipSide(const std::string& archive, const std::string& target,
                                     const std::string& names, int32_t action, int32_t flags,
                                     const std::string& password, std::string& message) {
    UnzipSideCalls calls = CurrentUnzipSideCalls();
    if (!calls.zipName(archive)) {
        message = "<B>Error:</B> Failed to set name of zip archive.";
        return std::nullopt;
    }
    if (!calls.include(names)) {
        message = "<B>Error:</B> Failed to set list of files to extract";
        return std::nullopt;
    }
    if (action != LSUZ_TEST && !calls.extractTo(target)) {
        message = "<B>Error:</B> Failed to set path for extracted files.";
        return std::nullopt;
    }
    // A test decrypts too: without the password an encrypted entry cannot be checked.
    if (!SetPassword(calls, password, message)) {
        return std::nullopt;
    }
    if (!SetCallbacks(calls, message)) {
        return std::nullopt;
    }
    return calls.execute(action, flags);
}

}  // namespace

// Writes its own messages; True only when the library reported success. The archive must pass the
// path policy for a test as for an extraction (an extraction's target too), by its name here and
// where it really lies when the library opens it, before anything of it is read. Both decrypt with
// the password when the option string asks for it ("P" in position 2).
bool Farbale::UnzipOperation(std::string archive, std::string target, std::string names,
                             std::string password, std::string options) {
    try {
        if (RefuseWhenDisabled("DisableAllUnzipFunctions", kAllUnzipDisabled)) {
            return false;
        }
        if (target.size() > 1 && target.back() == '\\') {
            target.pop_back();
        }
        if (options.empty()) {
            Write("Parameter Error<BR>" + strNewLine);
            return false;
        }
        const UnzipOptions chosen = ReadUnzipOptions(options);
        int32_t action = LSUZ_EXTRACT;
        int32_t flags = LSUZ_FLAG_EXTRACT;
        if (chosen.letter == 'T') {
            action = LSUZ_TEST;
            names = "*.*";
            flags = LSUZ_FLAG_TEST;
        } else if (!CheckPathAccess(AsFolder(target))) {
            return false;
        }
        if (!CheckPathAccess(archive)) {
            return false;
        }
        if (chosen.letter == 'F') {
            flags += LSUZ_FLAG_FRESHEN;
        } else if (chosen.letter == 'U') {
            flags += LSUZ_FLAG_UPDATE;
        }
        // The password applies only when the user ticked "Apply this Password".
        if (chosen.password == false) {
            password.clear();
        }
        if (chosen.noFolders) {
            flags += LSUZ_FLAG_NO_FOLDERS;
        }
        OperationSlot slot(*this, OperationKind::Unzip);
        if (!slot.Take()) {
            return false;
        }
        Write((action == LSUZ_TEST ? "Testing archive file " : "Extracting from ") +
              HtmlEscape(archive) + " ... ");
        std::string message;
        ScopedOperationHooks hooks(LibraryHooks());
        bool ok = RunUnzipLibrary(archive, target, names, action, flags, password, message);
        Write("<BR>" + message + "<P>");
        return ok;
    } catch (const std::exception& error) {
        Write("<BR><B>Error:</B> " + HtmlEscape(error.what()) + "<P>");
        return false;
    }
}

// One run of the unzip side; frees the unzip slot when done, whatever happened.
bool Farbale::RunUnzipLibrary(std::string& archive, std::string& target, std::string& names,
                              int32_t& action, int32_t& flags, std::string& password,
                              std::string& message) {
    bool ok = false;
    try {
        std::optional<int32_t> code =
            CallUnzipSide(archive, target, names, action, flags, password, message);
        report_.status = code;
        if (code) {
            int64_t read = 0, written = 0;
            CurrentUnzipSideCalls().getBytes(read, written);
            report_.AddBytes(read, written);
            message = StatusMessage(*code);
            ok = *code == 0;
            if (ok && action == LSUZ_TEST) {
                message = "Complete, no errors found.";
            } else if (!ok) {
                message = "<B>Error:</B> " + message;
                if (*code == LSZIP_E_ABORTED) {
                    message += TakeAbortReason();
                }
            }
        }
    } catch (const std::exception& error) {
        message = "<B>Error:</B> " + HtmlEscape(error.what());
        ok = false;
    }
    report_.libraryMessage = message;
    ReleaseOperationSlot(OperationKind::Unzip);
    return ok;
}

}  // namespace vantrel
