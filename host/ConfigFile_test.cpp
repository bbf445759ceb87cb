#include "host/ConfigFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "host/HostHarness.h"
#include "host/HostOptions.h"

namespace vantrel::host {
namespace {

using testing::TestFolder;

class ConfigFileTest : public ::testing::Test {
  protected:
    // Writes the file and parses it with the command line after --config FILE.
    std::optional<HostOptions> Parse(const std::string& text, std::vector<std::string> args = {}) {
        std::ofstream(file_) << text;
        args.insert(args.begin(), {"--config", file_.string()});
        return ParseHostOptions(args, error_);
    }

    TestFolder folder_{"config"};
    std::filesystem::path file_ = folder_.Path() / "vantrel.conf";
    std::string error_;
};

TEST_F(ConfigFileTest, EveryLongOptionIsAKey) {
    auto options = Parse(
        "# the service's settings\n"
        "  listen\t= 0.0.0.0:8443  \n"
        "\n"
        "drive = c=/srv/c,fixed,DATA\n"
        "drive = d=/srv/d,cdrom,DISC\n"
        "data = /srv/data\n"
        "web-root = c:\\site\n"
        "page = /zip.asp\n"
        "registry = /etc/vantrel/settings\n"
        "debug = true\n"
        "threads = 8\n"
        "min-free-space = 2G\n"
        "sign-in = users\n"
        "users = /etc/vantrel/users\n"
        "tls-cert = /etc/ssl/c.pem\n"
        "tls-key = /etc/ssl/k.pem\n"
        "plain-http = no\n"
        "trusted-proxy = 127.0.0.1\n"
        "trusted-proxy = 10.0.0.0/8\n"
        "audit-log = /var/log/vantrel/audit.log\n"
        "access-log = /var/log/vantrel/access.log\n"
        "stop-timeout = 5\n");
    ASSERT_TRUE(options) << error_;
    EXPECT_EQ(options->configFile, file_);
    EXPECT_EQ(options->listenAddress, "0.0.0.0");
    EXPECT_EQ(options->listenPort, 8443);
    ASSERT_EQ(options->drives.Drives().size(), 2u);
    EXPECT_EQ(options->drives.Drives()[1].volumeName, "DISC");
    EXPECT_EQ(options->dataFolder, "/srv/data");
    EXPECT_EQ(options->webRoot, "c:\\site");
    EXPECT_EQ(options->page, "/zip.asp");
    EXPECT_EQ(options->registry, "/etc/vantrel/settings");
    EXPECT_TRUE(options->debug);
    EXPECT_EQ(options->threads, 8);
    EXPECT_EQ(options->minFreeSpace, "2G");
    EXPECT_EQ(options->signIn, SignInMode::Users);
    EXPECT_EQ(options->usersFile, "/etc/vantrel/users");
    EXPECT_TRUE(options->Tls());
    EXPECT_FALSE(options->plainHttp);
    ASSERT_EQ(options->trustedProxies.size(), 2u);
    EXPECT_EQ(options->auditLog, "/var/log/vantrel/audit.log");
    EXPECT_EQ(options->accessLog, "/var/log/vantrel/access.log");
    EXPECT_EQ(options->stopTimeoutSeconds, 5);
    // What --check-config prints reads back as the same settings.
    std::string printed;
    for (const auto& line : EffectiveSettings(*options)) {
        printed += line + "\n";
    }
    auto again = Parse(printed);
    ASSERT_TRUE(again) << error_ << "\n" << printed;
    EXPECT_EQ(EffectiveSettings(*again), EffectiveSettings(*options));
}

// The command line wins; a repeatable option there replaces the file's lines of it.
TEST_F(ConfigFileTest, TheCommandLineOverridesTheFile) {
    const std::string file =
        "listen = 127.0.0.1:9000\nthreads = 4\ndrive = c=/srv/c\ndrive = d=/srv/d\n"
        "plain-http = true\ntrusted-proxy = 127.0.0.1\n";
    auto options = Parse(file, {"--threads", "6", "--drive=e=/srv/e", "--plain-http=false"});
    ASSERT_TRUE(options) << error_;
    EXPECT_EQ(options->listenPort, 9000);
    EXPECT_EQ(options->threads, 6);
    ASSERT_EQ(options->drives.Drives().size(), 1u);
    EXPECT_EQ(options->drives.Drives()[0].letter, 'e');
    EXPECT_FALSE(options->plainHttp);
    EXPECT_EQ(options->trustedProxies.size(), 1u);
    // The order on the command line does not matter: --config may come last.
    std::ofstream(file_) << file;
    auto last = ParseHostOptions({"--threads", "7", "--config", file_.string()}, error_);
    ASSERT_TRUE(last) << error_;
    EXPECT_EQ(last->threads, 7);
}

// A wrong line names the file and line and what is wrong; nothing is served.
TEST_F(ConfigFileTest, AWrongLineIsNamedByFileAndLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"threads = 4\nlisten 127.0.0.1:80\n", ":2: expected key = value"},
        {"listen = 127.0.0.1:8080\nbind = 0.0.0.0\n", ":2: unknown key 'bind'"},
        {"Listen = 127.0.0.1:8080\n", ":1: 'Listen' is not a key"},
        {"--listen = 127.0.0.1:8080\n", ":1: '--listen' is not a key"},
        {"\n\nlisten = 127.0.0.1\n", ":3: listen takes ADDRESS:PORT"},
        {"threads =\n", ":1: threads needs a value"},
        {"threads = 4 # four\n", ":1: threads takes a number from 1 to 1024"},
        {"debug = 1\n", ":1: debug takes true or false"},
        {"drive = c\n", ":1: a drive is LETTER=FOLDER[,TYPE][,VOLUME]: c"},
        {"trusted-proxy = nginx\n", ":1: trusted-proxy takes an IP address or a network"},
        {"stop-timeout = -1\n", ":1: stop-timeout takes seconds"},
        {"threads = 4\nthreads = 5\n", ":2: threads is set twice (first at "},
        {"config = /etc/other.conf\n", ":1: config is for the command line only"},
        {"add-user = eve\n", ":1: add-user is for the command line only"},
        {"data = /srv/\x01x\n", ":1: the value of data holds a control character"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Parse(c.text)) << c.text;
        EXPECT_EQ(error_.rfind(file_.string() + c.message, 0), 0u) << error_;
    }
    EXPECT_FALSE(
        ParseHostOptions({"--config", (folder_.Path() / "missing.conf").string()}, error_));
    EXPECT_NE(error_.find("cannot read the configuration"), std::string::npos) << error_;
    EXPECT_FALSE(ParseHostOptions({"--config", folder_.Path().string()}, error_));
    EXPECT_NE(error_.find("it is a folder"), std::string::npos) << error_;
}

}  // namespace
}  // namespace vantrel::host
