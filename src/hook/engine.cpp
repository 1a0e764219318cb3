// The engine's six operations: records, patching, and the freeze around every patch.
#include <windows.h>

#include <cstring>

#include "hook/code_block.h"
#include "hook/engine_state.h"
#include "hook/freeze.h"
#include "hook/function_body.h"
#include "hook/hook.h"
#include "hook/shadow_stack.h"
#include "hook/trampoline.h"

namespace {

EngineState engine{};
VirtualProtectFn protect = &VirtualProtect;

constexpr DWORD kExecuteMask = 0xF0;
constexpr DWORD kReadableMask = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr size_t kSourceWindow = 32;  // a few instructions up to the first 5 bytes and beyond

bool IsExecutable(uintptr_t address) {
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(reinterpret_cast<void*>(address), &mbi, sizeof mbi)) return false;
  return mbi.State == MEM_COMMIT && (mbi.Protect & kExecuteMask) && !(mbi.Protect & PAGE_GUARD);
}

// How many bytes from `address` (up to `wanted`) lie in committed, readable memory.
size_t ReadableBytes(uintptr_t address, size_t wanted) {
  size_t have = 0;
  while (have < wanted) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(reinterpret_cast<void*>(address + have), &mbi, sizeof mbi)) break;
    if (mbi.State != MEM_COMMIT || !(mbi.Protect & kReadableMask) || (mbi.Protect & PAGE_GUARD))
      break;
    have = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize - address;
  }
  return have < wanted ? have : wanted;
}

uintptr_t PatchStart(const HookRecord& r) { return r.patchedAbove ? r.target - 5 : r.target; }
size_t PatchSize(const HookRecord& r) { return r.patchedAbove ? 7 : 5; }

// The bytes a hook changes or runs from its trampoline instead: its patch and its copy.
struct TakenBytes {
  uintptr_t begin, end;
};
TakenBytes Taken(const HookRecord& r) {
  const uintptr_t patchEnd = PatchStart(r) + PatchSize(r);
  const uintptr_t copyEnd = r.target + r.copied;
  return {PatchStart(r), patchEnd > copyEnd ? patchEnd : copyEnd};
}

// Two hooks on the same bytes would overwrite each other's patch, or one would copy the other's.
bool OverlapsAnotherHook(const HookRecord& r) {
  const TakenBytes mine = Taken(r);
  for (uint32_t i = 0; i < engine.count; ++i) {
    const TakenBytes theirs = Taken(engine.records[i]);
    if (mine.begin < theirs.end && theirs.begin < mine.end) return true;
  }
  return false;
}

uint32_t TimeStamp(const ImageView& image) {
  uint32_t lfanew = 0, stamp = 0;
  if (image.size >= 0x40) std::memcpy(&lfanew, image.base + 0x3C, 4);
  if (uint64_t(lfanew) + 12 <= image.size) std::memcpy(&stamp, image.base + lfanew + 8, 4);
  return stamp;
}

// The index of the image's directory: one walk of it for the first hook in a module, none for the
// next ones. Null when it cannot be kept (the check then walks the directory).
const DirectoryIndex* IndexOf(const ImageView& image) {
  const auto base = reinterpret_cast<uintptr_t>(image.base);
  const uint32_t stamp = TimeStamp(image);
  for (uint32_t i = 0; i < engine.moduleCount; ++i) {
    const ModuleIndex& m = engine.modules[i];
    if (m.base == base && m.size == image.size && m.stamp == stamp) return &m.index;
  }
  const uint32_t entries = DirectoryEntries(image);
  if (!entries) return nullptr;
  auto* room = static_cast<ChainedPart*>(HeapAlloc(engine.heap, 0, sizeof(ChainedPart) * entries));
  if (!room) return nullptr;
  const DirectoryIndex index = IndexDirectory(image, room);
  ChainedPart* parts = room;
  if (!index.partCount) {
    HeapFree(engine.heap, 0, room);
    parts = nullptr;
  } else if (void* kept = HeapReAlloc(engine.heap, 0, room, sizeof(ChainedPart) * index.partCount)) {
    parts = static_cast<ChainedPart*>(kept);
  }
  const uint32_t slot =
      engine.moduleCount < kModuleIndexes ? engine.moduleCount++ : engine.nextModule++ % kModuleIndexes;
  ModuleIndex& m = engine.modules[slot];
  if (m.parts) HeapFree(engine.heap, 0, m.parts);
  m = ModuleIndex{base, uint32_t(image.size), stamp, index, parts};
  m.index.parts = parts;
  return &m.index;
}

