// Field listings of the job information block and the spool record header,
// read through the monitor's own record layouts.
#include "qxlinspect/block_fields.h"

#include <cstring>

#include "common/text.h"
#include "rebuild/spool_file.h"
#include "rebuild/tape_table.h"
#include "core/job_info.h"

namespace {

std::string CheckFlagNames(std::uint16_t flags) {
    std::string names;
    auto add = [&](std::uint16_t bit, const char* name) {
        if (!(flags & bit)) return;
        names += names.empty() ? " (" : ", ";
        names += name;
    };
    add(JIB_CHECK_MEDIA_TYPE, "check media type");
    add(JIB_CHECK_MEDIA_WIDTH, "check media width");
    add(JIB_CHECK_MEDIA_EXTRA, "check media extra");
    add(JIB_RESET_ON_STOP, "reset on stop");
    return names.empty() ? names : names + ")";
}

std::string Caption(const char* caption, size_t size) {
    std::string text = "\"";
    for (size_t i = 0; i < size && caption[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(caption[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\')
            text += static_cast<char>(c);
        else
            Appendf(text, "\\x%02x", c);
    }
    return text + "\"";
}

}  // namespace

std::string JobInfoFields(const std::uint8_t* bytes, const char* indent) {
    JobInfoBlock block;
    std::memcpy(&block, bytes, sizeof block);
    std::string text;
    Appendf(text, "%smediaSetting1-3  %02x %02x %02x\n", indent, block.mediaSetting1,
            block.mediaSetting2, block.mediaSetting3);
    Appendf(text, "%smediaType        0x%02x\n", indent, block.mediaType);
    Appendf(text, "%smediaWidth       %u mm\n", indent, block.mediaWidth);
    Appendf(text, "%smediaExtra       0x%02x\n", indent, block.mediaExtra);
    Appendf(text, "%smediaSetting4    0x%02x\n", indent, block.mediaSetting4);
    Appendf(text, "%spartCount        %u%s\n", indent, block.partCount,
            block.partCount == 0 ? " (taken as 1)" : "");
    Appendf(text, "%scheckFlags       0x%04x%s\n", indent, block.checkFlags,
            CheckFlagNames(block.checkFlags).c_str());
    Appendf(text, "%spartIndex        %u\n", indent, block.partIndex);
    Appendf(text, "%spageNumber       %u\n", indent, block.pageNumber);
    Appendf(text, "%spageTotal        %u\n", indent, block.pageTotal);
    Appendf(text, "%spageTotalShown   %u\n", indent, block.pageTotalShown);
    Appendf(text, "%sreserved22       %u\n", indent, block.reserved22);
    Appendf(text, "%spageBytes        %u\n", indent, block.pageBytes);
    Appendf(text, "%scaption          %s\n", indent,
            Caption(block.caption, sizeof block.caption).c_str());
    return text;
}

std::string SpoolHeaderFields(const std::uint8_t* bytes, const char* indent) {
    SpoolRecordHeader header;
    std::memcpy(&header, bytes, sizeof header);
    u32 pieces = 0;
    const u8 tape = LookupTapeWidth(header.mediaType, header.paperId, &pieces);
    std::string text;
    Appendf(text, "%sheaderSize     %u\n", indent, header.headerSize);
    Appendf(text, "%srecordSize     %u\n", indent, header.recordSize);
    Appendf(text, "%spaperId        %d (tape table: %u mm, %u piece%s a record)\n", indent,
            header.paperId, tape, pieces, pieces == 1 ? "" : "s");
    Appendf(text, "%ssettingFlag    %u\n", indent, header.settingFlag);
    Appendf(text, "%scopies         %d\n", indent, header.copies);
    Appendf(text, "%scollate        %u\n", indent, header.collate);
    Appendf(text, "%sreverseOrder   %u\n", indent, header.reverseOrder);
    Appendf(text, "%sexplicitWidth  %u mm\n", indent, header.explicitWidth);
    Appendf(text, "%smediaType      0x%02x\n", indent, header.mediaType);
    Appendf(text, "%smediaExtra     0x%02x\n", indent, header.mediaExtra);
    return text;
}
