#pragma once
// Test support for the zip and unzip operations: a temporary server, one component object whose
// response is collected in a string, and access to the operations and the periods of the queue.

#include <filesystem>
#include <string>
#include <vector>

#include "component/core/ContextSlot.h"
#include "component/core/Farbale.h"
#include "component/core/PageHarness.h"
#include "platform/asp/ScriptingContext.h"

namespace vantrel {

struct OperationTestTag;

template <>
struct FarbaleTestAccess<OperationTestTag> {
    static bool Zip(Farbale& f, const std::string& archive, const std::string& files,
                    const std::string& password, const std::string& options) {
        return f.ZipOperation(archive, files, password, options);
    }
    static bool Unzip(Farbale& f, const std::string& archive, const std::string& target,
                      const std::string& names, const std::string& password,
                      const std::string& options) {
        return f.UnzipOperation(archive, target, names, password, options);
    }
    static void Prepare(Farbale& f) { f.strNewLine = "\r\n"; }
    static void SetWaitPeriod(Farbale& f, int32_t seconds) { f.WaitForSeconds = seconds; }
};

namespace testing {

using OperationAccess = FarbaleTestAccess<OperationTestTag>;

// One request's component object on the calling thread, over a fresh temporary server.
class OperationRequest {
  public:
    OperationRequest() {
        OperationAccess::Prepare(component);
        SetCurrentContext(&context_);
    }
    ~OperationRequest() { SetCurrentContext(nullptr); }

    bool Zip(const std::string& archive, const std::string& files, const std::string& password,
             const std::string& options) {
        return OperationAccess::Zip(component, archive, files, password, options);
    }
    bool Unzip(const std::string& archive, const std::string& target, const std::string& names,
               const std::string& password, const std::string& options) {
        return OperationAccess::Unzip(component, archive, target, names, password, options);
    }
    // The lock files of both kinds now in c:\temp.
    std::vector<std::string> LockFiles() const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(server.DriveFolder() / "temp")) {
            std::string name = entry.path().filename().string();
            if (name.size() > 4 && name.substr(name.size() - 4) == ".~fb") {
                names.push_back(name);
            }
        }
        return names;
    }

    TemporaryServer server;
    std::string output;
    Farbale component;

  private:
    asp::Request request_{{}, {}, {}, {}};
    asp::Response response_{[this](std::string_view text) {
        output.append(text);
        return true;
    }};
    asp::Session session_;
    asp::Server server_{"c:\\inetpub\\wwwroot"};
    asp::ScriptingContext context_{request_, response_, session_, server_};
};

}  // namespace testing
}  // namespace vantrel
