// The stand-in's reading of the notifications' shared-memory blocks.
#include "qxsmon/block_log.h"

#include <windows.h>

#include <cstdio>

#include "core/statmon_interface.h"

namespace {

// The largest view the section allows: its size as the creator made it.
SIZE_T SectionSize(HANDLE mapping) {
    SIZE_T low = 0, high = 1 << 20;  // low maps, high does not
    while (high - low > 1) {
        SIZE_T middle = low + (high - low) / 2;
        void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, middle);
        if (view != nullptr) {
            UnmapViewOfFile(view);
            low = middle;
        } else {
            high = middle;
        }
    }
    return low;
}

}  // namespace

bool CarriesBlock(std::uint32_t code) {
    return code == NotifyJobStart || code == NotifyMediaSettings || code == NotifyProgress ||
           code == NotifyMediaStatus;
}

std::string ReadBlock(std::uint32_t number, std::vector<unsigned char>& bytes) {
    char name[16];
    std::snprintf(name, sizeof name, BLOCK_NAME_FORMAT, number);
    std::string text = std::string("block ") + name;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (mapping == nullptr) return text + " missing";
    SIZE_T size = SectionSize(mapping);
    const void* view = size > 0 ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size) : nullptr;
    if (view != nullptr) {
        auto* data = static_cast<const unsigned char*>(view);
        bytes.assign(data, data + size);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    text += " " + std::to_string(bytes.size()) + " ";
    char hex[3];
    for (unsigned char byte : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        text += hex;
    }
    return text;
}
