#pragma once
// Test equipment's side of the order channel to one running QV3.exe (see atc_orders.h): starts
// the program, sends orders, waits for their replies, ends it.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "atc_orders.h"

namespace atc {

class Channel {
public:
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    ~Channel() { Kill(); }

    // Starts `exe` in `folder` with `args` and waits (at most timeoutMs) until its form and
    // reply area exist.
    bool Start(const std::string& exe, const std::string& folder, const std::vector<std::string>& args,
               DWORD timeoutMs, std::string* error);

    // While waiting for a reply or an exit, called whenever a message sent by another thread
    // waits for the calling thread (the simulator host runs one frame there, so that its main
    // thread serves the program's exchanges). Without it such messages wait.
    std::function<void()> pump;

    struct Reply {
        bool ok = false;  // the program did the order
        std::string text;
        int exchanges = 0;  // the order's exchanges with the server
        int pumps = 0;      // calls of pump while waiting for it
    };
    // False (with *error) when the order never got done: not running, refused, no reply in time.
    bool Run(Order code, const std::string& text, DWORD timeoutMs, Reply* reply, std::string* error);
    // The raw WM_COPYDATA answer for any dwData and payload (tests of bad input); -1: not sent.
    intptr_t SendRaw(uintptr_t dwData, const void* data, DWORD size, DWORD timeoutMs);

    bool Running();
    // Posts WM_CLOSE as the plug-in does and waits for the exit.
    bool Close(DWORD timeoutMs);
    bool WaitExit(DWORD timeoutMs);
    void Kill();  // quit order, then termination; forgets the program
    DWORD ExitCode() const { return exitCode_; }
    bool Exited() const { return exited_; }
    bool Started() const { return process_ != nullptr; }
    HWND Form() const { return form_; }
    DWORD ProcessId() const { return pid_; }

private:
    // Waits for `handle` (or the reply to `seq` when seq != 0), serving sent messages through pump.
    bool Wait(HANDLE handle, uint32_t seq, DWORD timeoutMs, int* pumps);
    void Release();

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND form_ = nullptr;
    HANDLE mapping_ = nullptr;
    const ReplyArea* reply_ = nullptr;
    HANDLE done_ = nullptr;
    uint32_t seq_ = 0;
    bool exited_ = false;
    DWORD exitCode_ = 0;
};

// Windows command-line quoting of one argument.
std::string QuoteArgument(const std::string& arg);

}  // namespace atc
