#include "host/WebHost.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "component/core/PageHarness.h"
#include "host/HostHarness.h"
#include "host/StaticFiles.h"
#include "platform/registry/Registry.h"

namespace vantrel::host {
namespace {

using testing::RunningHost;
using testing::TestFolder;
using testing::ZipForm;
namespace fs = std::filesystem;

// One host without sign-in on a loopback address, shared by the tests of the suite.
class WebHostTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new TestFolder("webhost");
        host_ = new RunningHost(folder_->Path());
    }
    static void TearDownTestSuite() {
        delete host_;
        delete folder_;
    }

    static httplib::Client Client() { return host_->Client(); }
    static fs::path Drive() { return folder_->Path() / "c"; }

    static inline TestFolder* folder_ = nullptr;
    static inline RunningHost* host_ = nullptr;
};

// Stores a setting as the administrator's dialog does, in the registry the hosts of this process
// read.
void StoreSetting(const std::string& name, const std::string& text) {
    using namespace registry;
    HKEY key = 0;
    RegCreateKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Quillfen\\Farbale\\" + name).c_str(), &key);
    RegSetValueA(key, nullptr, REG_SZ, text.c_str(), static_cast<DWORD>(text.size()));
    RegCloseKey(key);
}

// The raw answer to raw request bytes.
std::string Exchange(int port, const std::string& request) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        for (size_t sent = 0; sent < request.size();) {
            ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<size_t>(n);
        }
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            answer.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return answer;
}

// The frameset exactly as the component writes it, as UTF-8, with a session cookie.
TEST_F(WebHostTest, ServesTheFramesetAsTheComponentWritesItWithASessionCookie) {
    auto result = Client().Get("/farbale.asp?unrelated=1");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(result->get_header_value("Set-Cookie").find("; Path=/; HttpOnly; SameSite=Strict"),
              std::string::npos);
    EXPECT_EQ(result->get_header_value("Set-Cookie").find("Secure"), std::string::npos);
    EXPECT_EQ(result->body, vantrel::testing::PageRequest{}.Run());
}

TEST_F(WebHostTest, RefusesCrossSitePosts) {
    httplib::Headers headers = {{"Origin", "http://evil.example"}};
    auto result = Client().Post("/farbale.asp", headers, "OP=call_zip&OS=---",
                                "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 403);
}

TEST_F(WebHostTest, RedirectsTheRootAndServesTheHelpPage) {
    auto root = Client().Get("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->status, 302);
    EXPECT_EQ(root->get_header_value("Location"), "/farbale.asp");
    auto help = Client().Get("/help.htm");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->status, 200);
    for (const char* anchor : {"id=\"zip\"", "id=\"unzip\"", "id=\"view\"", "AES-256"}) {
        EXPECT_NE(help->body.find(anchor), std::string::npos) << anchor;
    }
}

TEST_F(WebHostTest, NeverServesFilesOutsideTheWebRoot) {
    fs::path webRoot = Drive() / "inetpub" / "wwwroot";
    std::ofstream(Drive() / "secret.txt") << "secret";
    fs::create_directory_symlink(Drive(), webRoot / "up");
    for (const char* path : {"/../secret.txt", "/%2e%2e/secret.txt", "/up/secret.txt",
                             "/..%2fsecret.txt", "/..%5csecret.txt", "/help.htm%00.png"}) {
        auto result = Client().Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 404) << path;
    }
}

// Framing that a proxy could read otherwise is refused before anything runs, and the connection
// closed; requests too large are answered with a text a person can read.
TEST_F(WebHostTest, RefusesAmbiguousAndOversizedRequestsOverARawSocket) {
    const std::string call =
        "POST /farbale.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n";
    const std::string closing = call + "Connection: close\r\n";
    const std::string big(8 * 1024 * 1024 + 1, 'x');
    const struct {
        std::string request;
        const char* statusLine;
        const char* body;
    } cases[] = {
        {call + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
         "HTTP/1.1 400 Bad Request", "both Content-Length and Transfer-Encoding"},
        {call + "X-Note: one\r\n Transfer-Encoding: chunked\r\nContent-Length: 2\r\n\r\nOP",
         "HTTP/1.1 400 Bad Request", "obsolete line folding"},
        {closing + "Content-Length: " + std::to_string(big.size()) + "\r\n\r\n" + big,
         "HTTP/1.1 413 Payload Too Large", "Request too large"},
        {"GET /farbale.asp?OP=" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n",
         "HTTP/1.1 414 URI Too Long", "Address too long"},
    };
    for (const auto& c : cases) {
        std::string answer = Exchange(host_->Port(), c.request);
        EXPECT_EQ(answer.rfind(c.statusLine, 0), 0u) << answer.substr(0, 200);
        EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer.substr(0, 300);
        EXPECT_NE(answer.find(c.body), std::string::npos) << answer.substr(0, 300);
        EXPECT_EQ(answer.find("Operation"), std::string::npos);
    }
}

