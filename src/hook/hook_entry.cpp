#include "hook/hook_entry.h"

// Read by the entries (hook_entry_stub.S): one row of three addresses each.
struct HookEntryRow {
  void* filter;
  void* detour;
  void* trampoline;
};
extern "C" HookEntryRow HookEntryTable[kHookEntries];
extern "C" void* const HookEntryStubs[kHookEntries];  // the entries' code
HookEntryRow HookEntryTable[kHookEntries] = {};

void* UseHookEntry(unsigned index, HookEntryFilter filter, void* detour) {
  if (index >= kHookEntries || !filter || !detour) return nullptr;
  HookEntryTable[index] = {reinterpret_cast<void*>(filter), detour, nullptr};
  return HookEntryStubs[index];
}

void SetHookEntryTrampoline(unsigned index, void* trampoline) {
  if (index < kHookEntries) HookEntryTable[index].trampoline = trampoline;
}

void* HookEntryTrampoline(unsigned index) {
  return index < kHookEntries ? HookEntryTable[index].trampoline : nullptr;
}
