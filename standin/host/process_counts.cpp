// What the simulator process holds: the soak compares these at its start and end.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <string>

#include "host.h"

namespace {

int ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// Global string atoms live in the range 0xC000-0xFFFF; those that answer to their number exist.
int GlobalAtomCount() {
    int count = 0;
    char name[256];
    for (unsigned atom = 0xC000; atom <= 0xFFFF; ++atom)
        if (GlobalGetAtomNameA((ATOM)atom, name, sizeof name)) ++count;
    return count;
}

// Kernel handles are multiples of 4; those that answer a query exist.
int HandleCount() {
    int count = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountOwnWindows(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(window, CountChild, count);
    return TRUE;
}

// Windows of this process, top-level ones (message-only ones included) and their children.
int WindowCount() {
    int count = 0;
    EnumWindows(CountOwnWindows, reinterpret_cast<LPARAM>(&count));
    HWND messageOnly = nullptr;
    while ((messageOnly = FindWindowExA(HWND_MESSAGE, messageOnly, nullptr, nullptr)) != nullptr)
        CountOwnWindows(messageOnly, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // namespace

std::string DescribeProcess() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return "process handles " + std::to_string(HandleCount()) + " threads " + std::to_string(ThreadCount()) +
           " atoms " + std::to_string(GlobalAtomCount()) + " windows " + std::to_string(WindowCount()) +
           " commit-kb " + std::to_string(memory.PagefileUsage / 1024);
}

namespace {
int g_marked[4] = {};
}  // namespace

void MarkProcess() {
    g_marked[0] = HandleCount();
    g_marked[1] = ThreadCount();
    g_marked[2] = GlobalAtomCount();
    g_marked[3] = WindowCount();
}

std::string DescribeProcessChange() {
    const char* const names[4] = {"handles", "threads", "atoms", "windows"};
    const int now[4] = {HandleCount(), ThreadCount(), GlobalAtomCount(), WindowCount()};
    std::string out = "process change";
    for (int i = 0; i < 4; ++i) {
        const int change = now[i] - g_marked[i];
        out += std::string(" ") + names[i] + " " + (change > 0 ? "+" : "") + std::to_string(change);
    }
    return out;
}
