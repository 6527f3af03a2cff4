// The wait bounds and their test override.
#include "core/wait_bounds.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

WaitBounds g_waitBounds;

namespace {

struct BoundName {
    const char* name;
    u32 WaitBounds::*field;
};

constexpr BoundName BOUND_NAMES[] = {
    {"notify", &WaitBounds::notifyMs},
    {"search", &WaitBounds::windowSearchMs},
    {"message", &WaitBounds::launchMessageMs},
    {"exit", &WaitBounds::applicationExitMs},
    {"thread", &WaitBounds::connectThreadExitMs},
    {"mutex", &WaitBounds::portMutexEndMs},
};

void ApplyBound(WaitBounds& bounds, const char* item) {
    const char* equals = std::strchr(item, '=');
    if (equals == nullptr) return;
    size_t nameLength = static_cast<size_t>(equals - item);
    for (const BoundName& bound : BOUND_NAMES) {
        if (std::strlen(bound.name) == nameLength &&
            std::strncmp(item, bound.name, nameLength) == 0)
            bounds.*bound.field = static_cast<u32>(std::strtoul(equals + 1, nullptr, 10));
    }
}

}  // namespace

void LoadWaitBoundsOverride() {
    char text[256] = {};
    DWORD length = GetEnvironmentVariableA("QXLMON_TEST_BOUNDS", text, sizeof text);
    if (length == 0 || length >= sizeof text) return;
    for (char* item = text; item != nullptr;) {
        char* comma = std::strchr(item, ',');
        if (comma != nullptr) *comma = '\0';
        ApplyBound(g_waitBounds, item);
        item = comma != nullptr ? comma + 1 : nullptr;
    }
}
