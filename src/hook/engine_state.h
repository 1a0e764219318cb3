// The engine's process-wide state, its spin lock and its private heap. Windows only.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "hook/function_body.h"
#include "hook/hook_record.h"

struct CodeBlock;

// A module's exception directory indexed once, for every hook made in it while the engine runs.
struct ModuleIndex {
  uintptr_t base;
  uint32_t size, stamp;  // SizeOfImage and the file header's time stamp, as when indexed
  DirectoryIndex index;
  ChainedPart* parts;  // in the private heap, or null
};
constexpr uint32_t kModuleIndexes = 4;

struct EngineState {
  HANDLE heap;  // null while not initialised
  HookRecord* records;
  uint32_t capacity;
  uint32_t count;
  CodeBlock* blocks;
  uint32_t freezes;  // times FreezeThreads ran, for diagnostics
  ModuleIndex modules[kModuleIndexes];
  uint32_t moduleCount, nextModule;  // the oldest is replaced when all are taken
};

extern EngineState Engine;

// How the engine changes the protection of the bytes it patches; tests put a failing one in its
// place.
using VirtualProtectFn = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD, PDWORD);
extern VirtualProtectFn EngineProtect;
extern std::atomic<uint32_t> EngineLock;  // 0 free, 1 taken

void TakeEngineLock();
void ReleaseEngineLock();

struct EngineLockGuard {
  EngineLockGuard() { TakeEngineLock(); }
  ~EngineLockGuard() { ReleaseEngineLock(); }
  EngineLockGuard(const EngineLockGuard&) = delete;
  EngineLockGuard& operator=(const EngineLockGuard&) = delete;
};

// Record array in the private heap.
HookRecord* FindRecord(uintptr_t target);
[[nodiscard]] bool AppendRecord(const HookRecord& r);   // false when the array cannot grow
void RemoveRecord(HookRecord* r);         // moves the last record into its place, may shrink
