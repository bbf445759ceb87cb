#include "component/archive/Transfers.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <system_error>

#include "component/archive/OperationHooks.h"
#include "component/archive/StatusMessage.h"
#include "component/archive/ZipLibrary.h"
#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "platform/text/AsciiCase.h"
#include "platform/text/CaseFolding.h"
#include "platform/ziplib/lszip.h"

namespace vantrel {

using platform::PathStatus;

namespace {

constexpr std::string_view kRefusedCharacters = "\\/|:*?\"<>";
constexpr size_t kMostNameBytes = 255;

// A name as the page shows it: a control character stands as U+FFFD, the mark of a byte a name
// cannot carry.
std::string Shown(std::string_view name) {
    std::string shown;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        shown += byte < 0x20 || byte == 0x7f ? std::string("\xEF\xBF\xBD") : std::string(1, c);
    }
    return HtmlEscape(shown);
}

bool IsZipName(std::string_view name) {
    return name.size() > 4 && platform::LowerAscii(name.substr(name.size() - 4)) == ".zip";
}

DownloadRefusal RefusalOf(PathStatus status) {
    switch (status) {
        case PathStatus::NotFound:
        case PathStatus::WrongKind:
            return DownloadRefusal::NotFound;
        case PathStatus::Denied:
        case PathStatus::Refused:
            return DownloadRefusal::Forbidden;
        default:
            return DownloadRefusal::BadRequest;
    }
}

// What the page says of a path that could not be opened (not for the policy's refusals, which
// the policy words itself).
std::string OpenFailure(PathStatus status) {
    std::string reason;
    switch (status) {
        case PathStatus::NotFound:
            reason = std::generic_category().message(ENOENT);
            break;
        case PathStatus::Denied:
            reason = std::generic_category().message(EACCES);
            break;
        case PathStatus::WrongKind:
            reason = "Not a file";
            break;
        default:
            return "<B>Error:</B> " + StatusMessage(LSZIP_E_REFUSED);
    }
    return "<B>Error:</B> " + StatusMessage(LSZIP_E_OPEN) + " " + reason + ".";
}

DownloadRefusal RefusalOfEntry(int32_t code) {
    switch (code) {
        case LSZIP_E_NOT_MATCHED:
        case LSZIP_E_OPEN:
            return DownloadRefusal::NotFound;
        case LSZIP_E_REFUSED:
        case LSZIP_E_PASSWORD:
            return DownloadRefusal::Forbidden;
        case LSZIP_E_ARCHIVE_PATH:
            return DownloadRefusal::BadRequest;
        default:
            return DownloadRefusal::Unreadable;
    }
}

int32_t PassOn(void* consume, const char* data, int32_t size) {
    const auto& to = *static_cast<const std::function<bool(const char*, size_t)>*>(consume);
    return to(data, static_cast<size_t>(size)) ? 0 : 1;
}

}  // namespace

EntryDownload::~EntryDownload() {
    try {
        lszip::LSUZ_CLOSEENTRY(handle_);
    } catch (...) {
    }
}

int32_t EntryDownload::ReadThrough(const std::function<bool(const char*, size_t)>& consume) {
    try {
        return lszip::LSUZ_READENTRY(handle_, PassOn,
                                     const_cast<void*>(static_cast<const void*>(&consume)));
    } catch (...) {
        return LSZIP_E_ARGUMENT;
    }
}

bool EntryDownload::Read(const std::function<bool(const char*, size_t)>& consume) {
    if (data_) {
        return data_->empty() || consume(data_->data(), data_->size());
    }
    return ReadThrough(consume) == LSZIP_OK;
}

Transfers::Transfers(asp::ScriptingContext& context)
    : context_(context), component_(std::make_unique<Farbale>()) {
    component_->OnStartPage(context_);
    component_->strQuote = "\"";
    component_->strNewLine = "\r\n";
    component_->BuildFragments();
}

Transfers::~Transfers() = default;

