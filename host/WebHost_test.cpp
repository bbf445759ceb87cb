#include "host/WebHost.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "component/core/PageHarness.h"
#include "host/HostHarness.h"
#include "host/StaticFiles.h"
#include "platform/files/TestDrive.h"
#include "platform/registry/Registry.h"

namespace vantrel::host {
namespace {

using testing::Exchange;
using testing::OpenWith;
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

// Whether the host still holds the connection open (nothing to read, no end).
bool StillOpen(int fd) {
    char byte;
    return ::recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN;
}

// The bytes of a whole answer, its body counted rather than kept: a GET with Connection: close.
uint64_t DownloadedBytes(int port, const std::string& path) {
    int fd =
        OpenWith(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    std::vector<char> buffer(1 << 20);
    uint64_t total = 0;
    for (ssize_t n; (n = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0;) {
        total += static_cast<uint64_t>(n);
    }
    ::close(fd);
    return total;
}

// The host's (this process's) resident memory in KB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// How much more resident memory (KB) this process held at most while work ran than before.
long GrowthWhile(const std::function<void()>& work) {
    long before = ResidentKb(), most = before;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        most = std::max(most, ResidentKb());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
    return most - before;
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
    // Like every file of the web root, it is a document of its own origin, and reads well so.
    EXPECT_EQ(help->get_header_value("Content-Security-Policy"), "sandbox");
    EXPECT_EQ(help->get_header_value("X-Content-Type-Options"), "nosniff");
}

// Paths are decoded once: "/%2570rivate/p.txt" names a folder "%70rivate", never "private".
TEST_F(WebHostTest, DecodesPathsOnceAndNeverServesFilesOutsideTheWebRoot) {
    fs::path webRoot = Drive() / "inetpub" / "wwwroot";
    std::ofstream(Drive() / "secret.txt") << "secret";
    fs::create_directory_symlink(Drive(), webRoot / "up");
    fs::create_directories(webRoot / "private");
    std::ofstream(webRoot / "private" / "p.txt") << "p";
    for (const char* path :
         {"/../secret.txt", "/%2e%2e/secret.txt", "/up/secret.txt", "/..%2fsecret.txt",
          "/..%5csecret.txt", "/help.htm%00.png", "/%2570rivate/p.txt", "/%252e%252e/secret.txt"}) {
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
    fs::create_directories(Drive() / "smuggled");
    std::ofstream(Drive() / "smuggled" / "a.txt") << "a";
    const std::string form = ZipForm("c:\\smuggled\\a.txt", "c:\\smuggled\\a.zip");
    const std::string hidden =
        call + "Content-Length: " + std::to_string(form.size()) + "\r\n\r\n" + form;
    const std::string multipart =
        "--XX\r\nContent-Disposition: form-data; name=\"OP\"\r\n\r\n" + hidden + "\r\n--XX--\r\n";
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
        // A body with a method that takes none is never read as the next request.
        {"GET /help.htm HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
             std::to_string(hidden.size()) + "\r\n\r\n" + hidden,
         "HTTP/1.1 400 Bad Request", "a body with a request that takes none"},
        {"OPTIONS * HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
             std::string("5\r\nhello\r\n0\r\n\r\n") + hidden,
         "HTTP/1.1 400 Bad Request", "a body with a request that takes none"},
        {call + "Transfer-Encoding: chunked\r\n\r\n800001\r\n" + big + "\r\n0\r\n\r\n",
         "HTTP/1.1 413 Payload Too Large", "at most 8 MB of form data"},
        // The page's forms are URL-encoded; a multipart one is read, dropped and refused.
        {"POST /farbale.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; "
         "boundary=XX\r\nContent-Length: " +
             std::to_string(multipart.size()) + "\r\n\r\n" + multipart,
         "HTTP/1.1 415 Unsupported Media Type", "not as multipart data"},
    };
    for (const auto& c : cases) {
        std::string answer = Exchange(host_->Port(), c.request);
        EXPECT_EQ(answer.rfind(c.statusLine, 0), 0u) << answer.substr(0, 200);
        EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer.substr(0, 300);
        EXPECT_NE(answer.find(c.body), std::string::npos) << answer.substr(0, 300);
        EXPECT_EQ(answer.find("Operation"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(Drive() / "smuggled" / "a.zip"));
}

// Static files are read in pieces as they are sent: three downloads of a 1 GiB file at once leave
// the host's memory as it was. One byte range and a freshness check are answered as such.
TEST_F(WebHostTest, StreamsFilesInPiecesAndAnswersRangesAndFreshness) {
    fs::path webRoot = Drive() / "inetpub" / "wwwroot";
    const uint64_t size = uint64_t(1) << 30;
    std::ofstream(webRoot / "big.bin").close();
    fs::resize_file(webRoot / "big.bin", size);  // sparse: no disk is used
    std::vector<uint64_t> received(3);
    long growth = GrowthWhile([&] {
        std::vector<std::thread> downloads;
        for (auto& bytes : received) {
            downloads.emplace_back([&] { bytes = DownloadedBytes(host_->Port(), "/big.bin"); });
        }
        for (auto& download : downloads) {
            download.join();
        }
    });
    for (uint64_t bytes : received) {
        EXPECT_GT(bytes, size);  // the whole body and its head
    }
    EXPECT_LT(growth, 64 * 1024) << "KB more while streaming three 1 GiB files";
    fs::remove(webRoot / "big.bin");

    std::ofstream(webRoot / "digits.txt") << "0123456789";
    auto plain = Client().Get("/digits.txt");
    ASSERT_TRUE(plain);
    const std::string modified = plain->get_header_value("Last-Modified");
    const struct {
        httplib::Headers headers;
        int status;
        const char* body;
        const char* range;
    } cases[] = {
        {{{"Range", "bytes=2-4"}}, 206, "234", "bytes 2-4/10"},
        {{{"Range", "bytes=-3"}}, 206, "789", "bytes 7-9/10"},
        {{{"Range", "bytes=8-99"}}, 206, "89", "bytes 8-9/10"},
        {{{"Range", "bytes=10-"}}, 416, nullptr, "bytes */10"},
        {{{"Range", "bytes=0-1,4-5"}}, 200, "0123456789", ""},
        {{{"Range", "bytes=2-4"}, {"If-Range", "Sun, 06 Nov 1994 08:49:37 GMT"}},
         200,
         "0123456789",
         ""},
        {{{"Range", "bytes=2-4"}, {"If-Range", modified}}, 206, "234", "bytes 2-4/10"},
        {{{"If-Modified-Since", modified}}, 304, "", ""},
        {{{"If-Modified-Since", "Sun, 06 Nov 1994 08:49:37 GMT"}}, 200, "0123456789", ""},
    };
    for (const auto& c : cases) {
        auto answer = Client().Get("/digits.txt", c.headers);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.status) << c.headers.begin()->second;
        if (c.body) {
            EXPECT_EQ(answer->body, c.body);
        }
        EXPECT_EQ(answer->get_header_value("Content-Range"), c.range);
        EXPECT_EQ(answer->get_header_value("Content-Security-Policy"), "sandbox");
    }
}

// The files of a folder whose names begin with a dot: a temporary file left there would be one.
std::vector<std::string> HiddenFiles(const fs::path& folder) {
    std::vector<std::string> hidden;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(".")) {
            hidden.push_back(entry.path().filename());
        }
    }
    return hidden;
}

// Sends an upload of one file of size bytes over a raw socket, its head and form around it; the
// answer.
std::string SendUpload(int port, const std::string& folder, const std::string& name, size_t size) {
    std::string form = testing::UploadForm({{"folder", folder}}, {{name, ""}});
    size_t split = form.rfind("\r\n--");  // where the file's bytes belong
    std::string head =
        "POST /upload HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + testing::UploadType() +
        "\r\nContent-Length: " + std::to_string(form.size() + size) +
        "\r\nConnection: close\r\n\r\n";
    int fd = OpenWith(port, head + form.substr(0, split));
    std::string piece(1 << 20, 'u');
    for (size_t sent = 0; sent < size;) {
        size_t n = std::min(piece.size(), size - sent);
        if (::send(fd, piece.data(), n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) {
            break;
        }
        sent += n;
    }
    std::string rest = form.substr(split);
    ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
    return testing::ReadToEnd(fd);
}

// 300 MB arrive while the host's memory stays as it was: the body goes to the disk as it comes.
// (The browser's cancelled upload shows that one cut off leaves nothing.)
TEST_F(WebHostTest, UploadsGoToDiskAsTheyArrive) {
    fs::create_directories(Drive() / "up");
    const size_t size = size_t(300) << 20;
    std::string answer;
    EXPECT_LT(GrowthWhile([&] { answer = SendUpload(host_->Port(), "c:\\up\\", "big.bin", size); }),
              64 * 1024)
        << "KB more while receiving 300 MB";
    EXPECT_NE(answer.find("Uploaded c:\\up\\big.bin (314572800 bytes).<BR>"), std::string::npos)
        << answer.substr(0, 600);
    EXPECT_EQ(fs::file_size(Drive() / "up" / "big.bin"), size);
    fs::remove(Drive() / "up" / "big.bin");
}

// Each file of an upload is refused on its own when its name cannot stand in the folder, its place
// is refused by the path policy, or a file is there and the form does not ask to replace it; the
// others are stored. A folder the policy refuses or that is not there takes nothing.
TEST_F(WebHostTest, RefusesUploadedFilesOneByOne) {
    fs::create_directories(Drive() / "put");
    fs::create_directories(Drive() / "secret");
    std::ofstream(Drive() / "put" / "keep.txt") << "old";
    StoreSetting("ExcludedFilePathList", "\\secret");
    const std::string refusedName = "cannot be given to a file here";
    const struct {
        const char* folder;
        std::string name;
        const char* replace;
        const char* said;
        const char* stored;  // where it lands when stored; nullptr: nothing new anywhere
    } cases[] = {
        {"c:\\put\\", "../x.txt", "", refusedName.c_str(), nullptr},
        {"c:\\put\\", "a\\b.txt", "", refusedName.c_str(), nullptr},
        {"c:\\put\\", std::string("a\0b", 3), "", refusedName.c_str(), nullptr},
        {"c:\\put\\", "a%0Ab", "", refusedName.c_str(), nullptr},
        {"c:\\put\\", ".htaccess", "", refusedName.c_str(), nullptr},
        {"c:\\put\\", "secret.txt", "", "has been disabled by the administrator.", nullptr},
        {"c:\\secret\\", "in.txt", "", "has been disabled by the administrator.", nullptr},
        {"c:\\missing\\", "in.txt", "", "Open file error. No such file or directory", nullptr},
        {"c:\\put\\", "keep.txt", "", "c:\\put\\keep.txt exists already and was not replaced.",
         nullptr},
        {"c:\\put\\", "keep.txt", "1", "in the place of the file that was there.", "put/keep.txt"},
        {"c:\\put\\", "new one.txt", "", "Uploaded c:\\put\\new one.txt (3 bytes).",
         "put/new one.txt"},
    };
    for (const auto& c : cases) {
        auto answer = Client().Post(
            "/upload",
            testing::UploadForm({{"folder", c.folder}, {"replace", c.replace}}, {{c.name, "new"}}),
            testing::UploadType());
        ASSERT_TRUE(answer) << c.name;
        EXPECT_EQ(answer->status, 200);
        EXPECT_NE(answer->body.find(c.said), std::string::npos) << c.name << answer->body;
        if (c.stored) {
            EXPECT_EQ(platform::testing::TestDrive::ReadFile(Drive() / c.stored), "new") << c.name;
        }
    }
    EXPECT_EQ(platform::testing::TestDrive::ReadFile(Drive() / "put" / "keep.txt"), "new");
    std::vector<std::string> put;
    for (const auto& entry : fs::recursive_directory_iterator(Drive())) {
        put.push_back(fs::relative(entry.path(), Drive()).string());
    }
    for (const char* never : {"x.txt", "put/a", "put/secret.txt", "secret/in.txt", "missing"}) {
        EXPECT_EQ(std::count(put.begin(), put.end(), never), 0) << never;
    }
    EXPECT_TRUE(HiddenFiles(Drive() / "put").empty());
    StoreSetting("ExcludedFilePathList", "");
}

// A download is an attachment that the browser saves under the file's own name, never a page it
// shows; what it may not send is said in the words of the policy or of the file system.
TEST_F(WebHostTest, DownloadsAreAttachmentsWithinThePolicy) {
    fs::create_directories(Drive() / "dl");
    fs::create_directories(Drive() / "secret");
    std::ofstream(Drive() / "dl" / "\xC3\xA9t\xC3\xA9 1.txt") << "summer";
    std::ofstream(Drive() / "secret" / "s.txt") << "secret";
    fs::create_symlink(Drive() / "secret" / "s.txt", Drive() / "dl" / "link.txt");
    auto zip = [&](const std::string& options, const std::string& password) {
        return Client().Post("/farbale.asp",
                             testing::CallForm({{"OP", "call_zip"},
                                                {"SL", "c:\\dl\\\xC3\xA9t\xC3\xA9 1.txt"},
                                                {"TP", "c:\\dl\\" + options + ".zip"},
                                                {"PW", password},
                                                {"OS", options}}),
                             "application/x-www-form-urlencoded");
    };
    ASSERT_TRUE(zip("--5---", ""));
    ASSERT_TRUE(zip("-P5---", "pw"));
    StoreSetting("ExcludedFilePathList", "\\secret");
    const std::string file = "/download?path=c%3A%5Cdl%5C%C3%A9t%C3%A9%201.txt";
    auto sent = Client().Get(file);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->body, "summer");
    // As sent (the library's client decodes header values): filename* carries the name in UTF-8.
    std::string raw = Exchange(host_->Port(), "GET " + file +
                                                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: "
                                                  "close\r\n\r\n");
    EXPECT_NE(raw.find("\r\nContent-Disposition: attachment; filename=\"__t__ 1.txt\"; "
                       "filename*=UTF-8''%C3%A9t%C3%A9%201.txt\r\n"),
              std::string::npos)
        << raw;
    EXPECT_EQ(sent->get_header_value("Content-Type"), "application/octet-stream");
    EXPECT_EQ(sent->get_header_value("X-Content-Type-Options"), "nosniff");
    auto range = Client().Get(file, {{"Range", "bytes=2-4"}});
    EXPECT_EQ(range->status, 206);
    EXPECT_EQ(range->body, "mme");
    const std::string entry = "&entry=%C3%A9t%C3%A9%201.txt";
    const struct {
        std::string target;
        std::string form;  // posted when not empty
        int status;
        const char* body;
    } cases[] = {
        {"/download?path=c%3A%5Cdl%5C--5---.zip" + entry, "", 200, "summer"},
        {"/download?path=c%3A%5Cdl%5C-P5---.zip" + entry, "", 403,
         "Bad or missing decryption key."},
        {"/download", "path=c%3A%5Cdl%5C-P5---.zip" + entry + "&PW=pw", 200, "summer"},
        {"/download?path=c%3A%5Cdl%5C--5---.zip&entry=none", "", 404, "FileName not matched."},
        {"/download?path=c%3A%5Csecret%5Cs.txt", "", 403, "disabled by the administrator"},
        {"/download?path=c%3A%5Cdl%5Clink.txt", "", 403, "disabled by the administrator"},
        {"/download?path=c%3A%5Cdl%5C..%5C..%5Cetc", "", 403, "disabled by the administrator"},
        {"/download?path=c%3A%5Cdl%5Cnone.txt", "", 404, "No such file or directory."},
        {"/download?path=c%3A%5Cdl", "", 404, "Not a file."},
    };
    for (const auto& c : cases) {
        auto answer = c.form.empty()
                          ? Client().Get(c.target)
                          : Client().Post(c.target, c.form, "application/x-www-form-urlencoded");
        ASSERT_TRUE(answer) << c.target;
        EXPECT_EQ(answer->status, c.status) << c.target;
        EXPECT_NE(answer->body.find(c.body), std::string::npos) << c.target << answer->body;
        EXPECT_EQ(answer->get_header_value("Content-Disposition").empty(), c.status != 200);
    }
    StoreSetting("ExcludedFilePathList", "");
}

// Every operation call leaves one audit line at its end, refused ones included, and one at its
// start with the same id.
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
    ASSERT_GE(lines.size(), 4u);
    const std::string where =
        "\"client\":\"127.0.0.1\",\"operation\":\"-\",\"archive\":\"c:\\\\audit\\\\a.zip\","
        "\"target\":\"\"";
    const std::string common = where + ",\"entries\":[\"c:\\\\audit\\\\a.txt\"],";
    std::string started = lines[lines.size() - 4], done = lines[lines.size() - 3],
                denied = lines.back();
    EXPECT_NE(started.find("\"event\":\"start\""), std::string::npos) << started;
    EXPECT_TRUE(started.ends_with(where + "}")) << started;
    size_t id = started.find("\"id\":");
    std::string sameId = started.substr(id, started.find(',', id) - id);
    EXPECT_NE(done.find("\"event\":\"operation\"," + sameId), std::string::npos) << done;
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

// HTTPS with a certificate made for the test: the session cookie is Secure, HSTS is sent, and
// only TLS 1.3 or TLS 1.2 with forward-secret key exchange and AEAD ciphers is spoken.
TEST(WebHostTlsTest, ServesHttpsWithSecureCookiesAndStrongSuitesOnly) {
    TestFolder folder("webhost-tls");
    fs::path cert = folder.Path() / "cert.pem", key = folder.Path() / "key.pem";
    std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout " +
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

    const std::pair<const char*, bool> suites[] = {
        {"-tls1_3", true},
        {"-tls1_2 -cipher ECDHE-RSA-AES128-GCM-SHA256", true},
        {"-tls1_2 -cipher ECDHE-RSA-CHACHA20-POLY1305", true},
        {"-tls1_2 -cipher ECDHE-RSA-AES128-SHA@SECLEVEL=0", false},     // CBC with SHA-1
        {"-tls1_2 -cipher ECDHE-RSA-AES256-SHA384@SECLEVEL=0", false},  // CBC
        {"-tls1_2 -cipher AES128-GCM-SHA256@SECLEVEL=0", false},        // no forward secrecy
        {"-tls1_2 -cipher DHE-RSA-AES128-GCM-SHA256@SECLEVEL=0", false},
        {"-tls1_1 -cipher DEFAULT@SECLEVEL=0", false},
    };
    for (const auto& [options, spoken] : suites) {
        std::string command = "openssl s_client -connect 127.0.0.1:" + std::to_string(host.Port()) +
                              " " + options + " </dev/null >/dev/null 2>&1";
        int status = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, spoken) << options;
    }
}

// A page of another site whose name points at this host (DNS rebinding) gets nothing: only the
// listen address, localhost and the --server-name names are answered, and behind a trusted proxy
// the name the browser used must be one of them too. Every page forbids framing by other sites.
TEST(WebHostNamesTest, AnswersOnlyTheNamesItServes) {
    TestFolder folder("webhost-names");
    RunningHost host(folder.Path(),
                     {"--server-name", "zip.example.org", "--trusted-proxy", "127.0.0.1"});
    fs::create_directories(folder.Path() / "c" / "n");
    std::ofstream(folder.Path() / "c" / "n" / "a.txt") << "a";
    const std::string port = std::to_string(host.Port());
    const struct {
        std::string host;
        std::string forwardedHost;
        int status;
    } cases[] = {
        {"127.0.0.1:" + port, "", 200},
        {"localhost:" + port, "", 200},
        {"ZIP.example.org.", "", 200},
        {"127.0.0.1", "zip.example.org:443", 200},
        {"evil.example:" + port, "", 421},
        {"127.0.0.1", "evil.example", 421},
        {"", "", 421},
    };
    int archives = 0;
    for (const auto& c : cases) {
        httplib::Headers headers = {{"Host", c.host}};
        if (!c.forwardedHost.empty()) {
            headers.emplace("X-Forwarded-Host", c.forwardedHost);
        }
        std::string archive = "c:\\n\\" + std::to_string(archives++) + ".zip";
        auto answer = host.Client().Post("/farbale.asp", headers, ZipForm("c:\\n\\a.txt", archive),
                                         "application/x-www-form-urlencoded");
        ASSERT_TRUE(answer) << c.host;
        EXPECT_EQ(answer->status, c.status) << c.host << " " << c.forwardedHost;
        EXPECT_EQ(fs::exists(folder.Path() / "c" / "n" / (std::to_string(archives - 1) + ".zip")),
                  c.status == 200)
            << c.host;
        EXPECT_EQ(answer->get_header_value("X-Frame-Options"), "SAMEORIGIN");
        EXPECT_EQ(answer->get_header_value("X-Content-Type-Options"), "nosniff");
    }
}

// Slow and idle clients hold no one up: with 100 connections sending their heads slowly and 40
// idle kept-alive ones open, all from one address, a new request is answered while they still
// wait (the host closed only the longest waiting of them, to stay within its limit per address),
// and the host closes every one of them once their time is up.
TEST(WebHostConnectionsTest, SlowAndIdleClientsHoldUpNoOtherRequest) {
    TestFolder folder("webhost-slow");
    RunningHost host(folder.Path());
    const std::string info = "GET /farbale.asp?OP=info HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    std::vector<int> slow, idle;
    for (int i = 0; i < 100; ++i) {
        slow.push_back(OpenWith(host.Port(), info + "User-Agent: slow"));
    }
    for (int i = 0; i < 40; ++i) {
        idle.push_back(OpenWith(host.Port(), info + "\r\n"));
        std::string page;
        char piece[4096];
        for (ssize_t n; !page.ends_with("\r\n0\r\n\r\n") &&
                        (n = ::recv(idle.back(), piece, sizeof piece, 0)) > 0;) {
            page.append(piece, static_cast<size_t>(n));
        }
    }
    std::string answer = Exchange(host.Port(), info + "Connection: close\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK", 0), 0u) << answer.substr(0, 100);
    EXPECT_GE(std::count_if(slow.begin(), slow.end(), StillOpen), 100 + 40 + 1 - 128);
    EXPECT_EQ(std::count_if(idle.begin(), idle.end(), StillOpen), 40);
    for (int fd : slow) {
        char rest[4096];
        timeval wait{30, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        while (::recv(fd, rest, sizeof rest, 0) > 0) {
        }
        EXPECT_FALSE(StillOpen(fd));
        ::close(fd);
    }
    for (int fd : idle) {
        ::close(fd);
    }
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
    // A socket needs no --plain-http, and nobody reaches it without signing in.
    auto socket = ParseHostOptions({"--listen", "unix:/run/v.sock"}, error);
    ASSERT_TRUE(socket) << error;
    EXPECT_EQ(socket->signIn, SignInMode::System);
    EXPECT_EQ(EffectiveSettings(*socket).front(), "listen = unix:/run/v.sock");

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
             {"--listen", "unix:v.sock"},
             {"--listen", "unix:/run/v.sock", "--sign-in", "none"},
             {"--server-name", "zip.example.org:443"},
         }) {
        EXPECT_FALSE(ParseHostOptions(args, error)) << args[0] << " " << args[1];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace vantrel::host
