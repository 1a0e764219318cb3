#include "hook/freeze.h"

#include <tlhelp32.h>

#include <cstring>

#include "hook/engine_state.h"

namespace {

constexpr DWORD kThreadAccess =
    THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT | THREAD_QUERY_INFORMATION;
constexpr uint32_t kInitialThreads = 128;

bool AddThread(ThreadList* list, DWORD id) {
  if (list->count == list->capacity) {
    const uint32_t grown = list->capacity ? list->capacity * 2 : kInitialThreads;
    const size_t bytes = sizeof(FrozenThread) * grown;
    void* p = list->threads ? HeapReAlloc(list->heap, 0, list->threads, bytes)
                            : HeapAlloc(list->heap, 0, bytes);
    if (!p) return false;
    list->threads = static_cast<FrozenThread*>(p);
    list->capacity = grown;
  }
  list->threads[list->count++] = {id, nullptr};
  return true;
}

// The system's process list, each process followed by its threads, as the native query gives it.
constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kInfoLengthMismatch = LONG(0xC0000004);
constexpr size_t kProcessNext = 0, kProcessThreads = 4, kProcessId = 0x50, kProcessSize = 0x100;
constexpr size_t kThreadSize = 0x50, kThreadClientThread = 0x30;
using QuerySystemFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

size_t Read(const uint8_t* at, size_t bytes) {
  uint64_t v = 0;
  memcpy(&v, at, bytes);
  return size_t(v);
}

// One query for the whole list, in the engine's heap: some tenths of a millisecond where the
// tool-help snapshot takes milliseconds. False when it cannot be had; the snapshot is used then.
bool ListOtherThreadsQuickly(ThreadList* list) {
  static const auto query = reinterpret_cast<QuerySystemFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return false;
  ULONG size = 64 * 1024, filled = 0;
  uint8_t* buffer = nullptr;
  LONG status = kInfoLengthMismatch;
  for (int tries = 0; tries < 4 && status == kInfoLengthMismatch; ++tries) {
    if (buffer) HeapFree(list->heap, 0, buffer);
    buffer = static_cast<uint8_t*>(HeapAlloc(list->heap, 0, size));
    if (!buffer) return false;
    ULONG needed = 0;
    status = query(kSystemProcessInformation, buffer, size, &needed);
    filled = needed < size ? needed : size;
    size = (needed > size ? needed : size * 2) + 16 * 1024;  // threads come and go meanwhile
  }
  bool found = false;
  if (status == 0) {
    const size_t self = GetCurrentProcessId(), me = GetCurrentThreadId();
    for (size_t at = 0; at + kProcessSize <= filled;) {
      const uint8_t* process = buffer + at;
      const size_t threads = Read(process + kProcessThreads, 4);
      if (Read(process + kProcessId, 8) == self) {
        if (threads > (filled - at - kProcessSize) / kThreadSize) break;  // cut short: not found
        found = true;
        for (size_t t = 0; t < threads; ++t) {
          const size_t id = Read(process + kProcessSize + t * kThreadSize + kThreadClientThread, 8);
          if (id != me && !AddThread(list, DWORD(id))) break;
        }
        break;
      }
      const size_t next = Read(process + kProcessNext, 4);
      if (!next) break;
      at += next;
    }
  }
  HeapFree(list->heap, 0, buffer);
  return found;
}

// Gathered before any thread is suspended: the snapshot uses the process heap.
void ListOtherThreads(ThreadList* list) {
  if (ListOtherThreadsQuickly(list)) return;
  list->count = 0;
  const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return;
  const DWORD self = GetCurrentProcessId(), me = GetCurrentThreadId();
  THREADENTRY32 te;
  te.dwSize = sizeof te;
  for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
    const bool hasOwner = te.dwSize >= FIELD_OFFSET(THREADENTRY32, th32OwnerProcessID) +
                                           sizeof te.th32OwnerProcessID;
    if (hasOwner && te.th32OwnerProcessID == self && te.th32ThreadID != me &&
        !AddThread(list, te.th32ThreadID))
      break;
    te.dwSize = sizeof te;
  }
  CloseHandle(snap);
}

