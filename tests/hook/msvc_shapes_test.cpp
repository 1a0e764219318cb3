// The engine on functions with Microsoft's x64 prologue shapes and real unwind data (the
// msvc_shapes DLL): hooked and unhooked, a C++ exception thrown from the callee reaches the
// caller, and a stack walk from the callee gives the same frames, the detour's added.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "hook/hook.h"
#include "hook/shadow_stack.h"

extern "C" __declspec(dllimport) void ShapeSetCallee(int (*callee)(int));

namespace {

using ShapeFn = int (*)(int);

struct CalleeError {
  int value;
};

constexpr unsigned kMaxFrames = 62;
std::vector<void*> gWalk;
bool gThrow = false;
int gDetourCalls = 0;
ShapeFn gTrampoline = nullptr;

__attribute__((noinline)) int Callee(int x) {
  void* frames[kMaxFrames];
  const USHORT n = RtlCaptureStackBackTrace(0, kMaxFrames, frames, nullptr);
  gWalk.assign(frames, frames + n);
  if (gThrow) throw CalleeError{x};
  return x > 0 ? x - 1 : 0;
}

__attribute__((noinline)) int Detour(int x) {
  const int r = gTrampoline(x);
  ++gDetourCalls;  // after the call: the detour keeps a frame of its own
  return r;
}

// The caller: one call site for every run, so its return address is the same in each walk.
__attribute__((noinline)) int CallShape(ShapeFn fn, int x) {
  const int r = fn(x);
  asm volatile("" ::: "memory");
  return r;
}

struct ShapeRun {
  int result = 0;
  bool caught = false;
  std::vector<void*> walk, throwWalk;
};

__attribute__((noinline)) ShapeRun RunShape(ShapeFn fn, int x) {
  ShapeRun run;
  gThrow = false;
  run.result = CallShape(fn, x);
  run.walk = gWalk;
  gThrow = true;
  try {
    CallShape(fn, x);
  } catch (const CalleeError& e) {
    run.caught = e.value == x;
  }
  gThrow = false;
  run.throwWalk = gWalk;
  return run;
}

bool InFunction(void* pc, void* function) {
  DWORD64 base = 0;
  const RUNTIME_FUNCTION* f =
      RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(pc), &base, nullptr);
  return f && base + f->BeginAddress == reinterpret_cast<DWORD64>(function);
}

// `hooked` is `plain` with one frame in the detour added, up to the caller's frame (beyond it the
// test's own call sites differ).
void ExpectSameWalk(const std::vector<void*>& plain, const std::vector<void*>& hooked) {
  size_t j = 0;
  while (j < plain.size() && j < hooked.size() && plain[j] == hooked[j]) ++j;
  ASSERT_LT(j, hooked.size());
  EXPECT_TRUE(InFunction(hooked[j], reinterpret_cast<void*>(&Detour)))
      << "frame " << j << " of the hooked walk is " << hooked[j];
  bool callerSeen = false;
  for (size_t k = j; k < plain.size() && k + 1 < hooked.size() && !callerSeen; ++k) {
    EXPECT_EQ(plain[k], hooked[k + 1]) << "frame " << k;
    callerSeen = InFunction(plain[k], reinterpret_cast<void*>(&CallShape));
  }
  EXPECT_TRUE(callerSeen);
}

struct Shape {
  const char* name;
  int expected;        // from an argument of 5
  bool copiesACall;    // a call lies in the first five bytes
};

// The tail jump returns straight to the caller, so its shape adds nothing.
const Shape kShapes[] = {
    {"ShapeHomeSpace", 5, false},     {"ShapeRexPushes", 5, false}, {"ShapeSubCall", 5, true},
    {"ShapeSubCallImport", 5, true},  {"ShapeStackProbe", 5, false}, {"ShapeCookie", 5, false},
    {"ShapeFramePointer", 5, false},  {"ShapeTailJump", 4, false},
};

// The function's code in the DLL (a constant initialiser would give this program's jump stub).
ShapeFn Resolve(const char* name) {
  return reinterpret_cast<ShapeFn>(GetProcAddress(GetModuleHandleA("msvc_shapes.dll"), name));
}

class MsvcShapes : public ::testing::Test {
 protected:
  void SetUp() override {
    ShapeSetCallee(&Callee);
    ASSERT_EQ(HookInitialize(), HookOk);
    gDetourCalls = 0;
  }
  void TearDown() override {
    AssumeShadowStacks(-1);
    EXPECT_EQ(HookShutdown(), HookOk);
  }
};

