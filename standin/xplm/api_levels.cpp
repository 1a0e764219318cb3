// The API a simulator version has: a function newer than the version is not exported at all. The
// libraries are built with every function; their export name tables are cut down in memory to the
// chosen version's, so the loader refuses a plug-in that imports a missing one, and
// GetProcAddress and XPLMFindSymbol find nothing, as in an older simulator.
#include <cstring>
#include <string>
#include <vector>

#include "world.h"

namespace sim {

namespace {

struct Introduced {
    const char* name;
    int version;
};

// SDK 3.0.0 came with 11.10, 3.0.1 (VR) with 11.20.
constexpr Introduced kIntroduced[] = {
    {"XPLMGetScreenBoundsGlobal", 11100},   {"XPLMGetAllMonitorBoundsGlobal", 11100},
    {"XPLMGetAllMonitorBoundsOS", 11100},   {"XPLMGetMouseLocationGlobal", 11100},
    {"XPLMGetWindowGeometryOS", 11100},     {"XPLMSetWindowGeometryOS", 11100},
    {"XPLMWindowIsPoppedOut", 11100},       {"XPLMSetWindowGravity", 11100},
    {"XPLMSetWindowResizingLimits", 11100}, {"XPLMSetWindowPositioningMode", 11100},
    {"XPLMSetWindowTitle", 11100},          {"XPLMGetWindowGeometryVR", 11200},
    {"XPLMSetWindowGeometryVR", 11200},     {"XPLMWindowIsInVR", 11200},
    {"XPGetWidgetUnderlyingWindow", 11200},
};

// A library's name table as built, to cut from again when the version changes.
struct Table {
    HMODULE module = nullptr;
    IMAGE_EXPORT_DIRECTORY* directory = nullptr;
    std::vector<DWORD> names;
    std::vector<WORD> ordinals;
};
std::vector<Table> g_tables;

Table* TableOf(HMODULE module) {
    for (Table& t : g_tables)
        if (t.module == module) return &t;
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress || !dir.Size) return nullptr;
    Table t;
    t.module = module;
    t.directory = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + t.directory->AddressOfNames);
    const auto* ordinals = reinterpret_cast<const WORD*>(base + t.directory->AddressOfNameOrdinals);
    t.names.assign(names, names + t.directory->NumberOfNames);
    t.ordinals.assign(ordinals, ordinals + t.directory->NumberOfNames);
    g_tables.push_back(t);
    return &g_tables.back();
}

bool Writable(void* at, size_t size, DWORD* old) { return VirtualProtect(at, size, PAGE_READWRITE, old) != 0; }

// Keeps the names the version has, in their sorted order, so lookups by halving still work.
void Trim(HMODULE module, int version) {
    Table* t = module ? TableOf(module) : nullptr;
    if (!t) return;
    auto* base = reinterpret_cast<unsigned char*>(module);
    std::vector<DWORD> names;
    std::vector<WORD> ordinals;
    for (size_t i = 0; i < t->names.size(); ++i) {
        const char* name = reinterpret_cast<const char*>(base + t->names[i]);
        if (IntroducedIn(name) > version) continue;
        names.push_back(t->names[i]);
        ordinals.push_back(t->ordinals[i]);
    }
    auto* nameTable = reinterpret_cast<DWORD*>(base + t->directory->AddressOfNames);
    auto* ordinalTable = reinterpret_cast<WORD*>(base + t->directory->AddressOfNameOrdinals);
    DWORD oldNames, oldOrdinals, oldDirectory;
    const size_t count = t->names.size();
    if (!Writable(nameTable, count * sizeof(DWORD), &oldNames)) return;
    if (!Writable(ordinalTable, count * sizeof(WORD), &oldOrdinals)) return;
    if (!Writable(t->directory, sizeof *t->directory, &oldDirectory)) return;
    // The count first: a lookup under way never sees a slot past the names it may use.
    t->directory->NumberOfNames = 0;
    std::memcpy(nameTable, names.data(), names.size() * sizeof(DWORD));
    std::memcpy(ordinalTable, ordinals.data(), ordinals.size() * sizeof(WORD));
    t->directory->NumberOfNames = (DWORD)names.size();
    DWORD ignored;
    VirtualProtect(t->directory, sizeof *t->directory, oldDirectory, &ignored);
    VirtualProtect(ordinalTable, count * sizeof(WORD), oldOrdinals, &ignored);
    VirtualProtect(nameTable, count * sizeof(DWORD), oldNames, &ignored);
}

}  // namespace

int IntroducedIn(const char* name) {
    if (!name) return 0;
    for (const Introduced& i : kIntroduced)
        if (std::strcmp(i.name, name) == 0) return i.version;
    return 0;
}

void ApplyApiLevel() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ApplyApiLevel), &self);
    Trim(self, W().xplaneVersion);
    Trim(GetModuleHandleA("XPWidgets_64.dll"), W().xplaneVersion);
}

}  // namespace sim
