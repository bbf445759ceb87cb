#include "host/ConfigCheck.h"

#include <openssl/ssl.h>

#include <memory>
#include <string>
#include <vector>

#include "host/Authenticator.h"
#include "host/RootHost.h"
#include "host/UsersFile.h"
#include "platform/install/Installation.h"
#include "platform/registry/Registry.h"

namespace vantrel::host {
namespace fs = std::filesystem;

namespace {

using Problems = std::vector<std::string>;

void CheckDrives(const HostOptions& options, Problems& problems) {
    for (const auto& drive : options.drives.Drives()) {
        std::error_code ec;
        std::string name = std::string(1, drive.letter) + ": (" + drive.folder.string() + ")";
        if (fs::exists(drive.folder, ec)) {
            if (!fs::is_directory(drive.folder, ec)) {
                problems.push_back("drive " + name + " is not a folder");
            }
        } else if (drive.type != platform::DriveType::Fixed) {
            // A fixed drive's folder is made at start; any other kind must be there already.
            problems.push_back("drive " + name + " does not exist");
        }
    }
}

void CheckTls(const HostOptions& options, Problems& problems) {
    if (!options.Tls()) {
        return;
    }
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()),
                                                              SSL_CTX_free);
    if (!context ||
        SSL_CTX_use_certificate_chain_file(context.get(), options.tlsCertificate.c_str()) != 1) {
        problems.push_back("the certificate " + options.tlsCertificate.string() +
                           " cannot be read as PEM");
    } else if (SSL_CTX_use_PrivateKey_file(context.get(), options.tlsKey.c_str(),
                                           SSL_FILETYPE_PEM) != 1) {
        problems.push_back("the key " + options.tlsKey.string() + " cannot be read as PEM");
    } else if (SSL_CTX_check_private_key(context.get()) != 1) {
        problems.push_back("the key " + options.tlsKey.string() +
                           " does not belong to the certificate " +
                           options.tlsCertificate.string());
    }
}

void CheckSignIn(const HostOptions& options, Problems& problems) {
    std::string error;
    bool root = RunningAsRoot();
    if (options.signIn == SignInMode::Users) {
        if (!ReadUsersFile(options.usersFile, error) ||
            (root && !CheckUsersActAsAccounts(options.usersFile, error))) {
            problems.push_back(error);
        }
    } else if (options.signIn == SignInMode::System && !PamServiceInstalled()) {
        problems.push_back("sign-in through PAM needs /etc/pam.d/vantrel");
    }
    fs::path settings = options.registry.empty() ? registry::RegistryRoot() : options.registry;
    if (root && options.signIn != SignInMode::None && !CheckRegistryReadable(settings, error)) {
        problems.push_back(error);
    }
}

void CheckLogFolders(const HostOptions& options, Problems& problems) {
    std::vector<fs::path> logs = {options.auditLog};
    if (options.accessLog != "-") {
        logs.push_back(options.accessLog);
    }
    const auto& installed = platform::Installation();
    for (const auto& log : logs) {
        fs::path folder = fs::absolute(log).parent_path();
        std::error_code ec;
        // The host makes the data folder, and the installed program its own log folder.
        bool made =
            folder == fs::absolute(options.dataFolder) || (installed && folder == installed->logs);
        if (!made && !fs::is_directory(folder, ec)) {
            problems.push_back("the folder of the log " + log.string() + " does not exist");
        }
    }
}

}  // namespace

int CheckConfiguration(const HostOptions& options, std::ostream& out, std::ostream& err) {
    out << "# configuration: "
        << (options.configFile.empty() ? "none" : options.configFile.string()) << "\n";
    for (const auto& line : EffectiveSettings(options)) {
        out << line << "\n";
    }
    Problems problems;
    CheckDrives(options, problems);
    CheckTls(options, problems);
    CheckSignIn(options, problems);
    CheckLogFolders(options, problems);
    for (const auto& problem : problems) {
        err << "vantrel-host: " << problem << "\n";
    }
    return problems.empty() ? 0 : 2;
}

}  // namespace vantrel::host
