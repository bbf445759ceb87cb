// Signing in, sessions, lockout, and each account's own file rights, on real hosts.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/AccountCredentials.h"
#include "host/HostHarness.h"
#include "platform/files/LockOwner.h"
#include "platform/files/TestDrive.h"

namespace vantrel::host {
namespace {

using namespace std::chrono_literals;
using platform::testing::TestDrive;
using testing::CallForm;
using testing::RunningHost;
using testing::TestFolder;
using testing::ZipForm;
namespace fs = std::filesystem;

int Shell(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The command's exit status; said receives what it wrote to standard output and error.
int ShellOutput(const std::string& command, std::string& said) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        said.append(buffer, got);
    }
    int status = pipe ? ::pclose(pipe) : -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string HostProgram() {
    return (testing::ProgramFolder() / "vantrel-host").string();
}

bool IsSignInPage(const httplib::Result& result) {
    return result &&
           result->body.find("<FORM NAME=\"frmSignIn\" ACTION=\"/signin\"") != std::string::npos;
}

// A host of the users file, whose one user is added the way an administrator does, and whose
// clock the test moves.
class SignInTest : public ::testing::Test {
  protected:
    void SetUp() override {
        users_ = folder_.Path() / "users";
        // A host running as root lends nobody its own rights: the user acts as "nobody".
        std::string name = std::string("tester") + (::geteuid() == 0 ? ":nobody" : "");
        ASSERT_EQ(Shell("echo 'pass word' | " + HostProgram() + " --add-user " + name +
                        " --users " + users_.string()),
                  0);
        host_ = std::make_unique<RunningHost>(
            folder_.Path(), std::vector<std::string>{"--sign-in", "users", "--users", users_},
            [this] { return std::chrono::steady_clock::time_point{} + elapsed_.load(); });
    }

    std::string SignIn(const std::string& password = "pass word", const std::string& cookie = "") {
        return host_->SignIn("tester", password, cookie);
    }

    TestFolder folder_{"signin"};
    fs::path users_;
    std::atomic<std::chrono::steady_clock::duration> elapsed_{std::chrono::hours(1)};
    std::unique_ptr<RunningHost> host_;
};

TEST_F(SignInTest, WithoutASessionOnlyTheSignInPageAnswersAndNothingIsDone) {
    for (const char* path : {"/farbale.asp", "/farbale.asp?OP=source", "/help.htm", "/"}) {
        auto result = host_->Get(path, "");
        EXPECT_EQ(result->status, 200) << path;
        EXPECT_TRUE(IsSignInPage(result)) << path;
    }
    fs::create_directories(folder_.Path() / "c" / "in");
    std::ofstream(folder_.Path() / "c" / "in" / "a.txt") << "a";
    auto call = host_->Post("/farbale.asp", ZipForm("c:\\in\\a.txt", "c:\\in\\a.zip"),
                            "VANTRELSESSION=forged");
    EXPECT_EQ(call->status, 401);
    EXPECT_FALSE(fs::exists(folder_.Path() / "c" / "in" / "a.zip"));
    std::string audited = host_->AuditLines().back();
    EXPECT_NE(audited.find("\"account\":\"\",\"client\":\"127.0.0.1\",\"operation\":\"-\""),
              std::string::npos)
        << audited;
    EXPECT_NE(audited.find("\"result\":\"refused\",\"text\":\"Not signed in.\""),
              std::string::npos);
}

// A session id the browser had before signing in is never the signed-in one, and stops working;
// signing out ends the session.
TEST_F(SignInTest, SigningInGivesAFreshSessionAndSigningOutEndsIt) {
    EXPECT_TRUE(SignIn("guess").empty());
    EXPECT_TRUE(SignIn("").empty());

    std::string first = SignIn();
    ASSERT_FALSE(first.empty());
    std::string second = SignIn("pass word", first);
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, first);
    EXPECT_TRUE(IsSignInPage(host_->Get("/farbale.asp?OP=info", first)));
    EXPECT_FALSE(IsSignInPage(host_->Get("/farbale.asp?OP=info", second)));
    auto lines = host_->AuditLines();
    EXPECT_NE(lines.front().find("\"event\":\"signin\",\"account\":\"tester\""), std::string::npos);
    EXPECT_NE(lines.front().find("\"result\":\"failed\""), std::string::npos);
    EXPECT_NE(lines.back().find("\"result\":\"signed in\""), std::string::npos);

