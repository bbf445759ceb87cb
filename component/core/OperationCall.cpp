#include "component/core/OperationCall.h"

#include <algorithm>

#include "component/core/OptionString.h"
#include "platform/text/TextPieces.h"
#include "platform/ziplib/EntryNameList.h"

namespace vantrel {

using platform::TrimBlanks;

namespace {

// What the contents page puts in place of the bytes of a name that it cannot carry.
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

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

bool IsOperationCall(const asp::Request& request) {
    return TrimBlanks(request.Item("OP")).starts_with("call_");
}

CallFields CallFieldsOf(const asp::Request& request) {
    return {TrimBlanks(request.Item("OP")), TrimBlanks(request.Form("SP")),
            TrimBlanks(request.Form("SL")), TrimBlanks(request.Form("TP")),
            TrimBlanks(request.Form("ZL")), TrimBlanks(request.Form("OS"))};
}

std::string EntryListOfCall(std::string zipNameList) {
    if (zipNameList.empty()) {
        zipNameList = "*.*";
    }
    std::replace(zipNameList.begin(), zipNameList.end(), '\\', '/');
    return zipNameList;
}

bool HoldsUncarriedBytes(std::string_view names) {
    return names.find(kReplacementCharacter) != std::string_view::npos;
}

std::string WithWildcardForUncarriedBytes(std::string names) {
    for (size_t at = names.find(kReplacementCharacter); at != std::string::npos;
         at = names.find(kReplacementCharacter, at + 1)) {
        names.replace(at, kReplacementCharacter.size(), "?");
    }
    return names;
}

asp::OperationRecord AskedOperation(const CallFields& call) {
    asp::OperationRecord asked;
    asked.letter = OperationLetter(call.options);
    asked.archive = call.sourcePath + call.sourceList;
    if (call.options.empty()) {
        asked.target = call.targetPath;
        return asked;
    }
    const bool zipCall = call.operation == "call_zip";
    const std::string names = EntryListOfCall(call.zipNameList);
    switch (OptionStringFitsLayout(call.options, zipCall) ? asked.letter : '\0') {
        case '-':
        case 'F':
        case 'U':
            if (zipCall) {
                asked.archive = call.targetPath;
                asked.entries = SplitFileList(call.sourceList);
            } else {
                asked.target = call.targetPath;
                asked.entries = {"*.*"};
            }
            break;
        case 'T':
        case 'E':
            asked.target = asked.letter == 'E' ? call.targetPath : "";
            asked.entries = EntryListNames(names);
            break;
        case 'D':
            if (!HoldsUncarriedBytes(names)) {
                asked.entries = EntryListNames(call.zipNameList.empty() ? "" : names);
            }
            break;
        case 'X':
            asked.entries = EntryListNames(names);
            break;
        default:
            break;
    }
    return asked;
}

asp::OperationRecord AskedOperation(const asp::Request& request) {
    return AskedOperation(CallFieldsOf(request));
}

}  // namespace vantrel
