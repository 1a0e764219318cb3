#include "hook/shadow_stack.h"

#include <windows.h>

namespace {

constexpr int kProcessUserShadowStackPolicy = 15;  // PROCESS_MITIGATION_POLICY
constexpr DWORD kEnableUserShadowStack = 0x1;      // PROCESS_MITIGATION_USER_SHADOW_STACK_POLICY

int Assumed = -1;  // set by tests
int Known = -1;    // the process's answer once asked

using GetPolicyFn = BOOL(WINAPI*)(HANDLE, int, PVOID, SIZE_T);

bool AskProcess() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto ask = kernel ? reinterpret_cast<GetPolicyFn>(reinterpret_cast<void*>(
                          GetProcAddress(kernel, "GetProcessMitigationPolicy")))
                    : nullptr;
  DWORD flags = 0;
  if (!ask || !ask(GetCurrentProcess(), kProcessUserShadowStackPolicy, &flags, sizeof flags))
    return false;
  return flags & kEnableUserShadowStack;
}

}  // namespace

bool ShadowStacksEnforced() {
  if (Assumed >= 0) return Assumed != 0;
  if (Known < 0) Known = AskProcess() ? 1 : 0;
  return Known != 0;
}

void ForgetShadowStackPolicy() { Known = -1; }

void AssumeShadowStacks(int enforced) { Assumed = enforced < 0 ? -1 : enforced != 0; }
