#pragma once
// The stand-in server plug-in loaded into the stand-in simulator of this test program, and a small
// FSUIPC-protocol client written here from the protocol, independent of the plug-in's own client.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/sim_control.h"

class Client {
public:
    // Makes the area "FsasmLib:IPC:<pid>:<counter>" of `size` bytes and its atom; a fresh counter
    // per client unless one is given.
    explicit Client(size_t size = 0x8000, unsigned counter = 0);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Ready() const { return view_ != nullptr && atom_ != 0; }
    ATOM Atom() const { return atom_; }
    uint8_t* Area() { return view_; }
    size_t Size() const { return size_; }

    // Record builders; Read gives the area offset of the record's data.
    size_t Read(uint32_t offset, uint32_t size);
    // A 64-bit client's read: id 4, a 20-byte header ending in an 8-byte destination tag.
    size_t Read64(uint32_t offset, uint32_t size, uint64_t tag = 0x1122334455667788ull);
    void Write(uint32_t offset, const void* data, uint32_t size);
    void Write32(uint32_t offset, uint32_t value) { Write(offset, &value, 4); }
    void Raw(const void* data, size_t size);  // any bytes, no checks
    void Clear() { next_ = 0; }

    // Terminates the batch and sends it from the calling thread; gives SendMessageTimeoutA's
    // return, with the procedure's result and GetLastError() after the call.
    BOOL Send(DWORD timeoutMs = 2000, LRESULT* result = nullptr, DWORD* error = nullptr);
    // The same, from a worker thread while this (the simulator's) thread runs frames.
    BOOL SendFromWorker(DWORD timeoutMs, LRESULT* result = nullptr, DWORD* error = nullptr,
                        double* elapsedMs = nullptr);
    uint32_t Data32(size_t at) const;

private:
    size_t size_;
    HANDLE mapping_ = nullptr;
    uint8_t* view_ = nullptr;
    ATOM atom_ = 0;
    size_t next_ = 0;
};

HWND ServerWindow();  // this process's top-level "UIPCMAIN" window, or null

// Loads the plug-in once per program, starts and enables it for each test, stops it after.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs a test-equipment command; EXPECTs it to succeed unless `ok` says otherwise.
    std::string Control(const std::string& command, bool ok = true);
    uint32_t Table32(uint32_t offset);  // through the protocol
    static HMODULE module;
    int id = -1;
};

std::string PluginPath();
