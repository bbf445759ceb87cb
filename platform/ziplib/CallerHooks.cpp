#include "platform/ziplib/CallerHooks.h"

#include <cerrno>

#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

CallerHooks::CallerHooks(const CallerFunctions& functions)
    : ticker_(functions.progress), check_(functions.check), report_(functions.report) {}

CallerHooks CallerHooks::Quiet() {
    CallerHooks quiet({nullptr, check_, nullptr});
    quiet.shared_ = &Ticker();
    return quiet;
}

bool CallerHooks::Allows(const std::string& realPath) const {
    return !check_ || check_(realPath.c_str()) != 0;
}

platform::LocationCheck CallerHooks::Check() const {
    if (!check_) {
        return {};
    }
    return [this](const std::string& realPath) { return Allows(realPath); };
}

void CallerHooks::Report(int32_t code, const std::string& name, int systemError) {
    if (leftOut_ == LSZIP_OK) {
        leftOut_ = code;
    }
    if (report_) {
        int saved = errno;
        errno = systemError;
        report_(code, name.c_str());
        errno = saved;
    }
}

bool CallerHooks::ReportRefusal(int32_t code, const std::string& name, int systemError) {
    if (systemError != EACCES && systemError != EPERM && systemError != EROFS) {
        return false;
    }
    Report(code, name, systemError);
    return true;
}

void CallerHooks::NoteRefusal() {
    if (leftOut_ == LSZIP_OK) {
        leftOut_ = LSZIP_E_REFUSED;
    }
}

int32_t CallerHooks::Finish(int32_t code) const {
    return code != LSZIP_OK ? code : leftOut_;
}

}  // namespace vantrel::ziplib
