// The engine's process-wide state, its spin lock and its private heap. Windows only.
#pragma once

#include <windows.h>

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
constexpr uint32_t kBuriedRecords = 16;

struct EngineState {
  HANDLE heap;  // null while not initialised
  HookRecord* records;
  uint32_t capacity;
  uint32_t count;
  CodeBlock* blocks;
  uint32_t freezes;  // times FreezeThreads ran, for diagnostics
  ModuleIndex modules[kModuleIndexes];
  uint32_t moduleCount, nextModule;  // the oldest is replaced when all are taken
  // Slots a detour may still run after a shutdown that froze no thread: kept, blocks and all,
  // across the shutdown until the next freeze moves any thread out of them.
  HookRecord buried[kBuriedRecords];
  uint32_t buriedCount;
  CodeBlock* buriedBlocks;
};

// How the engine changes the protection of the bytes it patches: tests put a failing one in its
// place. Gives back the one it replaces.
using VirtualProtectFn = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD, PDWORD);
VirtualProtectFn SetEngineProtect(VirtualProtectFn protect);

void TakeEngineLock();
void ReleaseEngineLock();
bool EngineLockTaken();

struct EngineLockGuard {
  EngineLockGuard() { TakeEngineLock(); }
  ~EngineLockGuard() { ReleaseEngineLock(); }
  EngineLockGuard(const EngineLockGuard&) = delete;
  EngineLockGuard& operator=(const EngineLockGuard&) = delete;
};

// Record array in the private heap.
HookRecord* FindRecord(EngineState& engine, uintptr_t target);  // deleted records are not found
[[nodiscard]] bool AppendRecord(EngineState& engine, const HookRecord& r);  // false when it cannot grow
void RemoveRecord(EngineState& engine, HookRecord* r);  // moves the last record into its place, may shrink

// What the engine holds, read under its lock, for tests and diagnostics.
struct EngineFacts {
  bool initialized;
  uint32_t count, capacity;  // records, deleted ones whose slot is kept included
  uint32_t armed;
  uint32_t freezes;          // times threads were frozen
  uintptr_t newestBlock;     // the code block slots come from first, or 0
  uint32_t newestBlockUsed;  // its slots in use
  uint32_t buried;           // slots kept from an earlier run until a freeze
};
EngineFacts ReadEngineFacts();
// A copy of the record of the hook on `target`; false when there is none.
bool CopyHookRecord(const void* target, HookRecord* out);
