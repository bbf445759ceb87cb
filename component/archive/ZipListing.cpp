// Listing an archive's entries with their details: the list box's OPTION lines, one detail text
// per entry (its tool tip) and the archive's summary. The lines go into the page while the entries
// are read, a few dozen kilobytes at a time, so that an archive of any size is listed in little
// memory. The listing neither takes nor frees an operation slot.
//
// Only an archive the path policy allows is read: its name is judged first, then where it really
// lies (through links and "..") when the library opens it. A refusal is the listing's failure
// text, in the policy's own words, whether or not anything lies there.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "component/archive/EntryDetails.h"
#include "component/archive/EntryNameText.h"
#include "component/archive/LibraryCalls.h"
#include "component/archive/ListedEntries.h"
#include "component/archive/OperationHooks.h"
#include "component/archive/StatusMessage.h"
#include "component/core/Escape.h"
#include "component/core/Farbale.h"
#include "platform/asp/HostConversions.h"

namespace vantrel {

namespace {

// How much of the list is gathered before it is written into the page.
constexpr size_t kWriteChunkBytes = 64 * 1024;

std::string ErrorText(std::string_view description) {
    return "<B>Error:</B> " + HtmlEscape(description);
}

// "#,###,###,##0"
std::string GroupedNumber(double value) {
    return asp::FormatNumber(std::round(value), 0);
}

// "#0%" of a rate: percent rounded half away from zero.
std::string RateText(double usum, double csum) {
    float rate = usum > 0 ? static_cast<float>((usum - csum) / usum) : 0.0f;
    return asp::FormatNumber(std::round(static_cast<double>(rate) * 100.0), 0) + "%";
}

}  // namespace

bool Farbale::ListZipFile(std::string archive, std::string& list, std::string& summary) {
    summary.clear();
    std::string refusal;
    if (!CheckPathAccess(archive, refusal)) {
        list = refusal;
        return false;
    }
    bool refused = false;
    auto allow = [&](const std::string& realPath) {
        refusal.clear();
        refused = !CheckPathAccess(realPath, refusal);
        return !refused;
    };
    ScopedOperationHooks hooks({allow, {}});
    std::string totalSize, totalCompressed, rate;
    int32_t count = 0;
    if (!ReadZipEntries(archive, list, totalSize, totalCompressed, rate, count)) {
        if (refused) {
            list = refusal;
        }
        return false;
    }
    summary = "Number of files: " + std::to_string(count) +
              "<BR>Total uncompressed sizes: " + totalSize +
              " bytes<BR>Total compressed size: " + totalCompressed +
              " bytes<BR>Overall Compression rate: " + rate;
    return true;
}

// The list output holds the lines not yet written when the listing ends (the caller writes them),
// or the failure text, after every line read before the failure has been written.
bool Farbale::ReadZipEntries(const std::string& archive, std::string& list, std::string& totalSize,
                             std::string& totalCompressed, std::string& rate, int32_t& count) {
    list.clear();
    try {
        double usum = 0, csum = 0;
        auto writeList = [&] {
            Write(list);
            list.clear();
        };
        // The lines are built in place: nothing is allocated per entry once the texts reused
        // here have grown to their size.
        std::string name, text;
        list.reserve(kWriteChunkBytes + 4096);
        auto escaped = [&](auto append, std::string_view from) {
            text.clear();
            append(text, from);
            AppendHtmlEscaped(list, text);
        };
        auto take = [&](const ZipEntryRecord& record, const std::optional<FullEntry>& full) {
            name.assign(
                full ? std::string_view(full->name)
                     : std::string_view(record.name, strnlen(record.name, sizeof record.name)));
            std::replace(name.begin(), name.end(), '/', '\\');
            const uint64_t size = full ? full->size : record.size;
            const uint64_t compressedSize = full ? full->compressedSize : record.compressedSize;
            usum += static_cast<double>(size);
            csum += static_cast<double>(compressedSize);
            // A folder entry is offered as all of its contents.
            const std::string_view suffix = !name.empty() && name.back() == '\\' ? "*.*" : "";
            list.append("<OPTION VALUE=").append(strQuote);
            escaped(AppendSelectableEntryName, name);
            list.append(suffix).append(strQuote).append(" TITLE=").append(strQuote);
            escaped(
                [&](std::string& out, std::string_view entry) {
                    AppendEntryDetails(out, entry, record, size, compressedSize);
                },
                name);
            list.append(strQuote).append(">");
            escaped(AppendReadableEntryText, name);
            list.append(suffix).append(strNewLine);
            if (list.size() >= kWriteChunkBytes) {
                writeList();
            }
        };
        std::string error;
        const std::optional<int32_t> entries = ForEachListedEntry(archive, take, error);
        if (!entries) {
            writeList();
            list = error;
            return false;
        }
        count = *entries;
        totalSize = GroupedNumber(usum);
        totalCompressed = GroupedNumber(csum);
        rate = RateText(usum, csum);
        return true;
    } catch (const std::exception& error) {
        std::string pending = std::move(list);
        list = ErrorText(error.what());
        try {
            Write(pending);
        } catch (const std::exception&) {
            // Without a response the failure text is all the caller can still use.
        }
        return false;
    }
}

std::string Farbale::EntryDetails(const std::string& name, const ZipEntryRecord& record,
                                  double& totalSize, double& totalCompressed) {
    return EntryDetails(name, record, record.size, record.compressedSize, totalSize,
                        totalCompressed);
}

std::string Farbale::EntryDetails(const std::string& name, const ZipEntryRecord& record,
                                  uint64_t size, uint64_t compressedSize, double& totalSize,
                                  double& totalCompressed) {
    totalSize += static_cast<double>(size);
    totalCompressed += static_cast<double>(compressedSize);
    try {
        std::string text;
        AppendEntryDetails(text, name, record, size, compressedSize);
        return text;
    } catch (const std::exception& error) {
        // Only this entry's title reports it; the listing goes on with the next entry.
        return "<B>Error:</B> " + std::string(error.what());
    }
}

std::string Farbale::AttributeText(int32_t attributes) {
    return vantrel::AttributeText(attributes);
}

std::string Farbale::MethodName(int16_t method) {
    return std::string(MethodText(method));
}

std::string Farbale::OptionText(int16_t option) {
    return vantrel::OptionText(option);
}

int32_t Farbale::ShiftBits(int32_t value, int16_t count) {
    return vantrel::ShiftBits(value, count);
}

}  // namespace vantrel
