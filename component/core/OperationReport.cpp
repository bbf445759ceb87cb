#include "component/core/OperationReport.h"

#include <utility>

namespace vantrel {

namespace {
constexpr size_t kKeptText = 2048;
}  // namespace

void OperationReport::Begin() {
    *this = {};
    pageText.emplace();
}

void OperationReport::Keep(std::string_view text) {
    if (pageText && pageText->size() < kKeptText) {
        pageText->append(text.substr(0, kKeptText - pageText->size()));
    }
}

void OperationReport::AddBytes(int64_t read, int64_t written) {
    bytesIn += static_cast<uint64_t>(read);
    bytesOut += static_cast<uint64_t>(written);
}

asp::OperationRecord OperationReport::Finish(asp::OperationRecord asked, bool succeeded) {
    std::string written = std::exchange(pageText, std::nullopt).value_or("");
    asked.status = status;
    asked.bytesIn = bytesIn;
    asked.bytesOut = bytesOut;
    asked.text = libraryMessage.value_or(written);
    asked.outcome = succeeded        ? asp::OperationOutcome::Succeeded
                    : libraryMessage ? asp::OperationOutcome::Failed
                                     : asp::OperationOutcome::Refused;
    return asked;
}

}  // namespace vantrel
