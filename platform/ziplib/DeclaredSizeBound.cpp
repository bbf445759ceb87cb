#include "platform/ziplib/DeclaredSizeBound.h"

namespace vantrel::ziplib {

bool DeclaredSizeBound::operator()(const char* data, size_t size) {
    if (exceeded_ || size > declared_ - passed_) {
        exceeded_ = true;
        return false;
    }
    if (!next_(data, size)) {
        return false;
    }
    passed_ += size;
    return true;
}

}  // namespace vantrel::ziplib
