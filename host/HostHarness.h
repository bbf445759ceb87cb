#pragma once
// Test support: a real host in this process on a free loopback port over a data folder, and the
// requests a browser would send to it.

#include <arpa/inet.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/WebHost.h"

namespace vantrel::host::testing {

namespace fs = std::filesystem;

// A folder of its own for each use, removed at the end.
class TestFolder {
  public:
    explicit TestFolder(const std::string& name) {
        static std::atomic<int> counter = 0;
        path_ = fs::temp_directory_path() /
                (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
        fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    }
    ~TestFolder() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// A form as a browser posts it, its values URL-encoded.
inline std::string CallForm(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string form;
    for (const auto& [name, value] : fields) {
        form += (form.empty() ? "" : "&") + name + "=" + httplib::detail::encode_query_param(value);
    }
    return form;
}

// The call that zips one file with the options a browser sends by default.
inline std::string ZipForm(const std::string& file, const std::string& archive) {
    return CallForm({{"OP", "call_zip"}, {"SL", file}, {"TP", archive}, {"OS", "--5---"}});
}

// A multipart form as the page's upload window sends it: the fields first, then one "file" part
// for each file (its name as sent, its bytes).
inline constexpr const char* kUploadBoundary = "vantrel-upload-boundary";
inline std::string UploadForm(const std::vector<std::pair<std::string, std::string>>& fields,
                              const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string open =
        std::string("--") + kUploadBoundary + "\r\nContent-Disposition: form-data";
    std::string body;
    for (const auto& [name, value] : fields) {
        body += open + "; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    }
    for (const auto& [name, bytes] : files) {
        body += open + "; name=\"file\"; filename=\"" + name +
                "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n";
    }
    return body + "--" + kUploadBoundary + "--\r\n";
}

inline std::string UploadType() {
    return std::string("multipart/form-data; boundary=") + kUploadBoundary;
}

// A connection to the host on port that has sent bytes (as far as the host took them) and reads
// nothing yet, made from the loopback address from when one is given, as another client's would
// be; -1 when it cannot connect.
inline int OpenWith(int port, const std::string& bytes, const char* from = nullptr) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{}, host{};
    local.sin_family = host.sin_family = AF_INET;
    host.sin_port = htons(static_cast<uint16_t>(port));
    host.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if ((from && (::inet_pton(AF_INET, from, &local.sin_addr) != 1 ||
                  ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)) ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&host), sizeof host) != 0) {
        ::close(fd);
        return -1;
    }
    for (size_t sent = 0; sent < bytes.size();) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;  // the host stopped reading: its answer tells why
        }
        sent += static_cast<size_t>(n);
    }
    return fd;
}

// What the host sends on fd until it closes the connection; fd is closed then.
inline std::string ReadToEnd(int fd) {
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return answer;
}

// The raw answer to raw request bytes (which should close the connection).
inline std::string Exchange(int port, const std::string& request, const char* from = nullptr) {
    return ReadToEnd(OpenWith(port, request, from));
}

class RunningHost {
  public:
    // Serves drive c: = data/c with the registry data/registry, logs in data; extra options after
    // (another --listen replaces the loopback one).
    explicit RunningHost(const fs::path& data, std::vector<std::string> extra = {},
                         SessionStore::Clock clock = std::chrono::steady_clock::now)
        : data_(data) {
        std::vector<std::string> args = {"--listen",     "127.0.0.1:0",
                                         "--data",       data.string(),
                                         "--registry",   (data / "registry").string(),
                                         "--access-log", (data / "access.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        auto options = ParseHostOptions(args, error);
        if (!options) {
            throw std::runtime_error(error);
        }
        options->failedSignInTime = std::chrono::milliseconds(10);
        host_ = std::make_unique<WebHost>(*options, std::move(clock));
        if (!host_->Prepare(error) || !host_->Bind()) {
            throw std::runtime_error("the host did not start: " + error);
        }
        thread_ = std::thread([this] { host_->Run(); });
        std::string address = host_->Address();
        if (address.starts_with("http")) {
            port_ = std::stoi(address.substr(address.rfind(':') + 1));
        }
    }
    ~RunningHost() {
        host_->Stop();
        thread_.join();
    }

    int Port() const { return port_; }
    WebHost& Host() { return *host_; }
    httplib::Client Client() const { return httplib::Client("127.0.0.1", port_); }

    // Signs in through the sign-in form; the session cookie ("VANTRELSESSION=...") to send, or
    // empty when the sign-in failed. cookie: one the browser already had.
    std::string SignIn(const std::string& name, const std::string& password,
                       const std::string& cookie = "") const {
        auto result =
            Post("/signin", CallForm({{"account", name}, {"password", password}}), cookie);
        if (!result || result->status != 303) {
            return {};
        }
        std::string set = result->get_header_value("Set-Cookie");
        return set.substr(0, set.find(';'));
    }

    // A request with the session cookie; POSTs are forms.
    httplib::Result Get(const std::string& path, const std::string& cookie) const {
        return Client().Get(path, {{"Cookie", cookie}});
    }
    httplib::Result Post(const std::string& path, const std::string& form,
                         const std::string& cookie) const {
        return Client().Post(path, {{"Cookie", cookie}}, form, "application/x-www-form-urlencoded");
    }

    // An upload of a form made by UploadForm.
    httplib::Result Upload(const std::string& form, const std::string& cookie) const {
        return Client().Post("/upload", {{"Cookie", cookie}}, form, UploadType());
    }

    // The audit log's lines so far.
    std::vector<std::string> AuditLines() {
        host_->FlushLogs();
        std::vector<std::string> lines;
        std::ifstream in(data_ / "audit.log");
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

  private:
    fs::path data_;
    std::unique_ptr<WebHost> host_;
    std::thread thread_;
    int port_ = 0;
};

// The folder of this test program, where vantrel-host is built too.
inline fs::path ProgramFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

}  // namespace vantrel::host::testing