// Where the target lies in a loaded image with an exception directory, the function's own code
// must not branch into the patched bytes.
bool BranchesIntoPatch(const HookRecord& r) {
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(reinterpret_cast<void*>(r.target), &mbi, sizeof mbi) || mbi.Type != MEM_IMAGE)
    return false;
  const auto base = reinterpret_cast<uintptr_t>(mbi.AllocationBase);
  ImageView image{reinterpret_cast<const uint8_t*>(base), ReadableBytes(base, 4096)};
  const uint32_t size = ImageSize(image);
  if (!size || ReadableBytes(base, size) != size) return false;
  image.size = size;
  PatchSpan span;
  span.target = uint32_t(r.target - base);
  span.copiedEnd = span.target + r.copied;
  span.patchBegin = uint32_t(PatchStart(r) - base);
  span.patchEnd = uint32_t(span.patchBegin + PatchSize(r));
  return CheckFunctionBody(image, span, IndexOf(image)) == BodyCheck::BranchesIntoPatch;
}

HookStatus Patch(HookRecord& r, bool arm) {
  auto* start = reinterpret_cast<uint8_t*>(PatchStart(r));
  const size_t size = PatchSize(r);
  DWORD former;
  if (!protect(start, size, PAGE_EXECUTE_READWRITE, &former)) return HookMemoryProtection;
  if (arm) {
    uint8_t bytes[7];
    bytes[0] = 0xE9;
    const int32_t offset = int32_t(int64_t(r.relay) - int64_t(PatchStart(r) + 5));
    std::memcpy(bytes + 1, &offset, 4);
    bytes[5] = 0xEB;  // short jump back from the target to the patch above it
    bytes[6] = 0xF9;
    std::memcpy(start, bytes, size);
  } else {
    std::memcpy(start, r.savedBytes, size);
  }
  DWORD unused;
  protect(start, size, former, &unused);
  FlushInstructionCache(GetCurrentProcess(), start, size);
  r.armed = arm;
  if (arm) r.everArmed = 1;
  return HookOk;
}

// An armed hook jumps into its detour's module: a counted reference keeps that library loaded
// for as long as the patch is in place, even when its owner cannot take the patch out. Taken
// and given back only while no thread is frozen (the loader has a lock of its own).
void HoldDetourModule(HookRecord& r) {
  if (r.detourModule) return;
  HMODULE module = nullptr;
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCSTR>(r.detour), &module))
    r.detourModule = reinterpret_cast<uintptr_t>(module);
}

// Gives back the references of hooks that are not armed.
void ReleaseDisarmedModules() {
  for (uint32_t i = 0; i < engine.count; ++i) {
    HookRecord& r = engine.records[i];
    if (r.armed || !r.detourModule) continue;
    FreeLibrary(reinterpret_cast<HMODULE>(r.detourModule));
    r.detourModule = 0;
  }
}

// Every thread frozen and any in a buried slot moved out: the buried blocks go before the thaw.
void Thaw(ThreadList* threads, bool moved) {
  if (moved) {
    ReleaseAllCodeBlocks(&engine.buriedBlocks);
    engine.buriedCount = 0;
  }
  ThawThreads(threads);
}

HookStatus SetOne(void* target, bool arm) {
  HookRecord* r = FindRecord(engine, reinterpret_cast<uintptr_t>(target));
  if (!r) return HookNotFound;
  if (bool(r->armed) == arm) return arm ? HookAlreadyArmed : HookAlreadyDisarmed;
  if (arm) HoldDetourModule(*r);
  // Disarming one hook moves no thread: one inside the trampoline finishes the copied
  // instructions and continues in the restored target; the slot stays valid.
  ThreadList threads;
  const bool moved = FreezeThreads(engine, &threads, r, FreezeFor::Arming);
  const HookStatus status = moved ? Patch(*r, arm) : HookThreadNotMoved;
  Thaw(&threads, moved);
  ReleaseDisarmedModules();
  return status;
}

HookStatus SetAll(bool arm) {
  bool any = false;
  for (uint32_t i = 0; i < engine.count; ++i) {
    HookRecord& r = engine.records[i];
    if (bool(r.armed) == arm || r.retired) continue;
    any = true;
    if (arm) HoldDetourModule(r);
  }
  if (!any) return HookOk;
  ThreadList threads;
  // A thread that cannot leave the bytes about to change keeps them as they are. Disarming
  // moves threads only out of relays and filler above a target, which stay valid code until
  // their slot is released: those hooks are disarmed all the same.
  const bool moved = FreezeThreads(engine, &threads, nullptr, arm ? FreezeFor::Arming : FreezeFor::Disarming);
  HookStatus status = moved || !arm ? HookOk : HookThreadNotMoved;
  for (uint32_t i = 0; i < engine.count && status == HookOk; ++i) {
    HookRecord& r = engine.records[i];
    if (bool(r.armed) != arm && !r.retired) status = Patch(r, arm);
  }
  Thaw(&threads, moved);
  ReleaseDisarmedModules();
  return status == HookOk && !moved ? HookThreadNotMoved : status;
}