bool Transfers::Allows(const std::string& path) {
    bool allowed = false;
    try {
        allowed = component_->CheckPathAccess(path, said_);
    } catch (...) {
    }
    if (!allowed) {
        said_ += HtmlEscape(path) + "<BR>";  // the place refused, as the operations name it
    }
    return allowed;
}

platform::LocationCheck Transfers::Check() {
    return [this](const std::string& realPath) { return Allows(realPath); };
}

std::string Transfers::TakeSaid() {
    return std::exchange(said_, std::string());
}

bool Transfers::IsUploadName(std::string_view name) {
    if (name.empty() || name.size() > kMostNameBytes || name.front() == '.') {
        return false;
    }
    bool plain = std::none_of(name.begin(), name.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || kRefusedCharacters.find(c) != std::string_view::npos;
    });
    // A byte that is not UTF-8 folds to a character beyond Unicode.
    std::u32string characters = platform::FoldedCharacters(name);
    return plain && std::none_of(characters.begin(), characters.end(),
                                 [](char32_t c) { return c > 0x10FFFF; });
}

void Transfers::WritePageOpen() {
    component_->Write(component_->strPageHead);
    component_->Write("<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" + component_->strNewLine +
                      component_->strFontOpen + component_->strNewLine);
}

void Transfers::WriteRefusalPage(const std::string& what, const std::string& text) {
    try {
        WritePageOpen();
        component_->Write("Downloading " + HtmlEscape(what) + " ... <BR>" + text + "<P>" +
                          component_->strNewLine + component_->strPageClose);
    } catch (...) {
    }
}

DownloadRefusal Transfers::OpenFile(const std::string& path, platform::ConfinedPath& file) {
    if (path.empty() || path.find('|') != std::string::npos) {
        WriteRefusalPage(path, "<B>Error:</B> " + StatusMessage(LSZIP_E_REFUSED));
        return DownloadRefusal::BadRequest;
    }
    if (!Allows(path)) {
        WriteRefusalPage(path, TakeSaid());
        return DownloadRefusal::Forbidden;
    }
    PathStatus status =
        platform::ConfinedPath::Open(path, platform::PathIntent::File, file, Check());
    if (status == PathStatus::Ok) {
        return DownloadRefusal::None;
    }
    WriteRefusalPage(path, status == PathStatus::Refused ? TakeSaid() : OpenFailure(status));
    return RefusalOf(status);
}

DownloadRefusal Transfers::OpenEntry(const std::string& path, const std::string& entry,
                                     const std::string& password,
                                     std::unique_ptr<EntryDownload>& download) {
    // The archive as a download would open it, so that its refusals read alike.
    platform::ConfinedPath archive;
    std::string what = entry + " from " + path;
    if (DownloadRefusal refusal = OpenFile(path, archive); refusal != DownloadRefusal::None) {
        return refusal;
    }
    int32_t code = LSZIP_OK;
    void* handle = nullptr;
    int64_t size = 0;
    try {
        ScopedOperationHooks hooks({[this](const std::string& real) { return Allows(real); }, {}});
        lszip::LSUZ_SETPATHCHECK(LocationCheck);
        lszip::LSUZ_SETMSG(nullptr);
        lszip::LSUZ_ZIPNAME(path);
        lszip::LSUZ_PASSWORD(password);
        code = lszip::LSUZ_OPENENTRY(entry, handle, size);
    } catch (const std::exception& error) {
        WriteRefusalPage(what, "<B>Error:</B> " + HtmlEscape(error.what()));
        return DownloadRefusal::Unreadable;
    }
    std::unique_ptr<EntryDownload> opened;
    if (code == LSZIP_OK) {
        opened.reset(new EntryDownload(handle, static_cast<uint64_t>(size)));
        if (opened->Size() <= EntryDownload::kEntryReadAhead) {
            std::string data;
            code = opened->ReadThrough([&data](const char* bytes, size_t n) {
                data.append(bytes, n);
                return true;
            });
            opened->data_ = std::move(data);
        }
    }
    if (code != LSZIP_OK) {
        std::string said = TakeSaid();
        WriteRefusalPage(what, said.empty() ? "<B>Error:</B> " + StatusMessage(code) : said);
        return RefusalOfEntry(code);
    }
    download = std::move(opened);
    return DownloadRefusal::None;
}