    auto out = host_->Post("/signout", "", second);
    EXPECT_EQ(out->status, 303);
    EXPECT_NE(out->get_header_value("Set-Cookie").find("Max-Age=0"), std::string::npos);
    EXPECT_TRUE(IsSignInPage(host_->Get("/farbale.asp", second)));
    EXPECT_NE(host_->AuditLines().back().find("\"event\":\"signout\""), std::string::npos);
}

TEST_F(SignInTest, SessionsEndAfterTwentyIdleMinutes) {
    std::string cookie = SignIn();
    elapsed_ = elapsed_.load() + 19min;
    EXPECT_FALSE(IsSignInPage(host_->Get("/farbale.asp?OP=info", cookie)));
    elapsed_ = elapsed_.load() + 19min;
    EXPECT_FALSE(IsSignInPage(host_->Get("/farbale.asp?OP=info", cookie)));
    elapsed_ = elapsed_.load() + 21min;
    EXPECT_TRUE(IsSignInPage(host_->Get("/farbale.asp?OP=info", cookie)));
}

TEST_F(SignInTest, FiveFailuresLockTheAccountOutThereForAMinuteWhateverThePassword) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(SignIn("guess " + std::to_string(i)).empty());
    }
    auto locked = host_->Client().Post("/signin", "account=tester&password=pass+word",
                                       "application/x-www-form-urlencoded");
    EXPECT_EQ(locked->status, 429);
    EXPECT_NE(locked->body.find("Too many failed sign-ins"), std::string::npos);
    EXPECT_NE(host_->AuditLines().back().find("\"result\":\"locked out\""), std::string::npos);
    elapsed_ = elapsed_.load() + 61s;
    EXPECT_FALSE(SignIn().empty());
}

// Taking a user out of the users file signs them out at once.
TEST_F(SignInTest, RemovingAUserFromTheUsersFileEndsTheirSessions) {
    std::string cookie = SignIn();
    ASSERT_FALSE(IsSignInPage(host_->Get("/farbale.asp?OP=info", cookie)));
    std::ofstream(users_) << "# nobody\n";
    EXPECT_TRUE(IsSignInPage(host_->Get("/farbale.asp?OP=info", cookie)));
    EXPECT_NE(host_->AuditLines().back().find("\"result\":\"ended: not in the users file\""),
              std::string::npos);
}

// A users file that another account could change would let it write itself in: the host does not
// start with it, and the check of the configuration says why.
TEST(SignInStartTest, AUsersFileOthersCouldChangeIsRefused) {
    TestFolder folder("signin-guard");
    fs::create_directory(folder.Path() / "etc");
    fs::path users = folder.Path() / "etc" / "users";
    ASSERT_EQ(
        Shell("echo password | " + HostProgram() + " --add-user someone --users " + users.string()),
        0);
    std::string options = " --listen 127.0.0.1:0 --data " + folder.Path().string() +
                          " --sign-in users --users " + users.string();
    for (auto [file, parent] : {std::pair{fs::perms::owner_read | fs::perms::group_write,
                                          fs::perms::owner_all | fs::perms::others_read},
                                {fs::perms::owner_read, fs::perms::all}}) {
        fs::permissions(users, file);
        fs::permissions(users.parent_path(), parent);
        for (auto [command, status] :
             {std::pair{HostProgram(), 1}, {HostProgram() + " --check-config", 2}}) {
            std::string said;
            EXPECT_EQ(ShellOutput(command + options, said), status) << command;
            EXPECT_NE(said.find("refusing the users file " + users.string()), std::string::npos)
                << said;
        }
    }
}