// Gives back the slots of deleted hooks under one freeze that moves any thread in them back to
// its target first; a slot whose thread could not be moved stays with its record.
void ReleaseRetiredSlots() {
  bool any = false;
  for (uint32_t i = 0; i < engine.count && !any; ++i) any = engine.records[i].retired;
  if (!any) return;
  ThreadList threads;
  // Given back before the thaw: a detour let go after it could enter a slot already checked.
  const bool moved = FreezeThreads(engine, &threads, nullptr, FreezeFor::Releasing);
  if (moved) {
    for (uint32_t i = 0; i < engine.count;) {
      HookRecord& r = engine.records[i];
      if (!r.retired) {
        ++i;
        continue;
      }
      ReleaseCodeSlot(&engine.blocks, reinterpret_cast<uint8_t*>(r.trampoline));
      RemoveRecord(engine, &r);  // the last record moves into its place
    }
  }
  Thaw(&threads, moved);
}

}  // namespace

HookStatus HookInitialize() {
  EngineLockGuard lock;
  if (engine.heap) return HookAlreadyInitialized;
  engine.heap = HeapCreate(0, 0, 0);
  ForgetShadowStackPolicy();
  return engine.heap ? HookOk : HookMemoryAllocation;
}

HookStatus HookShutdown() {
  EngineLockGuard lock;
  if (!engine.heap) return HookNotInitialized;
  uint32_t armed = 0, reachable = 0;
  for (uint32_t i = 0; i < engine.count; ++i) {
    const HookRecord& r = engine.records[i];
    armed += r.armed;
    reachable += r.everArmed || r.threadLeft;
  }
  if (!armed && reachable && engine.buriedCount + reachable <= kBuriedRecords) {
    // Nothing to patch: the slots a detour may still run stay, with their blocks, for the next
    // freeze to check (the next start's arm) instead of one of their own now.
    for (uint32_t i = 0; i < engine.count; ++i) {
      const HookRecord& r = engine.records[i];
      if (r.everArmed || r.threadLeft) engine.buried[engine.buriedCount++] = r;
    }
    CodeBlock** last = &engine.buriedBlocks;
    while (*last) last = &(*last)->next;
    *last = engine.blocks;
    engine.blocks = nullptr;
  } else if (reachable) {
    // One freeze takes out the patches and checks every slot a detour may still run; the slots
    // go before the thaw.
    ThreadList threads;
    const bool moved = FreezeThreads(engine, &threads, nullptr, FreezeFor::Disarming);
    HookStatus status = HookOk;
    for (uint32_t i = 0; i < engine.count && status == HookOk; ++i)
      if (engine.records[i].armed) status = Patch(engine.records[i], false);
    if (status == HookOk && moved) ReleaseAllCodeBlocks(&engine.blocks);
    Thaw(&threads, moved);
    ReleaseDisarmedModules();
    if (status != HookOk) return status;
    if (!moved) return HookThreadNotMoved;
  }
  ReleaseAllCodeBlocks(&engine.blocks);
  if (engine.records) HeapFree(engine.heap, 0, engine.records);
  for (uint32_t i = 0; i < engine.moduleCount; ++i)
    if (engine.modules[i].parts) HeapFree(engine.heap, 0, engine.modules[i].parts);
  HeapDestroy(engine.heap);
  const uint32_t buriedCount = engine.buriedCount;
  CodeBlock* const buriedBlocks = engine.buriedBlocks;
  HookRecord buried[kBuriedRecords];
  std::memcpy(buried, engine.buried, sizeof buried);
  engine = EngineState{};
  std::memcpy(engine.buried, buried, sizeof buried);
  engine.buriedCount = buriedCount;
  engine.buriedBlocks = buriedBlocks;
  return HookOk;
}

