#pragma once
// A request that calls an operation (OP "call_zip", "call_unzip" or "call_unziplist"), and what it
// asks for as the host's audit log names it. The result page, the host's start line and its line
// for a call the component never answered all name the operation alike: a zip of the zip page
// writes the archive of TP from the files of SL; every other call reads the archive SP + SL.

#include <string>
#include <string_view>

#include "platform/asp/ScriptingContext.h"

namespace vantrel {

// The fields of a call, trimmed of blanks as the result page reads them.
struct CallFields {
    std::string operation;    // OP
    std::string sourcePath;   // SP
    std::string sourceList;   // SL
    std::string targetPath;   // TP
    std::string zipNameList;  // ZL
    std::string options;      // OS
};

// True when the request calls an operation (OP, trimmed, begins with "call_"): the page that
// answers it runs a zip, unzip or test and may hold a slot of the operation queue for long.
bool IsOperationCall(const asp::Request& request);

// The call's fields as the request carries them.
CallFields CallFieldsOf(const asp::Request& request);

// The entry list of a call as the operations take it: "*.*" (every entry) when none was chosen,
// and forward slashes.
std::string EntryListOfCall(std::string zipNameList);
// Whether a list holds the mark (U+FFFD) that the contents page puts in place of the bytes of a
// name that it cannot carry.
bool HoldsUncarriedBytes(std::string_view names);
// The list with "?", the one-character wildcard that matches such a byte again, for each mark.
std::string WithWildcardForUncarriedBytes(std::string names);

// The operation the call asks for: its letter (the option string's first character, '\0' for
// none), the archive, the folder extracted into (empty for the others) and the files or entry
// names asked for. Outcome, status and text are left for the one who ran it (or refused it).
asp::OperationRecord AskedOperation(const CallFields& call);
asp::OperationRecord AskedOperation(const asp::Request& request);

}  // namespace vantrel
