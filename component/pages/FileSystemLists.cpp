// The option lists of file types, drives, folders and files that the source and target pages show.
#include <ctime>
#include <exception>

#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "platform/asp/HostConversions.h"
#include "platform/files/DriveList.h"
#include "platform/files/FolderListing.h"
#include "platform/text/AsciiCase.h"
#include "platform/text/TextPieces.h"

namespace vantrel {

using platform::TrimBlanks;

namespace {

constexpr size_t kMostFilesListed = 1000;
constexpr int kMostFolderLevels = 1000;
constexpr const char* kIndent = "&nbsp;&nbsp;";
// The title of a file whose name holds a "\\" or a "|": Linux allows them, but a path the pages
// send cannot carry the one and a list of files cannot carry the other.
constexpr const char* kUncarriableName =
    "This name holds a \\ or a | that the page cannot send to the server: the file cannot be "
    "chosen here.";

struct FileType {
    const char* pattern;
    const char* label;
};

constexpr FileType kFileTypes[] = {
    {"*.*", "*.* &nbsp; (All Files)"},
    {"*.zip", "*.zip &nbsp; (Zip Files)"},
    {"*.doc", "*.doc &nbsp; (Document Files)"},
    {"*.htm*", "*.htm* &nbsp; (HTML Web Pages)"},
    {"*.ppt", "*.ppt &nbsp; (Powerpoint Presentations)"},
    {"*.xl?", "*.xl? &nbsp; (Excel Spreadsheet Files)"},
    {"*.wk?", "*.wk? &nbsp; (Lotus Spreadsheet Files)"},
    {"*.mdb", "*.mdb &nbsp; (Access Database Files)"},
    {"*.dat", "*.dat &nbsp; (Database Files)"},
    {"*.dwg", "*.dwg &nbsp; (AutoCAD Drawings)"},
    {"*.txt", "*.txt &nbsp; (Text Files)"},
    {"*.bmp", "*.bmp &nbsp; (Windows Bitmap Pictures)"},
    {"*.tif", "*.tif &nbsp; (Tagged Image Format Pictures)"},
    {"*.cdr", "*.cdr &nbsp; (Corel Draw! Files)"},
    {"*.pcx", "*.pcx &nbsp; (Bitmap Picture Files)"},
    {"*.pr?", "*.pr? &nbsp; (Graphics Files)"},
    {"*.ico", "*.ico &nbsp; (Windows Icon Files)"},
    {"*.mid", "*.mid &nbsp; (MIDI Sound Files)"},
    {"*.avi", "*.avi &nbsp; (Audio-Visual Files)"},
    {"*.wav", "*.wav &nbsp; (Wave Sound Files)"},
    {"*.hlp", "*.hlp &nbsp; (Windows Help Files)"},
    {"*.ini", "*.ini &nbsp; (Windows INI Files)"},
    {"*.exe", "*.exe &nbsp; (Executable Program Files)"},
    {"*.com", "*.com &nbsp; (Executable Program Files)"},
    {"*.dll", "*.dll &nbsp; (Dynamic Link Libraries)"},
};

// One OPTION line; value is already escaped, mark is " SELECTED", a TITLE attribute or empty.
std::string OptionLine(const std::string& value, const std::string& mark,
                       const std::string& label) {
    return "<OPTION VALUE=\"" + value + "\"" + mark + ">" + label + "\r\n";
}

// The host's "General Date": the short date and the long time, the date alone at midnight.
std::string GeneralDate(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    std::string text = asp::FormatShortDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    if (local.tm_hour || local.tm_min || local.tm_sec) {
        text += " " + asp::FormatLongTime(local.tm_hour, local.tm_min, local.tm_sec);
    }
    return text;
}

std::string AttributeText(uint32_t attributes) {
    static const std::pair<uint32_t, const char*> kTexts[] = {
        {platform::kAttributeReadOnly, "Read-only, "},
        {platform::kAttributeHidden, "Hidden, "},
        {platform::kAttributeSystem, "System file, "},
        {platform::kAttributeArchive, "Archive set, "},
    };
    std::string text;
    for (const auto& [bit, words] : kTexts) {
        if (attributes & bit) {
            text += words;
        }
    }
    if (!text.empty()) {
        text.resize(text.size() - 2);
    }
    return text;
}

// The details shown in a file's tool tip, lines separated by "|". A file that could not be
// examined shows no time and a size of 0.
std::string FileTitle(const std::string& fullPath, const platform::FileDetails& details) {
    std::string modified = details.known ? GeneralDate(details.modified) : "";
    return "File Name: " + fullPath + "|Last Modified: " + modified +
           "|Attributes: " + AttributeText(details.attributes) +
           "|File Size: " + asp::FormatNumber(static_cast<double>(details.size), 0) + " bytes";
}

// The one-based position of the first c in text, 0 when there is none.
size_t OneBasedFind(const std::string& text, char c) {
    size_t position = text.find(c);
    return position == std::string::npos ? 0 : position + 1;
}

// A folder path that names "." or ".." levels is refused: the lists only ever send plain levels,
// and ".." could lead out of the drive's folder.
bool HasDotLevel(const std::string& folderPath) {
    size_t start = 0;
    while (start <= folderPath.size()) {
        size_t end = folderPath.find('\\', start);
        std::string level = folderPath.substr(start, end == std::string::npos ? end : end - start);
        if (level == "." || level == "..") {
            return true;
        }
        if (end == std::string::npos) {
            return false;
        }
        start = end + 1;
    }
    return false;
}

// The line under a file list that could not show every matching file, empty when it did.
std::string FilesLeftOutNote(size_t shown, size_t matched) {
    if (matched <= shown) {
        return {};
    }
    return asp::FormatNumber(static_cast<double>(shown), 0) + " of " +
           asp::FormatNumber(static_cast<double>(matched), 0) +
           " files shown; narrow the pattern to see others";
}

}  // namespace

void Farbale::SplitPath(const std::string& fullPath, std::string& drive, std::string& folder,
                        std::string& file) {
    std::string s = TrimBlanks(fullPath);
    if (!s.empty() && s.back() == '\\') {
        file.clear();
    } else {
        size_t last = s.rfind('\\');
        size_t p = last == std::string::npos ? 0 : last + 1;  // one-based position, 0 for none
        file = s.substr(p);
        s = p > 1 ? s.substr(0, p) : std::string();
    }
    drive.clear();
    folder = s;
    size_t q = s.find(":\\");
    if (!s.empty() && q != std::string::npos) {
        drive = platform::LowerAscii(s.substr(0, q + 1));
        folder = s.substr(q + 1);
    }
}

std::string Farbale::BuildFileTypeList(const std::string& selectedPattern) {
    const std::string selected = platform::LowerAscii(selectedPattern);
    std::string list;
    for (const FileType& type : kFileTypes) {
        list += OptionLine(type.pattern, selected == type.pattern ? " SELECTED" : "", type.label);
    }
    return list;
}

std::string Farbale::BuildDriveList(const std::string& currentDrive) {
    auto drives = platform::ListDrives();
    if (!drives) {
        return {};
    }
    std::string list;
    for (const platform::Drive& drive : *drives) {
        if (drive.type != platform::DriveType::Fixed &&
            drive.type != platform::DriveType::Network) {
            continue;
        }
        const std::string letter(1, drive.letter);
        const bool selected = !currentDrive.empty() && currentDrive[0] == drive.letter;
        const std::string volume = drive.type == platform::DriveType::Fixed
                                       ? HtmlEscape(drive.volumeName)
                                       : std::string("Network Drive");
        list +=
            OptionLine(letter + ":", selected ? " SELECTED" : "", letter + ": [" + volume + "]");
    }
    return list;
}

int32_t Farbale::BuildFolderFileLists(const std::string& driveLabel, const std::string& filePattern,
                                      const std::string& folderPath, std::string& folderList,
                                      std::string& fileList) {
    folderList.clear();
    fileList.clear();
    if (folderPath.empty() || HasDotLevel(folderPath)) {
        return -1;
    }
    try {
        // The chain from the drive's root down to the current folder.
        size_t firstSlash = folderPath.find('\\');
        std::string rest =
            firstSlash == std::string::npos ? folderPath : folderPath.substr(firstSlash + 1);
        std::string built;
        std::string indent = kIndent;
        size_t p = OneBasedFind(rest, '\\');
        std::string folders = OptionLine("", p == 0 ? " SELECTED" : "", HtmlEscape(driveLabel));
        for (int pass = 0; p > 0 && pass < kMostFolderLevels; ++pass) {
            if (p > 1) {
                const std::string name = rest.substr(0, p - 1);
                built += "\\" + name;
                folders += OptionLine(HtmlEscape(built), p == rest.size() ? " SELECTED" : "",
                                      indent + HtmlEscape(name));
                indent += kIndent;
            }
            rest = rest.substr(p);
            p = OneBasedFind(rest, '\\');
        }

        // One pass over the folder gives both lists.
        auto contents = platform::ListFolder(folderPath, filePattern, kMostFilesListed);
        if (!contents) {
            return -1;
        }
        for (const std::string& name : contents->subfolders) {
            folders += OptionLine(HtmlEscape(built + "\\" + name), "", indent + HtmlEscape(name));
        }
        folderList = std::move(folders);

        if (filePattern.empty()) {
            return 0;
        }
        std::string entries;
        int32_t count = 0;
        for (const platform::ListedFile& file : contents->files) {
            if (!file.carriable) {
                // Shown, but never sent: the page could not name it to the server exactly.
                entries +=
                    OptionLine("", std::string(" DISABLED TITLE=\"") + kUncarriableName + "\"",
                               HtmlEscape(file.name));
                ++count;
                continue;
            }
            const std::string title = FileTitle(folderPath + file.name, file.details);
            entries += OptionLine(HtmlEscape(file.name), " TITLE=\"" + HtmlEscape(title) + "\"",
                                  HtmlEscape(file.name));
            ++count;
        }
        fileList = std::move(entries);
        strWork6 = FilesLeftOutNote(contents->files.size(), contents->filesMatched);
        return count;
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace vantrel