HookStatus HookAdd(void* targetPtr, void* detourPtr, void** trampolineOut) {
  EngineLockGuard lock;
  if (!engine.heap) return HookNotInitialized;
  const auto target = reinterpret_cast<uintptr_t>(targetPtr);
  const auto detour = reinterpret_cast<uintptr_t>(detourPtr);
  if (!IsExecutable(target) || !IsExecutable(detour)) return HookNotExecutable;
  if (FindRecord(engine, target)) return HookAlreadyExists;
  ReleaseRetiredSlots();  // before their bytes count as another hook's or a slot is taken again
  uint8_t* slot = TakeCodeSlot(&engine.blocks, target);
  if (!slot) return HookMemoryAllocation;

  TrampolineSource src;
  src.target = target;
  src.code = reinterpret_cast<const uint8_t*>(target);
  src.readable = ReadableBytes(target, kSourceWindow);
  src.above = nullptr;
  src.shadowStack = ShadowStacksEnforced();
  if (target > 5 && IsExecutable(target - 5) && ReadableBytes(target - 5, 5) == 5)
    src.above = reinterpret_cast<const uint8_t*>(target - 5);

  HookRecord r{};
  r.target = target;
  r.detour = detour;
  if (!BuildTrampoline(src, slot, reinterpret_cast<uintptr_t>(slot), detour, &r)) {
    // Say so when it is the shadow stack alone that refuses the target.
    src.shadowStack = false;
    HookRecord unused{};
    const bool relocatable =
        BuildTrampoline(src, slot, reinterpret_cast<uintptr_t>(slot), detour, &unused);
    ReleaseCodeSlot(&engine.blocks, slot);
    return relocatable ? HookShadowStackCall : HookUnsupportedFunction;
  }
  const HookStatus refused = OverlapsAnotherHook(r)  ? HookPatchOverlap
                             : BranchesIntoPatch(r) ? HookBranchIntoPatch
                                                    : HookOk;
  if (refused != HookOk) {
    ReleaseCodeSlot(&engine.blocks, slot);
    return refused;
  }
  std::memcpy(r.savedBytes, reinterpret_cast<const void*>(PatchStart(r)), PatchSize(r));
  if (!AppendRecord(engine, r)) {
    ReleaseCodeSlot(&engine.blocks, slot);
    return HookMemoryAllocation;
  }
  FlushInstructionCache(GetCurrentProcess(), slot, kSlotSize);
  if (trampolineOut) *trampolineOut = slot;
  return HookOk;
}

HookStatus HookDelete(void* target) {
  EngineLockGuard lock;
  if (!engine.heap) return HookNotInitialized;
  HookRecord* r = FindRecord(engine, reinterpret_cast<uintptr_t>(target));
  if (!r) return HookNotFound;
  if (r->armed || r->threadLeft) {
    // Threads in the slot go back to the target and the slot goes before the thaw. The patch
    // comes out either way (threads already moved stand in the target); one that could not be
    // moved keeps the slot, and so the record.
    ThreadList threads;
    const bool moved = FreezeThreads(engine, &threads, r, FreezeFor::Disarming);
    const HookStatus status = r->armed ? Patch(*r, false) : HookOk;
    const auto module = reinterpret_cast<HMODULE>(r->detourModule);
    const bool release = status == HookOk && moved;
    if (release) {
      ReleaseCodeSlot(&engine.blocks, reinterpret_cast<uint8_t*>(r->trampoline));
      RemoveRecord(engine, r);
    }
    Thaw(&threads, moved);
    if (release && module) FreeLibrary(module);
    ReleaseDisarmedModules();
    if (status != HookOk) return status;
    return moved ? HookOk : HookThreadNotMoved;
  }
  if (r->everArmed) {
    // A detour running since the disarm may yet call into the slot: it goes at the next freeze
    // that checks it (the shutdown's, or before another hook is made).
    r->retired = 1;
    return HookOk;
  }
  ReleaseCodeSlot(&engine.blocks, reinterpret_cast<uint8_t*>(r->trampoline));
  RemoveRecord(engine, r);
  return HookOk;
}

HookStatus HookArm(void* target) {
  EngineLockGuard lock;
  if (!engine.heap) return HookNotInitialized;
  return target ? SetOne(target, true) : SetAll(true);
}

HookStatus HookDisarm(void* target) {
  EngineLockGuard lock;
  if (!engine.heap) return HookNotInitialized;
  return target ? SetOne(target, false) : SetAll(false);
}

VirtualProtectFn SetEngineProtect(VirtualProtectFn set) {
  EngineLockGuard lock;
  const VirtualProtectFn former = protect;
  protect = set;
  return former;
}

EngineFacts ReadEngineFacts() {
  EngineLockGuard lock;
  EngineFacts facts{};
  facts.initialized = engine.heap != nullptr;
  facts.count = engine.count;
  facts.capacity = engine.capacity;
  for (uint32_t i = 0; i < engine.count; ++i) facts.armed += engine.records[i].armed;
  facts.freezes = engine.freezes;
  facts.newestBlock = reinterpret_cast<uintptr_t>(engine.blocks);
  facts.newestBlockUsed = engine.blocks ? engine.blocks->used : 0;
  facts.buried = engine.buriedCount;
  return facts;
}

bool CopyHookRecord(const void* target, HookRecord* out) {
  EngineLockGuard lock;
  const HookRecord* r = engine.heap ? FindRecord(engine, reinterpret_cast<uintptr_t>(target)) : nullptr;
  if (r) *out = *r;
  return r != nullptr;
}
