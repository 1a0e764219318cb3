// Which functions of the simulator's libraries a plug-in has patched in place (an inline hook):
// the first bytes of every export against a copy taken before the first plug-in was loaded.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "host.h"

namespace {

constexpr size_t kCompared = 16;
const char* const kLibraries[] = {"XPLM_64.dll", "XPWidgets_64.dll"};

struct ApiEntry {
    std::string name;
    const unsigned char* code;
    unsigned char original[kCompared];
};
std::vector<ApiEntry> g_entries;
bool g_remembered = false;

void RememberLibrary(HMODULE module) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
    if (!dir.VirtualAddress || !dir.Size) return;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        const DWORD rva = functions[ordinals[i]];
        const bool forwarded = rva >= dir.VirtualAddress && rva < dir.VirtualAddress + dir.Size;
        if (forwarded || rva + kCompared > imageSize) continue;
        ApiEntry e;
        e.name = reinterpret_cast<const char*>(base + names[i]);
        e.code = base + rva;
        std::memcpy(e.original, e.code, kCompared);
        g_entries.push_back(e);
    }
}

}  // namespace

void RememberApiEntries() {
    if (g_remembered) return;
    g_remembered = true;
    for (const char* library : kLibraries)
        if (HMODULE module = GetModuleHandleA(library)) RememberLibrary(module);
}

void DescribeApiPatches() {
    bool any = false;
    for (const ApiEntry& e : g_entries) {
        if (std::memcmp(e.original, e.code, kCompared) == 0) continue;
        Out("hooked " + e.name);
        any = true;
    }
    if (!any) Out("hooks: none");
}