bool Transfers::WriteUploadLine(const UploadedFile& file, bool folder) {
    const std::string path = HtmlEscape(file.path);
    const std::string size = " (" + std::to_string(file.bytes) + " bytes)";
    std::string line;
    switch (file.outcome) {
        case UploadOutcome::Stored:
            line = "Uploaded " + path + size + ".";
            break;
        case UploadOutcome::Replaced:
            line = "Uploaded " + path + size + " in the place of the file that was there.";
            break;
        case UploadOutcome::Exists:
            line = "<B>Error:</B> " + path + " exists already and was not replaced.";
            break;
        case UploadOutcome::BadName:
            line = "<B>Error:</B> The name " + Shown(file.name) +
                   " cannot be given to a file here: a name may not be empty or begin with a "
                   "dot, nor hold a control character or any of \\ / | : * ? &quot; &lt; &gt;.";
            break;
        case UploadOutcome::Refused:
            component_->Write(file.said);
            return false;
        case UploadOutcome::Failed:
            line = "<B>Error:</B> " + StatusMessage(folder ? LSZIP_E_OPEN : LSZIP_E_CREATE) + " " +
                   std::generic_category().message(file.systemError) + ": " +
                   (path.empty() ? Shown(file.name) : path);
            break;
        case UploadOutcome::DiskFull:
            line = "<B>Error:</B> " + StatusMessage(LSZIP_E_DISK_FULL) + " " + path;
            break;
        case UploadOutcome::NotSent:
            line = "<B>Error:</B> " + Shown(file.name) + " was not stored.";
            break;
        case UploadOutcome::NoFolder:
            line =
                "<B>Error:</B> The form named no folder to upload " + Shown(file.name) + " into.";
            break;
    }
    component_->Write(line + "<BR>" + component_->strNewLine);
    return file.outcome == UploadOutcome::Stored || file.outcome == UploadOutcome::Replaced;
}

std::vector<std::string> Transfers::Extractions(const UploadReport& report) {
    std::vector<std::string> archives;
    for (const UploadedFile& file : report.files) {
        bool stored =
            file.outcome == UploadOutcome::Stored || file.outcome == UploadOutcome::Replaced;
        if (report.extract && stored && IsZipName(file.path)) {
            archives.push_back(file.path);
        }
    }
    return archives;
}

asp::OperationRecord Transfers::AskedExtraction(const std::string& archive,
                                                const std::string& folder) {
    asp::OperationRecord asked;
    asked.letter = '-';
    asked.archive = archive;
    asked.target = folder;
    asked.entries = {"*.*"};
    return asked;
}

bool Transfers::WriteUploadResult(const UploadReport& report) {
    Farbale& page = *component_;
    bool ok = true;
    try {
        WritePageOpen();
        if (report.folder.outcome != UploadOutcome::Stored) {
            ok = WriteUploadLine(report.folder, true);
        } else if (report.files.empty()) {
            page.Write("<B>Error:</B> The form held no file to upload.<BR>" + page.strNewLine);
            ok = false;
        }
        for (const UploadedFile& file : report.files) {
            ok = WriteUploadLine(file) && ok;
        }
        for (const std::string& archive : Extractions(report)) {
            page.report_.Begin();
            page.Write("<P>");
            bool extracted = page.UnzipOperation(archive, report.folder.path, "*.*", "", "---");
            page.RecordOperation(AskedExtraction(archive, report.folder.path), extracted);
            ok = ok && extracted;
        }
        page.Write(page.strNewLine + page.strScriptOpen + "top.frames ['source'].doReload(false);" +
                   page.strNewLine + "top.frames ['target'].doReload(false);" + page.strNewLine +
                   "//-->" + page.strNewLine + "</SCRIPT>" + page.strNewLine + page.strPageClose);
    } catch (const std::exception& error) {
        try {
            page.Write(HtmlEscape(error.what()));
        } catch (...) {
        }
        return false;
    }
    return ok;
}

}  // namespace vantrel
