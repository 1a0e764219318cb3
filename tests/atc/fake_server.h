#pragma once
// A small FSUIPC-protocol server for the stand-in ATC program's tests: a top-level window of its
// own class on its own thread, serving batches against a 64 KiB table.
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeServer {
public:
    enum class Mode { Serve, Refuse, Silent };
    // onCallingThread: the window belongs to the caller's thread, which must then serve the
    // sent messages itself (as the simulator's main thread does once per frame).
    explicit FakeServer(const std::string& windowClass, bool onCallingThread = false);
    ~FakeServer();
    bool Ready() const { return window_ != nullptr; }

    void SetMode(Mode mode, DWORD silentMs = 0);
    // Destroys the window, as a server plug-in disabled by the simulator does (calling thread's
    // window only).
    void Vanish();
    void Write(uint32_t offset, const void* data, uint32_t size);
    void Read(uint32_t offset, void* data, uint32_t size);
    uint32_t Slot(int n);
    void SetSlot(int n, uint32_t value);
    std::string MessageText();
    int16_t MessageTime();
    int Batches();
    // Offsets written by clients, in order.
    std::vector<uint32_t> WrittenOffsets();

private:
    void Run(std::string windowClass);
    void MakeWindow(const std::string& windowClass);
    std::string class_;
    bool own_ = false;
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Serve(WPARAM atom);

    std::thread thread_;
    HANDLE ready_ = nullptr;
    HWND window_ = nullptr;
    UINT message_ = 0;
    std::mutex mutex_;
    std::vector<uint8_t> table_ = std::vector<uint8_t>(0x10000);
    std::vector<uint32_t> written_;
    Mode mode_ = Mode::Serve;
    DWORD silentMs_ = 0;
    int batches_ = 0;
};
