#include "component/core/Farbale.h"

#include <exception>

#include "component/core/ContextSlot.h"
#include "platform/asp/HostConversions.h"

namespace vantrel {

namespace {

constexpr int32_t kDefaultTimeOutSeconds = 300;
constexpr int32_t kDefaultWaitForSeconds = 30;

std::string Trim(std::string text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

Farbale::Farbale() {
    InitTempDirectory();
    TimeOutSeconds =
        asp::ToWholeNumber(ReadSetting("DLLOperationTimeOut")).value_or(kDefaultTimeOutSeconds);
    WaitForSeconds =
        asp::ToWholeNumber(ReadSetting("DLLOperationWaitFor")).value_or(kDefaultWaitForSeconds);
}

void Farbale::OnStartPage(asp::ScriptingContext& context) {
    SetCurrentContext(&context);
}

bool Farbale::ShowPage() {
    bool result = false;
    try {
        strQuote = "\"";
        strNewLine = "\r\n";
        ReadRequestFields();
        blnDebugMode = blnDebugMode || Context().session.Get("debugmode") == "yes";
        strWork5.clear();
        strWork6.clear();
        BuildFragments();
        Dispatch(result);
    } catch (const std::exception& error) {
        WriteErrorDescription(error.what());
        result = false;
    }
    return result;
}

bool Farbale::IsOperationCall(const asp::Request& request) {
    return Trim(request.Item("OP")).starts_with("call_");
}

void Farbale::ReadRequestFields() {
    asp::Request& request = Context().request;
    strOperation = Trim(request.Item("OP"));
    strSourcePath = Trim(request.Form("SP"));
    strSourceList = Trim(request.Form("SL"));
    strTargetPath = Trim(request.Form("TP"));
    strPassword = Trim(request.Form("PW"));
    strZipNameList = Trim(request.Form("ZL"));
    strZipFileName = Trim(request.Item("ZN"));
    strZipDisabled = Trim(request.Form("ZD"));
    strOptions = Trim(request.Form("OS"));
}

void Farbale::Dispatch(bool& result) {
    bool zipFlag = false;
    if (strOperation == "source") {
        WriteSourcePage();
    } else if (strOperation == "target") {
        WriteTargetPage();
    } else if (strOperation == "unzip") {
        WriteUnzipControls();
    } else if (strOperation == "unziplist") {
        WriteZipContents();
    } else if (strOperation == "zip") {
        WriteZipControls();
    } else if (strOperation == "call_zip") {
        zipFlag = true;
        result = WriteResultPage(zipFlag);
        return;
    } else if (strOperation == "call_unzip" || strOperation == "call_unziplist") {
        result = WriteResultPage(zipFlag);
        return;
    } else if (strOperation == "info") {
        WriteInfoPage();
    } else {
        WriteFrameset();
    }
    result = true;
}

void Farbale::WriteErrorDescription(const std::string& description) {
    if (CurrentContext()) {
        Write(description);
    }
}

asp::ScriptingContext& Farbale::Context() {
    asp::ScriptingContext* context = CurrentContext();
    if (!context) {
        throw asp::AspError("The page has no scripting context.");
    }
    return *context;
}

void Farbale::Write(std::string_view text) {
    constexpr size_t kKeptText = 2048;
    if (operationText_ && operationText_->size() < kKeptText) {
        operationText_->append(text.substr(0, kKeptText - operationText_->size()));
    }
    Context().response.Write(text);
}

std::string Farbale::ServerVariable(std::string_view name) {
    return Context().request.ServerVariables(name);
}

}  // namespace vantrel
