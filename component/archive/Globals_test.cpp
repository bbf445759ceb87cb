// The binding to the zip library and the progress callback.
#include "component/archive/Globals.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "component/core/ContextSlot.h"
#include "component/core/PageHarness.h"
#include "platform/ziplib/lszip.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// Restores the usual search for the library files when a test ends.
class Binding : public ::testing::Test {
  protected:
    void TearDown() override { lszip::SetZipLibraryFolder(""); }

    fs::path EmptyFolder() {
        fs::path folder = server.Root() / "no-library";
        fs::create_directories(folder);
        return folder;
    }
    testing::TemporaryServer server;
};

// A request that collects what is written, set as the current one.
struct CollectedResponse : testing::CollectedRequest {
    CollectedResponse() { Bind(); }
};

TEST_F(Binding, AMissingFileIsARuntimeErrorThatNamesIt) {
    lszip::SetZipLibraryFolder(EmptyFolder().string());
    try {
        lszip::LSZIP_VER();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("liblspzipx.so"), std::string::npos);
    }
    EXPECT_THROW(lszip::LSUZ_VER(), std::runtime_error);
}

TEST_F(Binding, AMissingFunctionIsARuntimeErrorThatNamesIt) {
    // The unzip side's file standing in for the zip side's has none of its functions.
    fs::path folder = EmptyFolder();
    fs::copy_file(fs::path(lszip::ComponentFolder()) / "liblspuzipx.so", folder / "liblspzipx.so");
    lszip::SetZipLibraryFolder(folder.string());
    try {
        lszip::LSZIP_VER();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("LSZIP_VER"), std::string::npos);
    }
}

TEST_F(Binding, NeverPassesATextCutShortByANulByte) {
    std::ofstream(server.DriveFolder() / "a.txt") << "alpha";
    std::string list = "c:\\a.txt";
    std::string archive = "c:\\b.zip";
    EXPECT_EQ(lszip::LSZIP_INCLUDE(list + std::string(1, '\0') + "c:\\secret.txt"), 0);
    EXPECT_EQ(lszip::LSZIP_EXECUTE(archive + std::string(1, '\0'), LSZIP_ADD, 6, LSZIP_FLAG_BASE),
              LSZIP_E_ARGUMENT);
    EXPECT_NE(lszip::LSZIP_INCLUDE(list), 0);
    EXPECT_EQ(lszip::LSZIP_EXECUTE(archive, LSZIP_ADD, 6, LSZIP_FLAG_BASE), 0);
}

TEST_F(Binding, ProgressWritesADotLineIntoTheCurrentResponse) {
    CollectedResponse page;
    EXPECT_EQ(ZipProgress(1, 2, 3, 4, 5), 0);
    EXPECT_EQ(page.output, ".\r\n");
}

TEST_F(Binding, ProgressWithoutARequestStopsInsteadOfThrowing) {
    SetCurrentContext(nullptr);
    EXPECT_EQ(ZipProgress(0, 0, 0, 0, 0), 1);
}

}  // namespace
}  // namespace vantrel
