#include "shell/log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "XPLMUtilities.h"

namespace {
DWORD g_simulatorThread = 0;
}

void RememberSimulatorThread() { g_simulatorThread = GetCurrentThreadId(); }

bool OnSimulatorThread() { return g_simulatorThread != 0 && GetCurrentThreadId() == g_simulatorThread; }

void LogLine(const char* format, ...) {
    if (!OnSimulatorThread()) return;
    char line[512];
    int prefix = snprintf(line, sizeof line, "DURarUravud: ");
    va_list args;
    va_start(args, format);
    vsnprintf(line + prefix, sizeof line - prefix - 1, format, args);
    va_end(args);
    size_t n = strlen(line);
    line[n] = '\n';
    line[n + 1] = 0;
    XPLMDebugString(line);
}
