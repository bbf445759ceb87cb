// The result page: runs the posted operation, lets it report into the page, and makes the file
// frames reload so that the user sees the changed files.
#include <algorithm>

#include "component/core/Farbale.h"
#include "component/core/OptionString.h"
#include "platform/text/TextPieces.h"
#include "platform/ziplib/EntryNameList.h"

namespace vantrel {

namespace {

constexpr std::string_view kParameterError = "Parameter Error<P>";
constexpr std::string_view kUnnamedEntryDelete =
    "<B>Error:</B> A selected entry has a name that this page cannot show exactly, so it cannot "
    "be deleted from here. Nothing was deleted.<P>";
// What the contents page puts in place of the bytes of a name that it cannot carry.
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

std::string WithWildcardForReplacements(std::string names) {
    for (size_t at = names.find(kReplacementCharacter); at != std::string::npos;
         at = names.find(kReplacementCharacter, at + 1)) {
        names.replace(at, kReplacementCharacter.size(), "?");
    }
    return names;
}

std::vector<std::string> SplitFileList(const std::string& list) {
    std::vector<std::string> files;
    for (auto file : platform::SplitText(list, '|')) {
        files.emplace_back(file);
    }
    return files;
}

// The names of an entry list as the library reads them; none when it cannot read the list.
std::vector<std::string> EntryListNames(const std::string& list) {
    auto parsed = ziplib::EntryNameList::Parse(list);
    return parsed ? parsed->Names() : std::vector<std::string>{};
}

}  // namespace

// The operation letter (first character of the option string) chooses the operation. The source
// frame always reloads; the target frame too after every call from the unzip controls or contents
// page except a test. An empty option string gives a bare error page without the reload script.
bool Farbale::WriteResultPage(bool& zipFlag) {
    Write(strPageHead);
    Write("<BODY BGCOLOR=\"#C0C0C0\" TOPMARGIN=\"0\">" + strNewLine + strFontOpen + strNewLine);
    lastStatus_.reset();
    lastLibraryMessage_.reset();
    lastBytesIn_ = lastBytesOut_ = 0;
    operationText_.emplace();
    if (strOptions.empty()) {
        Write(kParameterError);
        RecordOperation('\0', strSourcePath + strSourceList, strTargetPath, {}, false);
        return false;
    }
    // An empty entry list means "all entries" for extraction; a delete with no entries chosen
    // must delete nothing, so it keeps its empty list.
    const bool entriesChosen = !strZipNameList.empty();
    if (!entriesChosen) {
        strZipNameList = "*.*";
    }
    std::replace(strZipNameList.begin(), strZipNameList.end(), '\\', '/');

    // An option string that does not fit its layout (too long, or a character that its position
    // does not allow) is refused like an unknown letter: a thousand characters are no "move".
    const char given = strOptions.front();
    const char letter = OptionStringFitsLayout(strOptions, zipFlag) ? given : '\0';
    bool result = false;
    std::string archive = strSourcePath + strSourceList;
    std::string target;
    std::vector<std::string> entries;
    switch (letter) {
        case '-':
        case 'F':
        case 'U':
            if (zipFlag) {
                archive = strTargetPath;
                entries = SplitFileList(strSourceList);
                result = ZipOperation(strTargetPath, strSourceList, strPassword, strOptions);
            } else {
                target = strTargetPath;
                entries = {"*.*"};
                result = UnzipOperation(archive, strTargetPath, "*.*", strPassword, strOptions);
            }
            break;
        case 'T':
        case 'E':
            target = letter == 'E' ? strTargetPath : "";
            entries = EntryListNames(strZipNameList);
            // A byte the contents page could not carry stands for itself again through "?".
            result =
                UnzipOperation(archive, strTargetPath, WithWildcardForReplacements(strZipNameList),
                               strPassword, strOptions);
            break;
        case 'D':
            // A wildcard in place of such a byte could delete other entries too.
            if (strZipNameList.find(kReplacementCharacter) != std::string::npos) {
                Write(kUnnamedEntryDelete);
                break;
            }
            [[fallthrough]];
        case 'X': {
            strOptions = strOptions.substr(0, 2) + "5---";
            std::string names = letter == 'D' && !entriesChosen ? "" : strZipNameList;
            entries = EntryListNames(names);
            result = ZipOperation(archive, names, strPassword, strOptions);
            break;
        }
        default:
            Write(kParameterError);
            result = false;
    }
    RecordOperation(given, archive, target, std::move(entries), result);

    Write(strNewLine + strScriptOpen);
    Write("top.frames ['source'].doReload(false);" + strNewLine);
    if (given != 'T' && !zipFlag) {
        Write("top.frames ['target'].doReload(false);" + strNewLine);
    }
    Write("//-->" + strNewLine + "</SCRIPT>" + strNewLine);
    if (blnDebugMode) {
        WriteDebugEcho();
    }
    Write(strPageClose);
    return result;
}

// A listener that fails never changes the page: the operation has run and the page reports it.
void Farbale::RecordOperation(char letter, const std::string& archive, const std::string& target,
                              std::vector<std::string> entries, bool succeeded) {
    std::string written = operationText_.value_or("");
    operationText_.reset();
    try {
        const auto& record = Context().recordOperation;
        if (!record) {
            return;
        }
        asp::OperationRecord operation;
        operation.letter = letter;
        operation.archive = archive;
        operation.target = target;
        operation.entries = std::move(entries);
        operation.status = lastStatus_;
        operation.bytesIn = lastBytesIn_;
        operation.bytesOut = lastBytesOut_;
        operation.text = lastLibraryMessage_.value_or(written);
        operation.outcome = succeeded             ? asp::OperationOutcome::Succeeded
                            : lastLibraryMessage_ ? asp::OperationOutcome::Failed
                                                  : asp::OperationOutcome::Refused;
        record(operation);
    } catch (...) {
    }
}

}  // namespace vantrel
