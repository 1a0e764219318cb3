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
  for (uint32_t i = 0; i < Engine.count; ++i) {
    const TakenBytes theirs = Taken(Engine.records[i]);
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
  for (uint32_t i = 0; i < Engine.moduleCount; ++i) {
    const ModuleIndex& m = Engine.modules[i];
    if (m.base == base && m.size == image.size && m.stamp == stamp) return &m.index;
  }
  const uint32_t entries = DirectoryEntries(image);
  if (!entries) return nullptr;
  auto* room = static_cast<ChainedPart*>(HeapAlloc(Engine.heap, 0, sizeof(ChainedPart) * entries));
  if (!room) return nullptr;
  const DirectoryIndex index = IndexDirectory(image, room);
  ChainedPart* parts = room;
  if (!index.partCount) {
    HeapFree(Engine.heap, 0, room);
    parts = nullptr;
  } else if (void* kept = HeapReAlloc(Engine.heap, 0, room, sizeof(ChainedPart) * index.partCount)) {
    parts = static_cast<ChainedPart*>(kept);
  }
  const uint32_t slot =
      Engine.moduleCount < kModuleIndexes ? Engine.moduleCount++ : Engine.nextModule++ % kModuleIndexes;
  ModuleIndex& m = Engine.modules[slot];
  if (m.parts) HeapFree(Engine.heap, 0, m.parts);
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
  if (!EngineProtect(start, size, PAGE_EXECUTE_READWRITE, &former)) return HookMemoryProtection;
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
  EngineProtect(start, size, former, &unused);
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
  for (uint32_t i = 0; i < Engine.count; ++i) {
    HookRecord& r = Engine.records[i];
    if (r.armed || !r.detourModule) continue;
    FreeLibrary(reinterpret_cast<HMODULE>(r.detourModule));
    r.detourModule = 0;
  }
}

HookStatus SetOne(void* target, bool arm) {
  HookRecord* r = FindRecord(reinterpret_cast<uintptr_t>(target));
  if (!r) return HookNotFound;
  if (bool(r->armed) == arm) return arm ? HookAlreadyArmed : HookAlreadyDisarmed;
  if (arm) HoldDetourModule(*r);
  // Disarming one hook moves no thread: one inside the trampoline finishes the copied
  // instructions and continues in the restored target; the slot stays valid.
  ThreadList threads;
  const bool moved = FreezeThreads(&threads, r, FreezeFor::Arming);
  const HookStatus status = moved ? Patch(*r, arm) : HookThreadNotMoved;
  ThawThreads(&threads);
  ReleaseDisarmedModules();
  return status;
}

HookStatus SetAll(bool arm) {
  bool any = false;
  for (uint32_t i = 0; i < Engine.count; ++i) {
    HookRecord& r = Engine.records[i];
    if (bool(r.armed) == arm || r.retired) continue;
    any = true;
    if (arm) HoldDetourModule(r);
  }
  if (!any) return HookOk;
  ThreadList threads;
  // A thread that cannot leave the bytes about to change keeps them as they are. Disarming
  // moves threads only out of relays and filler above a target, which stay valid code until
  // their slot is released: those hooks are disarmed all the same.
  const bool moved = FreezeThreads(&threads, nullptr, arm ? FreezeFor::Arming : FreezeFor::Disarming);
  HookStatus status = moved || !arm ? HookOk : HookThreadNotMoved;
  for (uint32_t i = 0; i < Engine.count && status == HookOk; ++i) {
    HookRecord& r = Engine.records[i];
    if (bool(r.armed) != arm && !r.retired) status = Patch(r, arm);
  }
  ThawThreads(&threads);
  ReleaseDisarmedModules();
  return status == HookOk && !moved ? HookThreadNotMoved : status;
}

// Gives back the slots of deleted hooks under one freeze that moves any thread in them back to
// its target first; a slot whose thread could not be moved stays with its record.
void ReleaseRetiredSlots() {
  bool any = false;
  for (uint32_t i = 0; i < Engine.count && !any; ++i) any = Engine.records[i].retired;
  if (!any) return;
  ThreadList threads;
  // Given back before the thaw: a detour let go after it could enter a slot already checked.
  if (FreezeThreads(&threads, nullptr, FreezeFor::Releasing)) {
    for (uint32_t i = 0; i < Engine.count;) {
      HookRecord& r = Engine.records[i];
      if (!r.retired) {
        ++i;
        continue;
      }
      ReleaseCodeSlot(reinterpret_cast<uint8_t*>(r.trampoline));
      RemoveRecord(&r);  // the last record moves into its place
    }
  }
  ThawThreads(&threads);
}

}  // namespace