TEST(SignInStartTest, ARootHostRefusesUsersWithoutAnAccountOfTheirOwn) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only a host running as root switches accounts";
    }
    TestFolder folder("signin-root");
    fs::path users = folder.Path() / "users";
    ASSERT_EQ(
        Shell("echo password | " + HostProgram() + " --add-user plain --users " + users.string()),
        0);
    std::string start = HostProgram() + " --listen 127.0.0.1:0 --data " + folder.Path().string() +
                        " --sign-in users --users " + users.string();
    EXPECT_EQ(Shell(start), 1);
    ASSERT_EQ(Shell("echo password | " + HostProgram() + " --add-user plain:root --users " +
                    users.string()),
              0);
    EXPECT_EQ(Shell(start), 1);
}

// Two Linux accounts signed in through PAM on one host running as root: each reads and writes
// only what its own account may.
class AccountRightsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (::geteuid() != 0 || Shell("command -v useradd chpasswd") != 0) {
            return;
        }
        std::string source = std::string(VANTREL_SOURCE_DIR) + "/host/pam.d/vantrel";
        fs::copy_file(source, "/etc/pam.d/vantrel", fs::copy_options::overwrite_existing);
        std::string suffix = std::to_string(::getpid());
        first_ = "vtfirst" + suffix;
        second_ = "vtsecond" + suffix;
        for (const auto& name : {first_, second_}) {
            Shell("userdel " + name);
            if (Shell("useradd -M -U -s /usr/sbin/nologin " + name) != 0 ||
                Shell("echo '" + name + ":Pa55 " + name + "' | chpasswd") != 0) {
                return;
            }
        }
        folder_ = new TestFolder("rights");
        host_ = new RunningHost(folder_->Path(), {"--sign-in", "system"});
    }
    static void TearDownTestSuite() {
        delete host_;
        delete folder_;
        for (const auto& name : {first_, second_}) {
            if (!name.empty()) {
                Shell("userdel " + name);
            }
        }
    }
    void SetUp() override {
        if (!host_) {
            GTEST_SKIP() << "needs root and useradd to make two accounts";
        }
    }

    static std::string SignIn(const std::string& name) {
        return host_->SignIn(name, "Pa55 " + name);
    }
    static fs::path Local(const std::string& path) { return folder_->Path() / "c" / path; }
    static void Own(const fs::path& path, const std::string& name, fs::perms perms) {
        auto credentials = LookUpFileCredentials(name);
        ASSERT_TRUE(credentials);
        ASSERT_EQ(::chown(path.c_str(), credentials->uid, credentials->gid), 0);
        fs::permissions(path, perms);
    }

    static inline std::string first_, second_;
    static inline TestFolder* folder_ = nullptr;
    static inline RunningHost* host_ = nullptr;
};

