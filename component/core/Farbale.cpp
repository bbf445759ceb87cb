#include "component/core/Farbale.h"

#include <exception>

#include "component/core/ContextSlot.h"
#include "platform/asp/HostConversions.h"

namespace vantrel {

namespace {

constexpr int32_t kDefaultTimeOutSeconds = 300;
constexpr int32_t kDefaultWaitForSeconds = 30;

}  // namespace

// A period that cannot be read keeps its default, as one that is not a number does: the periods
// only bound the waiting for a slot. The switches and lists, which do limit the users, are read
// by each operation, which refuses when they cannot be read.
Farbale::Farbale() {
    InitTempDirectory();
    auto period = [this](const char* name, int32_t fallback) {
        try {
            return asp::ToWholeNumber(ReadSetting(name)).value_or(fallback);
        } catch (const std::exception&) {
            return fallback;
        }
    };
    TimeOutSeconds = period("DLLOperationTimeOut", kDefaultTimeOutSeconds);
    WaitForSeconds = period("DLLOperationWaitFor", kDefaultWaitForSeconds);
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
        if (RefuseControlCharacters()) {
            return false;
        }
        Dispatch(result);
    } catch (const std::exception& error) {
        WriteErrorDescription(error.what());
        result = false;
    }
    return result;
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
    } else if (strOperation == "upload") {
        WriteUploadWindow();
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
    if (divertedText_) {
        divertedText_->append(text);
        return;
    }
    report_.Keep(text);
    Context().response.Write(text);
}

std::string Farbale::ServerVariable(std::string_view name) {
    return Context().request.ServerVariables(name);
}

}  // namespace vantrel
