// Port classification by name.
#include "monitor/port_name.h"

#include <cstring>

#include "core/port_session.h"

namespace {

constexpr char PREFIX[] = "QX";
constexpr size_t PREFIX_LENGTH = 2;

bool HasPrefix(const char* name) {
    return std::strlen(name) > PREFIX_LENGTH && std::strncmp(name, PREFIX, PREFIX_LENGTH) == 0;
}

}  // namespace

bool IsDeviceName(const char* text, const char letters[3]) {
    size_t length = std::strlen(text);
    if (length != 4 && !(length == 5 && text[4] == ':')) return false;
    for (int i = 0; i < 3; ++i) {
        if ((static_cast<unsigned char>(text[i]) | 0x20) != static_cast<unsigned char>(letters[i]))
            return false;
    }
    return text[3] >= '1' && text[3] <= '9';
}

PortClass ClassifyPortName(const char* name, bool isNetworkPort) {
    if (isNetworkPort) return {PORTTYPE_NETWORK, 0};
    if (HasPrefix(name) && std::strncmp(name + PREFIX_LENGTH, "USB", 3) == 0)
        return {PORTTYPE_USB, 0};
    if (HasPrefix(name) && IsDeviceName(name + PREFIX_LENGTH, "com")) return {PORTTYPE_SERIAL, 0};
    if (IsDeviceName(name, "lpt")) return {PORTTYPE_PARALLEL, static_cast<u16>(name[3] - '0')};
    return {PORTTYPE_OTHER, 0};
}
