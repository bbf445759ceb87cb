// Listing an archive's entries with their details.
#include "component/core/Farbale.h"

namespace vantrel {

bool Farbale::ListZipFile(std::string, std::string&, std::string&) { return false; }

bool Farbale::ReadZipEntries(const std::string&, std::string&, std::string&, std::string&,
                             std::string&, int32_t&) {
    return false;
}

std::string Farbale::EntryDetails(const std::string&, const ZipEntryRecord&, double&, double&) {
    return {};
}

std::string Farbale::AttributeText(int32_t) { return {}; }

std::string Farbale::MethodName(int16_t) { return {}; }

std::string Farbale::OptionText(int16_t) { return {}; }

int32_t Farbale::ShiftBits(int32_t value, int16_t) { return value; }

}  // namespace vantrel
