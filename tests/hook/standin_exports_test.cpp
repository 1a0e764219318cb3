// Every function the stand-in simulator API exports is hooked with a forwarding detour; a run of
// API calls then gives the same results through the hooks as without them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "hook/decoder.h"
#include "hook/hook.h"

namespace {

struct Export {
  std::string name;
  uint8_t* address;
};

std::vector<Export> FunctionExports(HMODULE module) {
  std::vector<Export> out;
  auto* base = reinterpret_cast<uint8_t*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (!dir.VirtualAddress) return out;
  auto* ex = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* functions = reinterpret_cast<DWORD*>(base + ex->AddressOfFunctions);
  auto* names = reinterpret_cast<DWORD*>(base + ex->AddressOfNames);
  auto* ordinals = reinterpret_cast<WORD*>(base + ex->AddressOfNameOrdinals);
  for (DWORD i = 0; i < ex->NumberOfNames; ++i) {
    const DWORD rva = functions[ordinals[i]];
    if (rva >= dir.VirtualAddress && rva < dir.VirtualAddress + dir.Size) continue;  // forwarder
    out.push_back({reinterpret_cast<const char*>(base + names[i]), base + rva});
  }
  return out;
}

// A function whose code ends (ret) before 5 bytes, with no filler after: the engine refuses it.
bool EndsBeforeFiveBytes(const uint8_t* p) {
  unsigned at = 0;
  while (at < 5) {
    DecodedInstruction d;
    if (!DecodeInstruction(p + at, 15, &d)) return false;
    at += d.len;
    if (d.vex == VexKind::None && (d.opcode == 0xC3 || d.opcode == 0xC2)) return at < 5;
  }
  return false;
}

// Forwarding detour: lock inc qword [counter]; jmp [trampoline]. Keeps every register and the
// stack as the caller left them, so it suits any signature.
struct Forwarder {
  uint8_t code[8 + 14];
  uint8_t pad[2];
  uint64_t calls;
};
static_assert(sizeof(Forwarder) == 32, "");

void WriteForwarder(Forwarder* f, void* trampoline) {
  const int32_t toCounter = int32_t(offsetof(Forwarder, calls) - 8);
  const uint8_t inc[4] = {0xF0, 0x48, 0xFF, 0x05};
  std::memcpy(f->code, inc, 4);
  std::memcpy(f->code + 4, &toCounter, 4);
  const uint8_t jmp[6] = {0xFF, 0x25, 0, 0, 0, 0};
  std::memcpy(f->code + 8, jmp, 6);
  const uint64_t dest = reinterpret_cast<uint64_t>(trampoline);
  std::memcpy(f->code + 14, &dest, 8);
  f->calls = 0;
}

template <typename F>
F Api(HMODULE m, const char* name) {
  return reinterpret_cast<F>(GetProcAddress(m, name));
}

void Sink(const char*) {}

// A run of calls across the API; gives what each returned, as text.
std::map<std::string, std::string> Exercise(HMODULE xplm) {
  std::map<std::string, std::string> seen;
  Api<void (*)(void (*)(const char*))>(xplm, "SIM_Init")(&Sink);
  Api<void (*)(int, int)>(xplm, "SIM_SetScreenSize")(1280, 800);
  int w = 0, h = 0;
  Api<void (*)(int*, int*)>(xplm, "XPLMGetScreenSize")(&w, &h);
  seen["screen"] = std::to_string(w) + "x" + std::to_string(h);

  int xp = 0, xplmVersion = 0, host = 0;
  Api<void (*)(int*, int*, int*)>(xplm, "XPLMGetVersions")(&xp, &xplmVersion, &host);
  seen["versions"] = std::to_string(xp) + "/" + std::to_string(xplmVersion) + "/" + std::to_string(host);

  // Published as int, float and double, so every scalar accessor may read it.
  Api<void (*)(const char*, int, double)>(xplm, "SIM_SetDataref")("test/hook/value", 7, 42);
  void* ref = Api<void* (*)(const char*)>(xplm, "XPLMFindDataRef")("test/hook/value");
  seen["found"] = ref ? "yes" : "no";
  seen["geti"] = std::to_string(Api<int (*)(void*)>(xplm, "XPLMGetDatai")(ref));
  Api<void (*)(void*, int)>(xplm, "XPLMSetDatai")(ref, 7);
  double value = 0;
  Api<int (*)(const char*, double*)>(xplm, "SIM_GetDataref")("test/hook/value", &value);
  seen["seti"] = std::to_string(value);
  seen["getf"] = std::to_string(Api<float (*)(void*)>(xplm, "XPLMGetDataf")(ref));
  seen["getd"] = std::to_string(Api<double (*)(void*)>(xplm, "XPLMGetDatad")(ref));

  char path[512] = {};
  Api<void (*)(char*)>(xplm, "XPLMGetSystemPath")(path);
  seen["path"] = path;
  seen["separator"] = Api<const char* (*)()>(xplm, "XPLMGetDirectorySeparator")();
  Api<void (*)(const char*)>(xplm, "XPLMDebugString")("hooked\n");

  void* window = Api<void* (*)(int, int, int, int, int, void*, void*, void*, void*)>(
      xplm, "XPLMCreateWindow")(10, 200, 300, 100, 1, nullptr, nullptr, nullptr, nullptr);
  int l = 0, t = 0, r = 0, b = 0;
  Api<void (*)(void*, int*, int*, int*, int*)>(xplm, "XPLMGetWindowGeometry")(window, &l, &t, &r, &b);
  seen["window"] = std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) + "," +
                   std::to_string(b);
  seen["visible"] = std::to_string(Api<int (*)(void*)>(xplm, "XPLMGetWindowIsVisible")(window));
  Api<void (*)(void*)>(xplm, "XPLMDestroyWindow")(window);

