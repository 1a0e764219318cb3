#pragma once
// Runs the stand-in simulator on a scenario in a separate process and gives back everything it
// printed (empty, with a line saying why, when it cannot be started). Benchmarks that measure the
// whole world read their figures from that output.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

inline std::string RunHostScenario(const char* simDir, const char* instance, const char* scenario) {
    std::string host = std::string(simDir) + "/X-Plane.exe";
    std::string command = "\"" + host + "\" --instance \"" + instance + "\" --scenario \"" + scenario + "\"";
    std::replace(command.begin(), command.end(), '/', '\\');
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return {};
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        printf("cannot start %s\n", command.c_str());
        CloseHandle(readEnd);
        return {};
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(readEnd);
    return text;
}