// Hooked, the shape gives the same results, exceptions and stack walks as plain.
void ExpectHookedAsPlain(const Shape& shape) {
    const ShapeFn fn = Resolve(shape.name);
    ASSERT_NE(fn, nullptr);
    const ShapeRun plain = RunShape(fn, 5);
    EXPECT_EQ(plain.result, shape.expected);
    EXPECT_TRUE(plain.caught);

    void* tramp = nullptr;
    void* target = reinterpret_cast<void*>(fn);
    ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
    gTrampoline = reinterpret_cast<ShapeFn>(tramp);
    ASSERT_EQ(HookArm(target), HookOk);
    const int detourCalls = gDetourCalls;
    const ShapeRun hooked = RunShape(fn, 5);
    EXPECT_EQ(gDetourCalls, detourCalls + 1);  // the throwing run never got back to the detour
    EXPECT_EQ(hooked.result, shape.expected);
    EXPECT_TRUE(hooked.caught);
    ExpectSameWalk(plain.walk, hooked.walk);
    ExpectSameWalk(plain.throwWalk, hooked.throwWalk);

    // Disarmed, the trampoline still runs the function with its unwinding intact.
    ASSERT_EQ(HookDisarm(target), HookOk);
    gThrow = true;
    bool caught = false;
    try {
      CallShape(gTrampoline, 7);
    } catch (const CalleeError& e) {
      caught = e.value == 7;
    }
    gThrow = false;
    EXPECT_TRUE(caught);
    EXPECT_EQ(HookDelete(target), HookOk);
    EXPECT_EQ(CallShape(fn, 5), shape.expected);  // the original bytes are back
}

TEST_F(MsvcShapes, ExceptionsAndStackWalksThroughEveryShapeAreTheSameHooked) {
  AssumeShadowStacks(0);
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.name);
    ExpectHookedAsPlain(shape);
  }
}

// A relocated call would return through an address the shadow stack does not hold: under
// shadow stacks such a shape is refused and stays as it is, every other one hooks as before.
TEST_F(MsvcShapes, UnderShadowStacksAShapeThatCopiesACallIsRefused) {
  AssumeShadowStacks(1);
  int refused = 0;
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.name);
    if (!shape.copiesACall) {
      ExpectHookedAsPlain(shape);
      continue;
    }
    const ShapeFn fn = Resolve(shape.name);
    void* target = reinterpret_cast<void*>(fn);
    void* tramp = nullptr;
    EXPECT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookShadowStackCall);
    EXPECT_EQ(HookArm(target), HookNotFound);
    const int detourCalls = gDetourCalls;
    EXPECT_EQ(CallShape(fn, 5), shape.expected);
    EXPECT_EQ(gDetourCalls, detourCalls);
    ++refused;
  }
  EXPECT_EQ(refused, 2);
  // The question goes to the process again at the engine's next start; Wine enforces none.
  AssumeShadowStacks(-1);
  EXPECT_FALSE(ShadowStacksEnforced());
}

TEST_F(MsvcShapes, OwnBranchesIntoThePatchedBytesAreRefused) {
  const ShapeFn loop = Resolve("ShapeLoop"), selfJump = Resolve("ShapeSelfJump");
  const ShapeFn subCall = Resolve("ShapeSubCall");
  // Unhooked both loop until the callee gives 0.
  EXPECT_EQ(CallShape(loop, 3), 1);
  EXPECT_EQ(CallShape(selfJump, 3), 1);
  void* tramp = nullptr;
  EXPECT_EQ(HookAdd(reinterpret_cast<void*>(loop), reinterpret_cast<void*>(&Detour), &tramp),
            HookBranchIntoPatch);
  EXPECT_EQ(HookAdd(reinterpret_cast<void*>(selfJump), reinterpret_cast<void*>(&Detour),
                    &tramp),
            HookBranchIntoPatch);
  EXPECT_EQ(HookArm(reinterpret_cast<void*>(loop)), HookNotFound);
  // The refusal took nothing: a function in the same module is still hooked normally.
  ASSERT_EQ(HookAdd(reinterpret_cast<void*>(subCall), reinterpret_cast<void*>(&Detour),
                    &tramp),
            HookOk);
  gTrampoline = reinterpret_cast<ShapeFn>(tramp);
  ASSERT_EQ(HookArm(reinterpret_cast<void*>(subCall)), HookOk);
  EXPECT_EQ(CallShape(subCall, 5), 5);
  EXPECT_EQ(gDetourCalls, 1);
  EXPECT_EQ(CallShape(loop, 3), 1);
}

// A thread inside the callee when the hook is deleted returns into the target's own body, not
// into the released trampoline.
TEST_F(MsvcShapes, DeletingTheHookUnderARunningCalleeIsSafe) {
  static HANDLE entered, release;
  entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ShapeSetCallee([](int x) {
    SetEvent(entered);
    WaitForSingleObject(release, INFINITE);
    return x + 10;
  });
  void* tramp = nullptr;
  static ShapeFn subCall;
  subCall = Resolve("ShapeSubCall");
  void* target = reinterpret_cast<void*>(subCall);
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  gTrampoline = reinterpret_cast<ShapeFn>(tramp);
  ASSERT_EQ(HookArm(target), HookOk);
  static int result;
  result = 0;
  HANDLE thread = CreateThread(
      nullptr, 0, [](void*) -> DWORD { result = CallShape(subCall, 1); return 0; }, nullptr,
      0, nullptr);
  ASSERT_EQ(WaitForSingleObject(entered, 5000), WAIT_OBJECT_0);
  ASSERT_EQ(HookDelete(target), HookOk);
  // Another hook now takes the same slot and writes its own trampoline over it.
  ASSERT_EQ(HookAdd(reinterpret_cast<void*>(Resolve("ShapeCookie")), reinterpret_cast<void*>(&Detour),
                    &tramp),
            HookOk);
  SetEvent(release);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(result, 12);
  CloseHandle(thread);
  CloseHandle(entered);
  CloseHandle(release);
  ShapeSetCallee(&Callee);
}

}  // namespace
