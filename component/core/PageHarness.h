#pragma once
// Test support: a temporary server (drive c: in a fresh folder with c:\temp, an empty registry, a
// queue folder) and a way to run the component for one request and collect the page it writes.

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "component/core/ContextSlot.h"
#include "component/core/Farbale.h"
#include "platform/asp/ScriptingContext.h"
#include "platform/files/LockFolder.h"
#include "platform/registry/Registry.h"

namespace vantrel::testing {

class TemporaryServer {
  public:
    TemporaryServer() {
        static std::atomic<int> counter = 0;
        root_ = std::filesystem::temp_directory_path() /
                ("vantrel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(DriveFolder() / "temp");
        std::filesystem::create_directories(DriveFolder() / "inetpub" / "wwwroot");
        ::setenv("VANTREL_DRIVES", ("c=" + DriveFolder().string() + ",fixed,DATA").c_str(), 1);
        ::setenv(registry::kRegistryVariable, (root_ / "registry").c_str(), 1);
        std::filesystem::create_directory(QueueFolder());
        std::filesystem::permissions(QueueFolder(), std::filesystem::perms::owner_all);
        ::setenv(platform::kQueueFolderVariable, QueueFolder().c_str(), 1);
    }
    ~TemporaryServer() { std::filesystem::remove_all(root_); }

    std::filesystem::path DriveFolder() const { return root_ / "c"; }
    std::filesystem::path Root() const { return root_; }
    // The operation queue's folder, as a host makes it.
    std::filesystem::path QueueFolder() const { return root_ / "queue"; }

    // Stores a setting the way the administrator's dialog does.
    void StoreSetting(const std::string& name, const std::string& text) const {
        using namespace registry;
        HKEY key = 0;
        std::string path = "SOFTWARE\\Quillfen\\Farbale\\" + name;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key);
        RegSetValueA(key, nullptr, REG_SZ, text.c_str(), static_cast<DWORD>(text.size()));
        RegCloseKey(key);
    }

  private:
    std::filesystem::path root_;
};

// A request of its own whose response is collected in output, for tests that call the component's
// parts directly. Bind() makes it the calling thread's current request; it leaves the slot empty
// when it ends, if it still holds it.
class CollectedRequest {
  public:
    CollectedRequest() = default;
    CollectedRequest(const CollectedRequest&) = delete;
    CollectedRequest& operator=(const CollectedRequest&) = delete;
    ~CollectedRequest() {
        if (CurrentContext() == &context_) {
            SetCurrentContext(nullptr);
        }
    }

    void Bind() { SetCurrentContext(&context_); }

    std::string output;

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

// One request: fill its fields, then Run() the component and read what it wrote.
class PageRequest {
  public:
    asp::FieldList query;
    asp::FieldList form;
    bool debug = false;
    std::string scriptName = "/farbale.asp";
    std::function<void(const asp::OperationRecord&)> recordOperation;
    bool twice = false;  // ShowPage is called a second time on the same object

    // The page; result receives ShowPage's result.
    std::string Run(bool* result = nullptr) {
        std::string page;
        asp::Request request(query, form, {},
                             {{"SCRIPT_NAME", scriptName}, {"SERVER_NAME", "testserver"}});
        asp::Response response([&page](std::string_view text) {
            page.append(text);
            return true;
        });
        asp::Session session;
        if (debug) {
            session.Set("debugmode", "yes");
        }
        asp::Server server("c:\\inetpub\\wwwroot");
        asp::ScriptingContext context{request, response, session, server, recordOperation};
        RequestScope scope;
        Farbale component;
        component.OnStartPage(context);
        bool shown = component.ShowPage();
        if (twice) {
            component.ShowPage();
        }
        if (result) {
            *result = shown;
        }
        return page;
    }
};

}  // namespace vantrel::testing
