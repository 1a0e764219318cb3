#pragma once
// The stand-in ATC program's FSUIPC-protocol client: a named shared area announced by a global
// atom, handed to the server window with the registered message "FsasmLib:IPC".
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace atc {

class IpcLink {
public:
    IpcLink() = default;
    IpcLink(const IpcLink&) = delete;
    IpcLink& operator=(const IpcLink&) = delete;
    ~IpcLink() { Close(); }

    // Finds the server window ("UIPCMAIN" unless told otherwise, else "FS98MAIN") and makes
    // the shared area; no exchange yet.
    // record64: reads go as a 64-bit client's records (id 4, 20-byte header).
    bool Open(const std::string& serverClass, DWORD timeoutMs, bool record64, std::string* error);
    void Close();
    bool IsOpen() const { return view_ != nullptr; }
    const std::string& ServerClass() const { return serverClass_; }

    // Queue requests; false (nothing queued) when the batch would not fit.
    bool QueueRead(uint32_t offset, uint32_t size, void* destination);
    bool QueueWrite(uint32_t offset, uint32_t size, const void* source);
    // One exchange with the server; empties the batch whatever happens.
    bool Process(std::string* error);

private:
    bool MakeArea(std::string* error);
    void DropArea();

    HWND server_ = nullptr;
    std::string serverClass_;
    UINT message_ = 0;
    ATOM atom_ = 0;
    HANDLE mapping_ = nullptr;
    uint8_t* view_ = nullptr;
    size_t next_ = 0;
    unsigned counter_ = 0;
    DWORD timeoutMs_ = 5000;
    bool record64_ = false;
    bool inExchange_ = false;
    struct PendingRead {
        size_t at;  // where the record's data starts in the area
        uint32_t size;
        void* destination;
    };
    std::vector<PendingRead> reads_;
};

}  // namespace atc