// Every operation call leaves one audit line, refused ones included.
TEST_F(WebHostTest, AuditsAZipAndARefusedZip) {
    fs::create_directories(Drive() / "audit");
    std::ofstream(Drive() / "audit" / "a.txt") << "a";
    std::string zip = ZipForm("c:\\audit\\a.txt", "c:\\audit\\a.zip");
    ASSERT_TRUE(Client().Post("/farbale.asp", zip, "application/x-www-form-urlencoded"));
    StoreSetting("DisableAllZipFunctions", "1");
    auto refused = Client().Post("/farbale.asp", zip, "application/x-www-form-urlencoded");
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->body.find("disabled by the administrator"), std::string::npos);
    auto lines = host_->AuditLines();
    ASSERT_GE(lines.size(), 2u);
    const std::string common =
        "\"client\":\"127.0.0.1\",\"operation\":\"-\",\"archive\":\"c:\\\\audit\\\\a.zip\","
        "\"target\":\"\",\"entries\":[\"c:\\\\audit\\\\a.txt\"],";
    std::string done = lines[lines.size() - 2], denied = lines.back();
    EXPECT_NE(done.find(common + "\"status\":0,\"result\":\"succeeded\",\"text\":\"Operation "
                                 "complete, no errors.\",\"durationMs\":"),
              std::string::npos)
        << done;
    EXPECT_NE(denied.find(common + "\"status\":null,\"result\":\"refused\",\"text\":\"All Zip "
                                   "Functions have been disabled by the administrator.\""),
              std::string::npos)
        << denied;
    EXPECT_NE(denied.find("\"bytesIn\":0,\"bytesOut\":0}"), std::string::npos);
    std::string written = std::to_string(fs::file_size(Drive() / "audit" / "a.zip"));
    EXPECT_NE(done.find("\"bytesIn\":1,\"bytesOut\":" + written + "}"), std::string::npos) << done;
    StoreSetting("DisableAllZipFunctions", "0");
}

TEST(WebHostDebugTest, EverySessionOfADebugHostEchoesItsFieldsEscapedAndNoPassword) {
    TestFolder folder("webhost-debug");
    RunningHost host(folder.Path(), {"--debug"});
    auto result = host.Client().Post("/farbale.asp", "OP=target&SP=%3Cb%3Ex&PW=s3cret",
                                     "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_NE(result->body.find("Source path is: &lt;b&gt;x<BR>"), std::string::npos);
    EXPECT_NE(result->body.find("Password is: ********<BR>"), std::string::npos);
    EXPECT_EQ(result->body.find("s3cret"), std::string::npos);
    auto frameset = host.Client().Get("/farbale.asp");
    ASSERT_TRUE(frameset);
    EXPECT_NE(frameset->body.find("<BODY>\r\n<P>Operation is: <BR>"), std::string::npos);
}

// HTTPS with a certificate made for the test: the session cookie is Secure, HSTS is sent.
TEST(WebHostTlsTest, ServesHttpsWithSecureCookies) {
    TestFolder folder("webhost-tls");
    fs::path cert = folder.Path() / "cert.pem", key = folder.Path() / "key.pem";
    std::string make =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
        "-nodes -days 1 -subj /CN=127.0.0.1 -keyout " +
        key.string() + " -out " + cert.string() + " 2>/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    RunningHost host(folder.Path(), {"--tls-cert", cert.string(), "--tls-key", key.string()});
    EXPECT_EQ(host.Host().Address().rfind("https://", 0), 0u);
    httplib::SSLClient client("127.0.0.1", host.Port());
    client.enable_server_certificate_verification(false);
    auto result = client.Get("/farbale.asp?OP=info");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);
    EXPECT_NE(result->get_header_value("Set-Cookie").find("HttpOnly; SameSite=Strict; Secure"),
              std::string::npos);
    EXPECT_EQ(result->get_header_value("Strict-Transport-Security"), "max-age=31536000");
    httplib::Client plain("127.0.0.1", host.Port());
    EXPECT_FALSE(plain.Get("/farbale.asp"));
}

TEST(HostOptionsTest, DefaultsAndMistakes) {
    std::string error;
    auto defaults = ParseHostOptions({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->listenPort, 8080);
    EXPECT_EQ(defaults->page, "/farbale.asp");
    EXPECT_EQ(defaults->signIn, SignInMode::None);
    EXPECT_EQ(defaults->auditLog, defaults->dataFolder / "audit.log");
    EXPECT_EQ(defaults->accessLog, "-");
    ASSERT_EQ(defaults->drives.Drives().size(), 1u);
    EXPECT_EQ(defaults->drives.Drives()[0].folder, defaults->dataFolder / "c");

    auto server =
        ParseHostOptions({"--listen", "0.0.0.0:8443", "--tls-cert", "c", "--tls-key", "k"}, error);
    ASSERT_TRUE(server) << error;
    EXPECT_EQ(server->signIn, SignInMode::System);
    auto proxied = ParseHostOptions(
        {"--listen", "[::]:80", "--plain-http", "--sign-in", "users", "--users", "u"}, error);
    ASSERT_TRUE(proxied) << error;
    EXPECT_EQ(proxied->listenAddress, "::");

    for (auto args : std::vector<std::vector<std::string>>{
             {"--min-free-space", "5GB"},
             {"--bogus", "1"},
             {"--page", "farbale.asp"},
             {"--data"},
             {"--sign-in", "maybe"},
             {"--sign-in", "users"},
             {"--add-user", "alice"},
             {"--remove-user", "alice"},
             {"--list-users", "--remove-user", "alice", "--users", "u"},
             {"--tls-cert", "c"},
             {"--listen", "0.0.0.0:80", "--sign-in", "none", "--plain-http"},
             {"--listen", "10.0.0.1:80"},
         }) {
        EXPECT_FALSE(ParseHostOptions(args, error)) << args[0] << " " << args[1];
        EXPECT_FALSE(error.empty());
    }
}

// The program refuses to serve everyone without sign-in, and says why, with exit code 2.
TEST(HostOptionsTest, TheProgramRefusesNoSignInOnAnyAddress) {
    std::string command = (testing::ProgramFolder() / "vantrel-host").string() +
                          " --listen 0.0.0.0:0 --sign-in none --plain-http 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string said;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        said.append(buffer, n);
    }
    int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(said.find("refusing to serve 0.0.0.0 without sign-in"), std::string::npos) << said;
}

}  // namespace
}  // namespace vantrel::host