TEST_F(AccountRightsTest, EachSignedInAccountWorksWithItsOwnFileRights) {
    fs::create_directories(Local("shared"));
    fs::permissions(Local("shared"), fs::perms::all | fs::perms::sticky_bit);
    std::ofstream(Local("shared/secret.txt")) << "first's secret";
    Own(Local("shared/secret.txt"), first_, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(Local("firstonly"));
    Own(Local("firstonly"), first_,
        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
            fs::perms::others_read | fs::perms::others_exec);
    auto zip = [](const std::string& archive) {
        return ZipForm("c:\\shared\\secret.txt", "c:\\shared\\" + archive);
    };

    std::string second = SignIn(second_);
    ASSERT_FALSE(second.empty()) << "PAM sign-in of " << second_;
    auto refused = host_->Post("/farbale.asp", zip("second.zip"), second);
    EXPECT_NE(refused->body.find("Error:"), std::string::npos) << refused->body;
    EXPECT_FALSE(fs::exists(Local("shared/second.zip")));
    EXPECT_NE(host_->AuditLines().back().find("\"account\":\"" + second_ + "\""),
              std::string::npos);
    EXPECT_NE(host_->AuditLines().back().find("\"result\":\"failed\""), std::string::npos);

    std::string first = SignIn(first_);
    ASSERT_FALSE(first.empty());
    auto zipped = host_->Post("/farbale.asp", zip("first.zip"), first);
    EXPECT_NE(zipped->body.find("Operation complete, no errors."), std::string::npos)
        << zipped->body;
    struct stat archive {};
    ASSERT_EQ(::stat(Local("shared/first.zip").c_str(), &archive), 0);
    EXPECT_EQ(archive.st_uid, LookUpFileCredentials(first_)->uid);

    auto extracted = host_->Post("/farbale.asp",
                                 CallForm({{"OP", "call_unzip"},
                                           {"SP", "c:\\shared\\"},
                                           {"SL", "first.zip"},
                                           {"TP", "c:\\firstonly\\"},
                                           {"OS", "---"}}),
                                 second);
    EXPECT_NE(extracted->body.find("Error:"), std::string::npos) << extracted->body;
    EXPECT_TRUE(fs::is_empty(Local("firstonly")));

    // The queue's lock files lie in the host's own folder; each account took and freed its slots.
    struct stat queue {};
    ASSERT_EQ(::stat((folder_->Path() / "queue").c_str(), &queue), 0);
    EXPECT_EQ(queue.st_uid, 0u);
    EXPECT_EQ(queue.st_mode & 07777, 0700u);
    for (const auto& entry : fs::directory_iterator(folder_->Path() / "queue")) {
        EXPECT_NE(entry.path().extension(), ".~fb") << entry.path();
    }
}

// Downloads and uploads keep to each account's own file rights: another account's private file is
// not sent, nothing lands in a folder the account may not write, and what an account uploads is its
// own. Nothing is sent, or written, without a signed-in session.
TEST_F(AccountRightsTest, DownloadsAndUploadsKeepToTheAccountsRights) {
    fs::create_directories(Local("xfer"));
    Own(Local("xfer"), first_,
        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
            fs::perms::others_read | fs::perms::others_exec);
    std::ofstream(Local("xfer/mine.txt")) << "first's own";
    Own(Local("xfer/mine.txt"), first_, fs::perms::owner_read | fs::perms::owner_write);
    const std::string mine = "/download?path=c%3A%5Cxfer%5Cmine.txt";
    auto upload = [](const std::string& name) {
        return testing::UploadForm({{"folder", "c:\\xfer\\"}}, {{name, "data"}});
    };
    std::string second = SignIn(second_), first = SignIn(first_);
    ASSERT_FALSE(second.empty() || first.empty());

    auto refused = host_->Get(mine, second);
    EXPECT_EQ(refused->status, 403);
    EXPECT_NE(refused->body.find("Open file error. Permission denied."), std::string::npos);
    auto denied = host_->Upload(upload("second.txt"), second);
    EXPECT_NE(denied->body.find("Create file error. Permission denied: c:\\xfer\\second.txt"),
              std::string::npos)
        << denied->body;
    EXPECT_FALSE(fs::exists(Local("xfer/second.txt")));
    EXPECT_TRUE(IsSignInPage(host_->Get(mine, "")));
    EXPECT_EQ(host_->Upload(upload("nobody.txt"), "")->status, 401);

    EXPECT_EQ(host_->Get(mine, first)->body, "first's own");
    EXPECT_NE(host_->Upload(upload("first.txt"), first)->body.find("Uploaded c:\\xfer\\first.txt"),
              std::string::npos);
    struct stat stored {};
    ASSERT_EQ(::stat(Local("xfer/first.txt").c_str(), &stored), 0);
    EXPECT_EQ(stored.st_uid, LookUpFileCredentials(first_)->uid);
    auto lines = host_->AuditLines();
    EXPECT_NE(lines.back().find("\"event\":\"upload\",\"id\":"), std::string::npos) << lines.back();
    EXPECT_NE(lines.back().find("\"account\":\"" + first_ + "\""), std::string::npos);
    EXPECT_NE(lines.back().find("\"path\":\"c:\\\\xfer\\\\first.txt\",\"bytes\":4,"
                                "\"result\":\"stored\""),
              std::string::npos)
        << lines.back();
}

// The status of a sign-in sent from a loopback address of its own, as another client's would be.
int SignInFrom(const char* address, int port, const std::string& name,
               const std::string& password) {
    std::string form = CallForm({{"account", name}, {"password", password}});
    std::string answer =
        testing::Exchange(port,
                          "POST /signin HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                          "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                              std::to_string(form.size()) + "\r\n\r\n" + form,
                          address);
    return answer.size() > 12 ? std::atoi(answer.c_str() + 9) : -1;  // "HTTP/1.1 303 ..."
}

// Failed sign-ins from one address lock the account out there only: its owner, elsewhere, gets in.
TEST_F(AccountRightsTest, FailuresFromOneAddressNeverKeepTheAccountsOwnerOut) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(SignInFrom("127.0.0.3", host_->Port(), first_, "guess"), 200);
    }
    EXPECT_EQ(SignInFrom("127.0.0.3", host_->Port(), first_, "Pa55 " + first_), 429);
    EXPECT_EQ(SignInFrom("127.0.0.2", host_->Port(), first_, "Pa55 " + first_), 303);
}

