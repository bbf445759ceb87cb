#include "platform/ziplib/EntryRecord.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/ziplib/ArchiveEntryNames.h"
#include "platform/ziplib/DosTime.h"
#include "platform/ziplib/EntryTimes.h"
#include "platform/ziplib/ZipErrors.h"
#include "platform/ziplib/lszip.h"

namespace vantrel::ziplib {

namespace {

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;

uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, 0xFFFFFFFFu));
}

// The length of text cut at a character boundary to at most limit bytes.
size_t CutLength(std::string_view text, size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return end;
}

void CopyText(char* field, size_t fieldSize, std::string_view text) {
    size_t length = CutLength(text, fieldSize - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

uint16_t Ratio(uint64_t size, uint64_t compressed) {
    if (size == 0 || compressed >= size) {
        return 0;
    }
    return static_cast<uint16_t>(
        std::lround(100.0 * static_cast<double>(size - compressed) / static_cast<double>(size)));
}

bool HasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
}

}  // namespace

std::string CutUtf8(const std::string& text, size_t limit) {
    return text.substr(0, CutLength(text, limit));
}

uint16_t DosAttributes(uint8_t system, uint32_t external, bool folder) {
    uint16_t dos = external & 0xFF;
    if (system == ZIP_OPSYS_UNIX && dos == 0) {
        mode_t mode = external >> 16;
        dos = folder || S_ISDIR(mode) ? 0x10 : 0x20;
        if (mode != 0 && !(mode & S_IWUSR)) {
            dos |= 0x01;
        }
    }
    return dos;
}

int32_t FillEntryRecord(zip_t* za, zip_uint64_t index, const raw::CentralFields* raw,
                        const std::string* nameWithNul, ZipEntryRecord& record, EntryInfo& info) {
    std::memset(&record, 0, sizeof record);
    zip_stat_t st;
    const char* name = zip_get_name(za, index, 0);
    if (!name || zip_stat_index(za, index, 0, &st) != 0) {
        return StatusOf(za);
    }
    info = {nameWithNul ? NameWithNulMarked(*nameWithNul, name) : name, st.size, st.comp_size};
    CopyText(record.name, sizeof record.name, info.name);
    bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    if (raw) {
        record.dosDate = raw->dosDate;
        record.dosTime = raw->dosTime;
        record.flags = raw->flags;
    } else {
        DosDateTime dos = ToDosDateTime(st.mtime);
        record.dosDate = dos.date;
        record.dosTime = dos.time;
        record.flags = static_cast<uint16_t>((encrypted ? kFlagEncrypted : 0) |
                                             (HasNonAscii(info.name) ? kFlagUtf8 : 0));
    }
    if (auto modified = ExtendedModifiedTime(za, index)) {
        DosDateTime dos = ToDosDateTime(*modified);
        record.dosDate = dos.date;
        record.dosTime = dos.time;
    }
    record.size = Clamp32(st.size);
    record.compressedSize = Clamp32(st.comp_size);
    record.ratio = Ratio(st.size, st.comp_size);
    record.method = static_cast<uint16_t>(st.comp_method);
    uint8_t system = 0;
    uint32_t external = 0;
    zip_file_get_external_attributes(za, index, 0, &system, &external);
    bool folder = !info.name.empty() && (info.name.back() == '/' || info.name.back() == '\\');
    record.attributes = DosAttributes(system, external, folder);
    zip_uint32_t commentLength = 0;
    const char* comment = zip_file_get_comment(za, index, &commentLength, 0);
    if (comment) {
        CopyText(record.comment, sizeof record.comment, std::string_view(comment, commentLength));
    }
    return LSZIP_OK;
}

}  // namespace vantrel::ziplib
