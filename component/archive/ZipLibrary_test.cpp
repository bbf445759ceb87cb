// The zip library as the component calls it.
#include "component/archive/ZipLibrary.h"

#include <gtest/gtest.h>

#include <fstream>

#include "component/core/PageHarness.h"

namespace vantrel {
namespace {

TEST(ZipLibrary, NeverPassesATextCutShortByANulByte) {
    testing::TemporaryServer server;
    std::ofstream(server.DriveFolder() / "a.txt") << "alpha";
    std::string list = "c:\\a.txt";
    std::string archive = "c:\\b.zip";
    EXPECT_EQ(lszip::LSZIP_INCLUDE(list + std::string(1, '\0') + "c:\\secret.txt"), 0);
    EXPECT_EQ(lszip::LSZIP_EXECUTE(archive + std::string(1, '\0'), LSZIP_ADD, 6, LSZIP_FLAG_BASE),
              LSZIP_E_ARGUMENT);
    EXPECT_NE(lszip::LSZIP_INCLUDE(list), 0);
    EXPECT_EQ(lszip::LSZIP_EXECUTE(archive, LSZIP_ADD, 6, LSZIP_FLAG_BASE), 0);
}

}  // namespace
}  // namespace vantrel