// 0 when the account may connect to the Unix socket, else why not (errno).
int ConnectAs(const fs::path& socket, const FileCredentials& account) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    pid_t child = ::fork();
    if (child == 0) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        bool connected = ::setgroups(account.groups.size(), account.groups.data()) == 0 &&
                         ::setgid(account.gid) == 0 && ::setuid(account.uid) == 0 &&
                         ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::_exit(connected ? 0 : errno);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A host behind a proxy on a Unix socket: only the socket's group (the proxy's account) reaches
// it, so no other local account can pose as the proxy; what the proxy says of its clients counts.
TEST_F(AccountRightsTest, OnlyTheSocketsGroupReachesTheHostAndSpeaksForItsClients) {
    // Over the suite's data folder: a host publishes its drives and settings to the process.
    fs::path socket = folder_->Path() / "http.sock";
    RunningHost proxied(folder_->Path(), {"--listen", "unix:" + socket.string(), "--socket-group",
                                          second_, "--sign-in", "system"});
    EXPECT_EQ(ConnectAs(socket, *LookUpFileCredentials(first_)), EACCES);
    EXPECT_EQ(ConnectAs(socket, *LookUpFileCredentials(second_)), 0);

    httplib::Client proxy(socket.string());
    proxy.set_address_family(AF_UNIX);
    auto refused =
        proxy.Post("/signin", {{"Host", "localhost"}, {"X-Forwarded-For", "203.0.113.7"}},
                   CallForm({{"account", first_}, {"password", "guess"}}),
                   "application/x-www-form-urlencoded");
    ASSERT_TRUE(refused);
    EXPECT_NE(proxied.AuditLines().back().find("\"client\":\"203.0.113.7\""), std::string::npos);
}

