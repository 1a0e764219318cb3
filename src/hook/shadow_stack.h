// Whether the process enforces hardware shadow stacks in user mode. Windows only.
#pragma once

// Asked of the process's mitigation policy, once per engine start; a system without the query
// (older Windows, Wine) enforces none.
bool ShadowStacksEnforced();
// Forgets the answer, so the next question asks again (the engine's start).
void ForgetShadowStackPolicy();
// Tests decide the answer: 0 not enforced, 1 enforced, -1 ask the process again.
void AssumeShadowStacks(int enforced);
