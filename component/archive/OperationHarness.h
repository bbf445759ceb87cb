#pragma once
// Test support for the zip and unzip operations: a temporary server, one component object whose
// response is collected in a string, access to the operations and the periods of the queue, and
// the table-driven checks both operations share.

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "component/archive/FakeZipLibrary.h"
#include "component/core/Farbale.h"
#include "component/core/PageHarness.h"

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
};

namespace testing {

using OperationAccess = FarbaleTestAccess<OperationTestTag>;

// One request's component object on the calling thread, over a fresh temporary server.
class OperationRequest : public CollectedRequest {
  public:
    OperationRequest() {
        OperationAccess::Prepare(component);
        Bind();
    }

    bool Zip(const std::string& archive, const std::string& files, const std::string& password,
             const std::string& options) {
        return OperationAccess::Zip(component, archive, files, password, options);
    }
    bool Unzip(const std::string& archive, const std::string& target, const std::string& names,
               const std::string& password, const std::string& options) {
        return OperationAccess::Unzip(component, archive, target, names, password, options);
    }
    // The lock files of both kinds now in the queue's folder.
    std::vector<std::string> LockFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(server.QueueFolder())) {
            std::string name = entry.path().filename().string();
            if (name.size() > 4 && name.substr(name.size() - 4) == ".~fb") {
                names.push_back(name);
            }
        }
        return names;
    }

    TemporaryServer server;
    Farbale component;
};

// The outcome of one run of an operation: its options, the library's status code and the page.
struct OutcomeCase {
    const char* options;
    int32_t code;
    const char* expected;
};

// Runs each case with the library answering its code; run(request, options) starts the operation.
template <typename Run>
void ExpectOutcomes(std::initializer_list<OutcomeCase> cases, Run run) {
    for (const auto& c : cases) {
        FakeZipLibrary library;
        library.codes = {c.code};
        OperationRequest request;
        EXPECT_EQ(run(request, c.options), c.code == 0);
        EXPECT_EQ(request.output, c.expected);
    }
}

// A setter the library refuses stops the run with the setter's message after the progress line,
// before the library executes, and frees the slot. run(request) starts the operation.
template <typename Run>
void ExpectSetterRefusals(std::initializer_list<std::pair<const char*, const char*>> cases,
                          const std::string& progress, Run run) {
    for (const auto& [setter, message] : cases) {
        FakeZipLibrary library;
        library.refusing = setter;
        OperationRequest request;
        EXPECT_FALSE(run(request));
        EXPECT_EQ(request.output, progress + message + "<P>");
        EXPECT_EQ(library.executes(), 0);
        EXPECT_TRUE(request.LockFiles().empty());
    }
}

}  // namespace testing
}  // namespace vantrel