// In the shared sticky folder the first account leaves "drop" leading to the second's private
// folder and "report.zip" to its archive there. The second account's extraction into drop and
// delete from report.zip write nothing of its own files; a test reads through a link only when
// it is the second account's own.
TEST_F(AccountRightsTest, ALinkOfAnotherAccountNeverLeadsAnAccountToItsOwnFiles) {
    const std::string victim = second_;
    fs::create_directories(Local("pub"));
    fs::permissions(Local("pub"), fs::perms::all | fs::perms::sticky_bit);
    fs::create_directories(Local(victim));
    Own(Local(victim), victim, fs::perms::owner_all);
    std::ofstream(Local(victim + "/doc.txt")) << "zipped";
    Own(Local(victim + "/doc.txt"), victim, fs::perms::owner_read | fs::perms::owner_write);
    auto leave = [](const std::string& link, const std::string& target, const std::string& by) {
        fs::create_symlink(target, Local("pub/" + link));
        ASSERT_EQ(::lchown(Local("pub/" + link).c_str(), LookUpFileCredentials(by)->uid, -1), 0);
    };
    leave("drop", "../" + victim, first_);
    leave("report.zip", "../" + victim + "/priv.zip", first_);
    leave("mine.zip", "../" + victim + "/priv.zip", victim);

    std::string session = SignIn(victim);
    ASSERT_FALSE(session.empty());
    const std::string own = "c:\\" + victim + "\\";
    auto zipped = host_->Post("/farbale.asp", ZipForm(own + "doc.txt", own + "priv.zip"), session);
    ASSERT_NE(zipped->body.find("Operation complete, no errors."), std::string::npos);
    std::ofstream(Local(victim + "/doc.txt")) << "newer than the archive";
    auto archiveBytes = [&] { return TestDrive::ReadFile(Local(victim + "/priv.zip")); };
    const std::string archive = archiveBytes();

    auto call = [&](const std::string& op, const std::string& folder, const std::string& file,
                    const std::string& target, const std::string& options) {
        return host_
            ->Post("/farbale.asp",
                   CallForm({{"OP", op},
                             {"SP", folder},
                             {"SL", file},
                             {"TP", target},
                             {"ZL", "doc.txt "},
                             {"OS", options}}),
                   session)
            ->body;
    };
    std::string extracted = call("call_unzip", own, "priv.zip", "c:\\pub\\drop\\", "---");
    EXPECT_NE(extracted.find("Error:"), std::string::npos) << extracted;
    std::string deleted = call("call_unziplist", "c:\\pub\\", "report.zip", "", "D--");
    EXPECT_NE(deleted.find("Error:"), std::string::npos) << deleted;
    EXPECT_EQ(TestDrive::ReadFile(Local(victim + "/doc.txt")), "newer than the archive");
    EXPECT_EQ(archiveBytes(), archive);
    EXPECT_NE(call("call_unzip", "c:\\pub\\", "report.zip", "", "T--").find("Error:"),
              std::string::npos);
    EXPECT_NE(
        call("call_unzip", "c:\\pub\\", "mine.zip", "", "T--").find("Complete, no errors found."),
        std::string::npos);
}

