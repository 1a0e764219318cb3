// The server's own identity at 0x3304-0x330B, refreshed every frame when asked to: some real
// servers rewrite it many times a second, over whatever a client stored there.
#include <cstring>

#include "XPLMProcessing.h"
#include "xpuipc.h"

namespace xpuipc {
namespace {

bool g_refresh = false;
bool g_registered = false;

void WriteOwnIdentity() {
    uint8_t bytes[8];
    const uint32_t version = kOwnServerVersion;
    const uint16_t code = kOwnSimulatorCode, marker = kIdentityMarker;
    memcpy(bytes, &version, 4);
    memcpy(bytes + 4, &code, 2);
    memcpy(bytes + 6, &marker, 2);
    TableWrite(kServerVersion, sizeof bytes, bytes, 0);
}

float RefreshLoop(float, float, int, void*) {
    if (g_refresh && ServerEnabled()) WriteOwnIdentity();
    return -1.0f;  // every frame
}

void Register(bool on) {
    if (on && !g_registered) XPLMRegisterFlightLoopCallback(RefreshLoop, -1.0f, nullptr);
    if (!on && g_registered) XPLMUnregisterFlightLoopCallback(RefreshLoop, nullptr);
    g_registered = on;
}

}  // namespace

void IdentityStart() {
    g_refresh = false;
}

void IdentityStop() {
    Register(false);
    g_refresh = false;
}

// The flight loop exists only while refreshing, so traces of a plain server stay as they were.
bool SetIdentityRefresh(const std::string& which, std::string* error) {
    if (which == "on") {
        g_refresh = true;
    } else if (which == "off") {
        g_refresh = false;
    } else {
        *error = "identity-refresh: on or off";
        return false;
    }
    Register(g_refresh);
    return true;
}

std::string DescribeIdentityRefresh() {
    return std::string("identity refresh ") + (g_refresh ? "on" : "off") + "\n";
}

}  // namespace xpuipc
