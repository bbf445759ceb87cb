// What an operation tells the zip library when it asks about a real location, and how the page
// names the files and entries the library leaves out.
#include <exception>
#include <memory>
#include <optional>
#include <system_error>

#include "component/archive/OperationHooks.h"
#include "component/archive/StatusMessage.h"
#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "component/policy/PathLists.h"
#include "platform/text/CaseFolding.h"

namespace vantrel {

OperationHooks Farbale::LibraryHooks() {
    auto lists = std::make_shared<PathLists>();
    auto allow = [this, lists](const std::string& realPath) {
        try {
            lists->Excluded();
            lists->Included();
        } catch (const std::exception&) {
            // Lists that cannot be read refuse every location, as the policy does.
            Write(std::string(kSecurityError) + strNewLine);
            return false;
        }
        // A name reached through a link is judged where it really lies.
        std::string path = platform::FoldCase(realPath);
        if (MatchPathList(path, lists->Excluded(), PathListMode::Exclude) &&
            MatchPathList(path, lists->Included(), PathListMode::Include)) {
            return true;
        }
        Write(HtmlEscape(realPath) + "<BR>" + strNewLine);
        return false;
    };
    // A file the file system refused is named with its reason: "Permission denied: c:\x.txt".
    auto leftOut = [this](int32_t code, int systemError, const std::string& name) {
        std::string reason =
            systemError ? std::generic_category().message(systemError) + ": " : std::string();
        Write("<BR>" + StatusMessage(code) + " " + reason + HtmlEscape(name) + strNewLine);
    };
    return {allow, leftOut};
}

}  // namespace vantrel