// No account can block the others' operations: lock-named files with times ahead of the clock,
// whether left in c:\temp or (by someone with root's rights) in the queue's folder, count for
// nothing, and an account cannot put anything into the queue's folder itself.
TEST_F(AccountRightsTest, NoAccountCanBlockTheQueue) {
    fs::path queue = folder_->Path() / "queue";
    auto credentials = LookUpFileCredentials(second_);
    ASSERT_TRUE(credentials);
    std::string asSecond = "setpriv --reuid=" + std::to_string(credentials->uid) +
                           " --regid=" + std::to_string(credentials->gid) + " --clear-groups ";
    EXPECT_NE(Shell(asSecond + "touch " + (queue / "~sz2359.~fb").string()), 0);
    fs::create_directories(Local("temp"));
    fs::create_directories(Local("work"));
    fs::permissions(Local("work"), fs::perms::all | fs::perms::sticky_bit);
    // Named for the last minute of this hour, naming the host's own process as their owner.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char hour[3];
    std::snprintf(hour, sizeof hour, "%02d", local.tm_hour);
    for (std::string kind : {"~sz", "~su"}) {
        for (const fs::path& at : {Local("temp") / (kind + hour + "59.~fb"),
                                   queue / (kind + hour + "59.~fb"), queue / "~fbslots.lck"}) {
            std::ofstream(at) << platform::LockOwnerText(platform::ThisProcess());
            Own(at, second_, fs::perms::owner_read | fs::perms::owner_write);
        }
    }
    std::ofstream(Local("work/a.txt")) << "a";
    std::string first = SignIn(first_);
    auto zipped = host_->Post("/farbale.asp", ZipForm("c:\\work\\a.txt", "c:\\work\\a.zip"), first);
    EXPECT_NE(zipped->body.find("Operation complete, no errors."), std::string::npos)
        << zipped->body;
    EXPECT_EQ(zipped->body.find("Waiting to access"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(queue)) {
        fs::remove(entry.path());
    }
}

// A root host that finds c:\temp missing makes it; a link planted in its place is never followed
// to make or change anything, whether it leads to another account's folder or nowhere.
TEST_F(AccountRightsTest, ARootHostNeverFollowsALinkPlantedForItsFolders) {
    for (bool dangling : {false, true}) {
        TestFolder data("planted");
        fs::path drive = data.Path() / "c";
        fs::create_directories(drive / "home");
        fs::permissions(drive, fs::perms::all | fs::perms::sticky_bit);
        if (!dangling) {
            fs::create_directory(drive / "home" / "private");
            Own(drive / "home" / "private", first_, fs::perms::owner_all);
        }
        fs::create_symlink(drive / "home" / "private", drive / "temp");
        { RunningHost host(data.Path(), {"--sign-in", "system"}); }
        if (dangling) {
            EXPECT_FALSE(fs::exists(drive / "home" / "private"));
        } else {
            EXPECT_EQ(fs::status(drive / "home" / "private").permissions(), fs::perms::owner_all);
            EXPECT_TRUE(fs::is_empty(drive / "home" / "private"));
        }
        EXPECT_TRUE(fs::is_symlink(drive / "temp"));
    }
    // Missing, it is made and shared between the accounts like /tmp.
    TestFolder data("made");
    { RunningHost host(data.Path(), {"--sign-in", "system"}); }
    EXPECT_EQ(fs::status(data.Path() / "c" / "temp").permissions(),
              fs::perms::all | fs::perms::sticky_bit);
}

// Hostile sign-ins never reach PAM's account lookup: a body beyond the sign-in's few KB is refused
// unread (as text/plain, too), and a name no account can have goes no further than an audit line
// holding a short prefix of it. The host stays up and signs the next user in.
TEST_F(AccountRightsTest, OversizedAndMalformedNamesNeverReachPam) {
    // A name just within the page forms' 8 MB once ended the host inside the account lookup.
    const std::string huge = "account=" + std::string(8 * 1024 * 1024 - 100, 'a') + "&password=x";
    for (const char* type : {"text/plain", "application/x-www-form-urlencoded"}) {
        auto refused = host_->Client().Post("/signin", huge, type);
        ASSERT_TRUE(refused) << type;
        EXPECT_EQ(refused->status, 413) << type;
        EXPECT_NE(refused->body.find("a sign-in takes at most 4 KB"), std::string::npos);
    }
    for (const std::string& name :
         {std::string(3000, 'b'), std::string("al\nice"), std::string()}) {
        auto wrong = host_->Client().Post(
            "/signin", CallForm({{"account", name}, {"password", "x"}}), "text/plain");
        ASSERT_TRUE(wrong);
        EXPECT_TRUE(IsSignInPage(wrong));
        std::string line = host_->AuditLines().back();
        EXPECT_LT(line.size(), 300u) << line;
        EXPECT_NE(line.find("\"result\":\"refused: not a valid account name\""), std::string::npos)
            << line;
    }
    EXPECT_FALSE(SignIn(first_).empty());
}

}  // namespace
}  // namespace vantrel::host