  seen["measure"] = std::to_string(Api<float (*)(int, const char*, int)>(xplm, "XPLMMeasureString")(0, "ATC", 3));
  Api<void (*)(int)>(xplm, "SIM_RunFrames")(3);
  seen["cycle"] = std::to_string(Api<int (*)()>(xplm, "XPLMGetCycleNumber")());
  return seen;
}

const char* const kExercised[] = {
    "SIM_Init", "SIM_SetScreenSize", "XPLMGetScreenSize", "XPLMGetVersions", "SIM_SetDataref",
    "XPLMFindDataRef", "XPLMGetDatai", "XPLMSetDatai", "SIM_GetDataref", "XPLMGetDataf",
    "XPLMGetDatad", "XPLMGetSystemPath", "XPLMGetDirectorySeparator", "XPLMDebugString",
    "XPLMCreateWindow", "XPLMGetWindowGeometry", "XPLMGetWindowIsVisible", "XPLMDestroyWindow",
    "XPLMMeasureString", "SIM_RunFrames", "XPLMGetCycleNumber"};

TEST(HookStandinExports, EveryExportWorksThroughItsTrampoline) {
  const HMODULE xplm = LoadLibraryA("XPLM_64.dll");
  if (!xplm) GTEST_SKIP() << "the stand-in XPLM_64.dll is not built";
  for (const char* name : kExercised)
    ASSERT_NE(GetProcAddress(xplm, name), nullptr) << name;
  const auto direct = Exercise(xplm);

  const std::vector<Export> exports = FunctionExports(xplm);
  ASSERT_GT(exports.size(), 50u);
  auto* forwarders = static_cast<Forwarder*>(VirtualAlloc(
      nullptr, sizeof(Forwarder) * exports.size(), MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
  ASSERT_NE(forwarders, nullptr);
  std::memset(forwarders, 0xCC, sizeof(Forwarder) * exports.size());

  ASSERT_EQ(HookInitialize(), HookOk);
  std::map<std::string, Forwarder*> hooked;
  for (size_t i = 0; i < exports.size(); ++i) {
    const Export& e = exports[i];
    void* tramp = nullptr;
    const HookStatus s = HookAdd(e.address, forwarders[i].code, &tramp);
    if (s == HookUnsupportedFunction && EndsBeforeFiveBytes(e.address)) {
      std::printf("too short to hook: %s\n", e.name.c_str());
      continue;
    }
    ASSERT_EQ(s, HookOk) << e.name;
    WriteForwarder(&forwarders[i], tramp);
    hooked[e.name] = &forwarders[i];
  }
  FlushInstructionCache(GetCurrentProcess(), forwarders, sizeof(Forwarder) * exports.size());
  ASSERT_EQ(HookArm(nullptr), HookOk);

  const auto throughHooks = Exercise(xplm);
  EXPECT_EQ(throughHooks, direct);
  for (const char* name : kExercised) {
    auto it = hooked.find(name);
    if (it == hooked.end()) continue;  // too short to hook
    EXPECT_GE(it->second->calls, 1u) << name;
  }
  EXPECT_GE(hooked.size(), exports.size() * 9 / 10);
  std::printf("hooked %zu of %zu exports\n", hooked.size(), exports.size());

  ASSERT_EQ(HookShutdown(), HookOk);
  EXPECT_EQ(Exercise(xplm), direct);
  VirtualFree(forwarders, 0, MEM_RELEASE);
}

}  // namespace
