#include "platform/host/WebHost.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "component/core/PageHarness.h"
#include "platform/host/StaticFiles.h"

namespace vantrel::host {
namespace {
namespace fs = std::filesystem;

// Starts a real host on a free loopback port over the given data folder; its port.
int StartHost(const fs::path& data, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--listen",    "127.0.0.1:0", "--data",
                                     data.string(), "--registry",  (data / "registry").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string error;
    auto options = ParseHostOptions(args, error);
    EXPECT_TRUE(options) << error;
    auto* host = new WebHost(*options);  // lives as long as the test program
    EXPECT_TRUE(host->Prepare(error)) << error;
    EXPECT_TRUE(host->Bind());
    std::thread([host] { host->Run(); }).detach();
    std::string address = host->Address();
    return std::stoi(address.substr(address.rfind(':') + 1));
}

fs::path TestDataFolder() {
    static const fs::path folder =
        fs::temp_directory_path() / ("webhost-" + std::to_string(::getpid()));
    return folder;
}

// One host, shared by the tests of the suite.
class WebHostTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = new fs::path(TestDataFolder());
        port_ = StartHost(*root_);
    }

    static httplib::Client Client() { return httplib::Client("127.0.0.1", port_); }

    static inline fs::path* root_ = nullptr;
    static inline int port_ = 0;
};

TEST_F(WebHostTest, ServesThePageAsUtf8WithASessionCookie) {
    auto result = Client().Get("/farbale.asp");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(result->get_header_value("Set-Cookie").find("HttpOnly; SameSite=Strict"),
              std::string::npos);
    EXPECT_EQ(result->body.rfind("<!DOCTYPE HTML PUBLIC", 0), 0u);
    EXPECT_NE(result->body.find("SRC=\"/farbale.asp?OP=source\""), std::string::npos);
}

TEST_F(WebHostTest, SendsTheFramesetExactlyAsTheComponentWritesIt) {
    auto result = Client().Get("/farbale.asp?unrelated=1");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body, testing::PageRequest{}.Run());
    EXPECT_NE(result->body.find("</FRAMESET>\r\n<BODY>\r\n<H3>"), std::string::npos);
}

TEST_F(WebHostTest, TrimsTheOperationAndAcceptsItFromAPost) {
    auto info = Client().Get("/farbale.asp?OP=%20info%20");
    ASSERT_TRUE(info);
    EXPECT_NE(info->body.find("TOPMARGIN=\"0\""), std::string::npos);
    EXPECT_EQ(info->body.find("<FRAMESET"), std::string::npos);
    auto posted = Client().Post("/farbale.asp", "OP=info", "application/x-www-form-urlencoded");
    ASSERT_TRUE(posted);
    EXPECT_NE(posted->body.find("TOPMARGIN=\"0\""), std::string::npos);
}

TEST_F(WebHostTest, RefusesCrossSitePosts) {
    httplib::Headers headers = {{"Origin", "http://evil.example"}};
    auto result = Client().Post("/farbale.asp", headers, "OP=call_zip&OS=---",
                                "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 403);
}

// A real %00 in a posted field: the request is refused whole; nothing is zipped.
TEST_F(WebHostTest, ANulByteInAFieldRefusesTheRequest) {
    fs::create_directories(*root_ / "c" / "outside");
    std::ofstream(*root_ / "c" / "outside" / "secret.txt") << "secret";
    auto result =
        Client().Post("/farbale.asp",
                      "OP=call_zip&SL=c:%5Coutside%5Csecret.txt%00c:%5Cinetpub%5Cwwwroot%5C"
                      "&TP=c:%5Cinetpub%5Cwwwroot%5Cnul.zip&OS=--5---",
                      "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_NE(result->body.find("<B>Error:</B> The request field SL holds a control character"),
              std::string::npos)
        << result->body;
    EXPECT_EQ(result->body.find("Creating"), std::string::npos);
    EXPECT_FALSE(fs::exists(*root_ / "c" / "inetpub" / "wwwroot" / "nul.zip"));
}

TEST_F(WebHostTest, RedirectsTheRootAndServesTheHelpPage) {
    auto root = Client().Get("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->status, 302);
    EXPECT_EQ(root->get_header_value("Location"), "/farbale.asp");
    auto help = Client().Get("/help.htm");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->status, 200);
    for (const char* anchor : {"id=\"zip\"", "id=\"unzip\"", "id=\"view\""}) {
        EXPECT_NE(help->body.find(anchor), std::string::npos) << anchor;
    }
}

TEST_F(WebHostTest, NeverServesFilesOutsideTheWebRoot) {
    fs::path webRoot = *root_ / "c" / "inetpub" / "wwwroot";
    std::ofstream(*root_ / "c" / "secret.txt") << "secret";
    fs::create_directory_symlink(*root_ / "c", webRoot / "up");
    for (const char* path :
         {"/../secret.txt", "/%2e%2e/secret.txt", "/up/secret.txt", "/..%2fsecret.txt"}) {
        auto result = Client().Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 404) << path;
    }
    EXPECT_FALSE(ResolveStaticFile(webRoot, "/up/secret.txt"));
    EXPECT_TRUE(ResolveStaticFile(webRoot, "/help.htm"));
}

TEST(WebHostDebugTest, EverySessionOfADebugHostEchoesItsFieldsEscaped) {
    httplib::Client client("127.0.0.1", StartHost(TestDataFolder(), {"--debug"}));
    auto result =
        client.Post("/farbale.asp", "OP=target&SP=%3Cb%3Ex", "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_NE(result->body.find("Source path is: &lt;b&gt;x<BR>"), std::string::npos);
    auto frameset = client.Get("/farbale.asp");
    ASSERT_TRUE(frameset);
    EXPECT_NE(frameset->body.find("<BODY>\r\n<P>Operation is: <BR>"), std::string::npos);
}

TEST(HostOptionsTest, DefaultsAndMistakes) {
    std::string error;
    auto defaults = ParseHostOptions({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->listenPort, 8080);
    EXPECT_EQ(defaults->page, "/farbale.asp");
    ASSERT_EQ(defaults->drives.Drives().size(), 1u);
    EXPECT_EQ(defaults->drives.Drives()[0].folder, defaults->dataFolder / "c");

    auto drives = ParseHostOptions({"--drive", "d=/srv/d,cdrom,DISC", "--drive=e=/srv/e"}, error);
    ASSERT_TRUE(drives) << error;
    EXPECT_EQ(drives->drives.Drives().size(), 2u);

    for (auto args : std::vector<std::vector<std::string>>{{"--listen", "nonsense"},
                                                           {"--drive", "x"},
                                                           {"--threads", "0"},
                                                           {"--bogus", "1"},
                                                           {"--page", "farbale.asp"},
                                                           {"--data"}}) {
        EXPECT_FALSE(ParseHostOptions(args, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace vantrel::host
