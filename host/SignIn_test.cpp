// Signing in, sessions, lockout, and each account's own file rights, on real hosts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/AccountCredentials.h"
#include "host/HostHarness.h"

namespace vantrel::host {
namespace {

using namespace std::chrono_literals;
using testing::CallForm;
using testing::RunningHost;
using testing::TestFolder;
using testing::ZipForm;
namespace fs = std::filesystem;

int Shell(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
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

// A session id the browser had before signing in is never the signed-in one, and stops working.
TEST_F(SignInTest, SigningInGivesAFreshSessionAndEndsTheOldOne) {
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
}

TEST_F(SignInTest, SigningOutEndsTheSession) {
    std::string cookie = SignIn();
    auto out = host_->Post("/signout", "", cookie);
    EXPECT_EQ(out->status, 303);
    EXPECT_NE(out->get_header_value("Set-Cookie").find("Max-Age=0"), std::string::npos);
    EXPECT_TRUE(IsSignInPage(host_->Get("/farbale.asp", cookie)));
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

TEST_F(SignInTest, FiveFailuresLockTheAccountOutForAMinuteWhateverThePassword) {
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

    // The queue's folder is shared like /tmp; each account took and freed its own slots.
    struct stat temp {};
    ASSERT_EQ(::stat(Local("temp").c_str(), &temp), 0);
    EXPECT_EQ(temp.st_mode & 07777, 01777u);
    for (const auto& entry : fs::directory_iterator(Local("temp"))) {
        EXPECT_NE(entry.path().extension(), ".~fb") << entry.path();
    }
}

}  // namespace
}  // namespace vantrel::host