HookStatus HookInitialize() {
  EngineLockGuard lock;
  if (Engine.heap) return HookAlreadyInitialized;
  Engine.heap = HeapCreate(0, 0, 0);
  ForgetShadowStackPolicy();
  return Engine.heap ? HookOk : HookMemoryAllocation;
}

HookStatus HookShutdown() {
  EngineLockGuard lock;
  if (!Engine.heap) return HookNotInitialized;
  bool anyReachable = false;
  for (uint32_t i = 0; i < Engine.count; ++i)
    anyReachable |= Engine.records[i].everArmed || Engine.records[i].threadLeft;
  if (anyReachable) {
    // One freeze takes out the patches and checks every slot a detour may still run; the slots
    // go before the thaw.
    ThreadList threads;
    const bool moved = FreezeThreads(&threads, nullptr, FreezeFor::Disarming);
    HookStatus status = HookOk;
    for (uint32_t i = 0; i < Engine.count && status == HookOk; ++i)
      if (Engine.records[i].armed) status = Patch(Engine.records[i], false);
    if (status == HookOk && moved) ReleaseAllCodeBlocks();
    ThawThreads(&threads);
    ReleaseDisarmedModules();
    if (status != HookOk) return status;
    if (!moved) return HookThreadNotMoved;
  }
  ReleaseAllCodeBlocks();
  if (Engine.records) HeapFree(Engine.heap, 0, Engine.records);
  for (uint32_t i = 0; i < Engine.moduleCount; ++i)
    if (Engine.modules[i].parts) HeapFree(Engine.heap, 0, Engine.modules[i].parts);
  HeapDestroy(Engine.heap);
  Engine = EngineState{};
  return HookOk;
}

HookStatus HookAdd(void* targetPtr, void* detourPtr, void** trampolineOut) {
  EngineLockGuard lock;
  if (!Engine.heap) return HookNotInitialized;
  const auto target = reinterpret_cast<uintptr_t>(targetPtr);
  const auto detour = reinterpret_cast<uintptr_t>(detourPtr);
  if (!IsExecutable(target) || !IsExecutable(detour)) return HookNotExecutable;
  if (FindRecord(target)) return HookAlreadyExists;
  ReleaseRetiredSlots();  // before their bytes count as another hook's or a slot is taken again
  uint8_t* slot = TakeCodeSlot(target);
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
    ReleaseCodeSlot(slot);
    return relocatable ? HookShadowStackCall : HookUnsupportedFunction;
  }
  const HookStatus refused = OverlapsAnotherHook(r)  ? HookPatchOverlap
                             : BranchesIntoPatch(r) ? HookBranchIntoPatch
                                                    : HookOk;
  if (refused != HookOk) {
    ReleaseCodeSlot(slot);
    return refused;
  }
  std::memcpy(r.savedBytes, reinterpret_cast<const void*>(PatchStart(r)), PatchSize(r));
  if (!AppendRecord(r)) {
    ReleaseCodeSlot(slot);
    return HookMemoryAllocation;
  }
  FlushInstructionCache(GetCurrentProcess(), slot, kSlotSize);
  if (trampolineOut) *trampolineOut = slot;
  return HookOk;
}

HookStatus HookDelete(void* target) {
  EngineLockGuard lock;
  if (!Engine.heap) return HookNotInitialized;
  HookRecord* r = FindRecord(reinterpret_cast<uintptr_t>(target));
  if (!r) return HookNotFound;
  if (r->armed || r->threadLeft) {
    // Threads in the slot go back to the target and the slot goes before the thaw. The patch
    // comes out either way (threads already moved stand in the target); one that could not be
    // moved keeps the slot, and so the record.
    ThreadList threads;
    const bool moved = FreezeThreads(&threads, r, FreezeFor::Disarming);
    const HookStatus status = r->armed ? Patch(*r, false) : HookOk;
    const auto module = reinterpret_cast<HMODULE>(r->detourModule);
    const bool release = status == HookOk && moved;
    if (release) {
      ReleaseCodeSlot(reinterpret_cast<uint8_t*>(r->trampoline));
      RemoveRecord(r);
    }
    ThawThreads(&threads);
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
  ReleaseCodeSlot(reinterpret_cast<uint8_t*>(r->trampoline));
  RemoveRecord(r);
  return HookOk;
}

HookStatus HookArm(void* target) {
  EngineLockGuard lock;
  if (!Engine.heap) return HookNotInitialized;
  return target ? SetOne(target, true) : SetAll(true);
}

HookStatus HookDisarm(void* target) {
  EngineLockGuard lock;
  if (!Engine.heap) return HookNotInitialized;
  return target ? SetOne(target, false) : SetAll(false);
}
