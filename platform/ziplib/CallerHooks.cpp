#include "platform/ziplib/CallerHooks.h"

#include "platform/ziplib/StatusCodes.h"

namespace vantrel::ziplib {

CallerHooks::CallerHooks(const CallerFunctions& functions)
    : ticker_(functions.progress), check_(functions.check), report_(functions.report) {}

bool CallerHooks::Allows(const std::string& realPath) const {
    return !check_ || check_(realPath.c_str()) != 0;
}

platform::LocationCheck CallerHooks::Check() const {
    if (!check_) {
        return {};
    }
    return [this](const std::string& realPath) { return Allows(realPath); };
}

void CallerHooks::Report(int32_t code, const std::string& name) {
    if (leftOut_ == status::kOk) {
        leftOut_ = code;
    }
    if (report_) {
        report_(code, name.c_str());
    }
}

void CallerHooks::NoteRefusal() {
    if (leftOut_ == status::kOk) {
        leftOut_ = status::kBadFileSpec;
    }
}

int32_t CallerHooks::Finish(int32_t code) const {
    return code != status::kOk ? code : leftOut_;
}

}  // namespace vantrel::ziplib
