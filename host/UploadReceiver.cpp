#include "host/UploadReceiver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/TemporaryFiles.h"

namespace vantrel::host {

namespace {

constexpr size_t kWritePiece = 64 * 1024;
// A field holds a path or a switch; anything longer is no form of the page's.
constexpr size_t kMostFieldBytes = 8 * 1024;
constexpr mode_t kNewFileMode = 0666;  // masked by the umask, as any new file

// The file name a browser sent: the HTML standard writes ", CR and LF in it as %22, %0D and %0A.
std::string SentName(const std::string& sent) {
    std::string name;
    for (size_t i = 0; i < sent.size(); ++i) {
        std::string_view code = std::string_view(sent).substr(i, 3);
        char meant = code == "%22" ? '"' : code == "%0D" ? '\r' : code == "%0A" ? '\n' : '\0';
        if (meant) {
            name += meant;
            i += 2;
        } else {
            name += sent[i];
        }
    }
    return name;
}

int ErrorOf(platform::PathStatus status) {
    switch (status) {
        case platform::PathStatus::NotFound:
            return ENOENT;
        case platform::PathStatus::Denied:
            return EACCES;
        case platform::PathStatus::WrongKind:
            return ENOTDIR;
        default:
            return EINVAL;
    }
}

bool IsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

}  // namespace

bool UploadReceiver::Begin(const std::string& name, const std::string& fileName) {
    EndPart();
    field_.clear();
    if (name == "file") {
        BeginFile(SentName(fileName));
        return true;
    }
    part_ = name == "folder"    ? Part::Folder
            : name == "replace" ? Part::Replace
            : name == "extract" ? Part::Extract
                                : Part::Ignored;
    return true;
}

bool UploadReceiver::Take(const char* data, size_t size) {
    if (part_ == Part::File) {
        Incoming& incoming = files_.back();
        incoming.file.bytes += size;
        if (incoming.pending) {
            buffer_.append(data, size);
            if (buffer_.size() >= kWritePiece) {
                Flush();
            }
        }
        return true;
    }
    if (part_ == Part::Ignored || part_ == Part::None) {
        return true;
    }
    if (field_.size() + size > kMostFieldBytes) {
        return false;
    }
    field_.append(data, size);
    return true;
}

void UploadReceiver::EndPart() {
    switch (part_) {
        case Part::Folder:
            OpenFolder(field_);
            break;
        case Part::Replace:
            replace_ = field_ == "1";
            break;
        case Part::Extract:
            report_.extract = field_ == "1";
            break;
        case Part::File: {
            Incoming& incoming = files_.back();
            if (incoming.pending && Flush()) {
                // A replacing file becomes the old one's now, while it is still open.
                if ((incoming.replacing && !incoming.pending->TakeOver(*incoming.replacing)) ||
                    !incoming.pending->Stage()) {
                    Fail(incoming, UploadOutcome::Failed, errno);
                }
            }
            break;
        }
        default:
            break;
    }
    part_ = Part::None;
}

void UploadReceiver::OpenFolder(const std::string& folder) {
    folderNamed_ = true;
    folder_.reset();
    reserve_.reset();
    UploadedFile& said = report_.folder;
    said = UploadedFile{folder, folder};
    if (!transfers_.Allows(folder)) {
        said.outcome = UploadOutcome::Refused;
        said.said = transfers_.TakeSaid();
        return;
    }
    platform::ConfinedPath opened;
    // A folder written in: a link of another account never leads there.
    platform::PathStatus status = platform::ConfinedPath::Open(
        folder, platform::PathIntent::Folder, platform::PathUse::Write, opened, transfers_.Check());
    if (status != platform::PathStatus::Ok) {
        said.outcome = status == platform::PathStatus::Refused ? UploadOutcome::Refused
                                                               : UploadOutcome::Failed;
        said.said = transfers_.TakeSaid();
        said.systemError = ErrorOf(status);
        return;
    }
    said.path = opened.RealPath();
    opened_(said.path);
    folder_ = std::move(opened);
    reserve_.emplace(folder_->Fd());
    platform::RemoveDeadTemporaries(folder_->Fd());
}

void UploadReceiver::BeginFile(const std::string& name) {
    if (files_.size() >= kMostFiles) {
        part_ = Part::Ignored;
        return;
    }
    part_ = Part::File;
    Incoming& incoming = files_.emplace_back();
    incoming.file.name = name;
    if (!folderNamed_) {
        incoming.file.outcome = UploadOutcome::NoFolder;
    } else if (!folder_) {
        incoming.file.outcome = UploadOutcome::NotSent;  // the folder's line says why
    } else if (Place(incoming)) {
        incoming.pending = std::make_unique<platform::PendingFile>(folder_->Fd(), kNewFileMode);
        if (!incoming.pending->IsOpen()) {
            Fail(incoming, IsDiskFull(errno) ? UploadOutcome::DiskFull : UploadOutcome::Failed,
                 errno);
        }
    }
}

bool UploadReceiver::Place(Incoming& incoming) {
    UploadedFile& file = incoming.file;
    if (!Transfers::IsUploadName(file.name)) {
        file.outcome = UploadOutcome::BadName;
        return false;
    }
    incoming.leaf = file.name;
    file.path = folder_->RealPath() + file.name;
    struct stat found {};
    if (fstatat(folder_->Fd(), file.name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0) {
        // Only a file is ever replaced, never a folder or a link (nor what it points to).
        if (!replace_ || !S_ISREG(found.st_mode)) {
            file.outcome = UploadOutcome::Exists;
            return false;
        }
        incoming.replacing = found;
    } else if (errno != ENOENT) {
        Fail(incoming, UploadOutcome::Failed, errno);
        return false;
    }
    if (!transfers_.Allows(file.path)) {
        file.outcome = UploadOutcome::Refused;
        file.said = transfers_.TakeSaid();
        return false;
    }
    if (!reserve_->Admit(0)) {
        file.outcome = UploadOutcome::DiskFull;
        return false;
    }
    return true;
}

bool UploadReceiver::Flush() {
    Incoming& incoming = files_.back();
    std::string_view rest = buffer_;
    if (!reserve_->Admit(rest.size())) {
        Fail(incoming, UploadOutcome::DiskFull, ENOSPC);
        return false;
    }
    while (!rest.empty()) {
        ssize_t written = write(incoming.pending->Fd(), rest.data(), rest.size());
        if (written <= 0) {
            int error = written < 0 ? errno : EIO;
            Fail(incoming, IsDiskFull(error) ? UploadOutcome::DiskFull : UploadOutcome::Failed,
                 error);
            return false;
        }
        rest.remove_prefix(static_cast<size_t>(written));
    }
    buffer_.clear();
    return true;
}

void UploadReceiver::Fail(Incoming& incoming, UploadOutcome outcome, int error) {
    incoming.file.outcome = outcome;
    incoming.file.systemError = error;
    incoming.pending.reset();
    buffer_.clear();
}

void UploadReceiver::Name(Incoming& incoming) {
    if (!incoming.pending) {
        return;
    }
    int folder = folder_->Fd();
    const char* leaf = incoming.leaf.c_str();
    struct stat now {};
    if (fstatat(folder, leaf, &now, AT_SYMLINK_NOFOLLOW) != 0) {
        // A new name is taken only where nothing is (linkat fails on anything put there since).
        if (incoming.pending->LinkAs(incoming.leaf)) {
            incoming.file.outcome = UploadOutcome::Stored;
        } else {
            Fail(incoming, errno == EEXIST ? UploadOutcome::Exists : UploadOutcome::Failed, errno);
        }
    } else if (incoming.replacing && platform::SameFile(now, *incoming.replacing)) {
        if (incoming.pending->Replace(incoming.leaf)) {
            incoming.file.outcome = UploadOutcome::Replaced;
        } else {
            Fail(incoming, UploadOutcome::Failed, errno);
        }
    } else {
        // Something else took the name meanwhile: it is never written through or replaced.
        Fail(incoming, UploadOutcome::Exists, EEXIST);
    }
    incoming.pending.reset();
}

void UploadReceiver::Finish(bool complete) {
    if (complete) {
        EndPart();
    }
    for (Incoming& incoming : files_) {
        if (complete) {
            Name(incoming);
        } else if (incoming.pending) {
            incoming.file.outcome = UploadOutcome::NotSent;
        }
        report_.files.push_back(incoming.file);
    }
    // Every file not named goes with its temporary name.
    files_.clear();
}

}  // namespace vantrel::host
