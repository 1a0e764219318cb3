#include "hook/hook_entry.h"

#include <cstring>

// Read by the entries (hook_entry_stub.S): one row of three addresses each.
struct HookEntryRow {
  void* filter;
  void* detour;
  void* trampoline;
};
extern "C" HookEntryRow HookEntryTable[kHookEntries];
extern "C" void* const HookEntryStubs[kHookEntries];  // the entries' code
HookEntryRow HookEntryTable[kHookEntries] = {};

namespace {
// Above the four saved registers: the entry's return address, the caller's home space.
constexpr unsigned kToStackArguments = sizeof(HookEntryArgs) + 8 + 32;
}  // namespace

uint64_t HookEntryStackArgument(const HookEntryArgs* args, unsigned index) {
  uint64_t value = 0;
  if (index < 4) return args->reg[index];
  std::memcpy(&value, reinterpret_cast<const char*>(args) + kToStackArguments + 8 * (index - 4), 8);
  return value;
}

void* UseHookEntry(unsigned index, HookEntryFilter filter, void* detour) {
  if (index >= kHookEntries || !filter || !detour) return nullptr;
  HookEntryTable[index] = {reinterpret_cast<void*>(filter), detour, nullptr};
  return HookEntryStubs[index];
}

void SetHookEntryTrampoline(unsigned index, void* trampoline) {
  if (index < kHookEntries) HookEntryTable[index].trampoline = trampoline;
}