bool Concerns(const HookRecord& r, FreezeFor what) {
  switch (what) {
    case FreezeFor::Arming:
      return !r.armed && !r.retired;
    case FreezeFor::Disarming:
      return r.armed || r.threadLeft || r.retired;
    case FreezeFor::Releasing:
      return r.retired;
  }
  return false;
}

bool MapForScope(const EngineState& engine, const HookRecord* scope, FreezeFor what, ThreadPlace* place) {
  // Out of a buried slot first: back in its target, which may be about to change again.
  bool buried = false;
  for (uint32_t i = 0; i < engine.buriedCount && !buried; ++i)
    buried = MapInstructionPointer(engine.buried[i], false, place);
  const bool arming = what == FreezeFor::Arming;
  if (scope) return ((!arming || !scope->armed) && MapInstructionPointer(*scope, arming, place)) || buried;
  for (uint32_t i = 0; i < engine.count; ++i) {
    const HookRecord& r = engine.records[i];
    if (Concerns(r, what) && MapInstructionPointer(r, arming, place)) return true;
  }
  return buried;
}

void NoteThreadsLeft(EngineState& engine, HookRecord* scope) {
  if (scope) {
    scope->threadLeft = 1;
    return;
  }
  for (uint32_t i = 0; i < engine.count; ++i) engine.records[i].threadLeft = 1;
}

SetThreadContextFn setContext = &SetThreadContext;

}  // namespace

SetThreadContextFn SetFreezeSetContext(SetThreadContextFn set) {
  const SetThreadContextFn former = setContext;
  setContext = set;
  return former;
}

bool FreezeThreads(EngineState& engine, ThreadList* list, HookRecord* scope, FreezeFor what) {
  list->heap = engine.heap;
  list->threads = nullptr;
  list->count = list->capacity = 0;
  ++engine.freezes;
  ListOtherThreads(list);
  // From here on: no process heap, no loader, nothing that may throw.
  // Suspension is asynchronous: ask every thread first so they stop together, then read each
  // context, which waits for that thread to have stopped.
  for (uint32_t i = 0; i < list->count; ++i) {
    FrozenThread& t = list->threads[i];
    t.handle = OpenThread(kThreadAccess, FALSE, t.id);
    if (t.handle && SuspendThread(t.handle) == DWORD(-1)) {  // not suspended: never resumed
      CloseHandle(t.handle);
      t.handle = nullptr;
    }
  }
  bool allMoved = true;
  for (uint32_t i = 0; i < list->count; ++i) {
    const HANDLE h = list->threads[i].handle;
    if (!h) continue;
    // The whole integer context is read and written back: Wine 8 mangles a thread whose
    // context is written back with only CONTEXT_CONTROL.
    alignas(16) CONTEXT ctx;
    ctx.ContextFlags = CONTEXT_FULL;
    if (!GetThreadContext(h, &ctx)) continue;
    ThreadPlace place{ctx.Rip, ctx.Rsp};
    if (MapForScope(engine, scope, what, &place)) {
      ctx.Rip = place.ip;
      ctx.Rsp = place.sp;
      // Refused, for one, where shadow stacks check the instruction pointers a context sets.
      if (!setContext(h, &ctx)) allMoved = false;
    }
  }
  if (!allMoved) NoteThreadsLeft(engine, scope);
  return allMoved;
}

void ThawThreads(ThreadList* list) {
  for (uint32_t i = 0; i < list->count; ++i) {
    const HANDLE h = list->threads[i].handle;
    if (!h) continue;
    ResumeThread(h);
    CloseHandle(h);
  }
  if (list->threads) HeapFree(list->heap, 0, list->threads);
  list->threads = nullptr;
  list->count = list->capacity = 0;
}
