// FSUIPC-protocol client of the stand-in ATC program.
#include "ipc_link.h"

#include <cstdio>
#include <cstring>

namespace atc {
namespace {

constexpr size_t kAreaSize = 0x8000;
constexpr size_t kRequestMax = 0x7F00;
constexpr uint32_t kRead = 1, kWrite = 2, kRead64 = 4;
constexpr size_t kReadHeader = 16, kRead64Header = 20, kWriteHeader = 12;

void Put32(uint8_t* at, uint32_t value) { memcpy(at, &value, 4); }
uint32_t Get32(const uint8_t* at) {
    uint32_t v;
    memcpy(&v, at, 4);
    return v;
}

std::string SystemError(const char* what, DWORD code) {
    char text[160];
    snprintf(text, sizeof text, "%s (error %lu)", what, (unsigned long)code);
    return text;
}

}  // namespace

bool IpcLink::Open(const std::string& serverClass, DWORD timeoutMs, bool record64, std::string* error) {
    if (IsOpen()) {
        *error = "link already open";
        return false;
    }
    server_ = FindWindowExA(nullptr, nullptr, serverClass.c_str(), nullptr);
    serverClass_ = serverClass;
    if (!server_) {
        server_ = FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr);
        serverClass_ = "FS98MAIN";
    }
    if (!server_) {
        serverClass_.clear();
        *error = "no " + serverClass + " or FS98MAIN window";
        return false;
    }
    message_ = RegisterWindowMessageA("FsasmLib:IPC");
    if (!message_) {
        *error = SystemError("cannot register FsasmLib:IPC", GetLastError());
        Close();
        return false;
    }
    timeoutMs_ = timeoutMs;
    record64_ = record64;
    return MakeArea(error) || (Close(), false);
}

bool IpcLink::MakeArea(std::string* error) {
    char name[64];
    snprintf(name, sizeof name, "FsasmLib:IPC:%lX:%X", (unsigned long)GetCurrentProcessId(), ++counter_);
    atom_ = GlobalAddAtomA(name);
    if (!atom_) {
        *error = SystemError("cannot add the area's atom", GetLastError());
        return false;
    }
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kAreaSize, name);
    if (!mapping_ || GetLastError() == ERROR_ALREADY_EXISTS) {
        *error = SystemError("cannot create the shared area", GetLastError());
        DropArea();
        return false;
    }
    view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
    if (!view_) {
        *error = SystemError("cannot map the shared area", GetLastError());
        DropArea();
        return false;
    }
    next_ = 0;
    reads_.clear();
    return true;
}

void IpcLink::DropArea() {
    if (atom_) GlobalDeleteAtom(atom_);
    atom_ = 0;
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    if (mapping_) CloseHandle(mapping_);
    mapping_ = nullptr;
    next_ = 0;
    reads_.clear();
}

void IpcLink::Close() {
    DropArea();
    server_ = nullptr;
    message_ = 0;
    serverClass_.clear();
}

bool IpcLink::QueueRead(uint32_t offset, uint32_t size, void* destination) {
    const size_t header = record64_ ? kRead64Header : kReadHeader;
    if (!IsOpen() || next_ + header + size + 4 > kRequestMax) return false;
    uint8_t* at = view_ + next_;
    Put32(at, record64_ ? kRead64 : kRead);
    Put32(at + 4, offset);
    Put32(at + 8, size);
    if (record64_) {
        const uint64_t tag = uint64_t(uintptr_t(destination));
        memcpy(at + 12, &tag, 8);
    } else {
        Put32(at + 12, uint32_t(uintptr_t(destination)));
    }
    memset(at + header, 0, size);
    reads_.push_back({next_ + header, size, destination});
    next_ += header + size;
    return true;
}

bool IpcLink::QueueWrite(uint32_t offset, uint32_t size, const void* source) {
    if (!IsOpen() || next_ + 12 + size + 4 > kRequestMax) return false;
    uint8_t* at = view_ + next_;
    Put32(at, kWrite);
    Put32(at + 4, offset);
    Put32(at + 8, size);
    memcpy(at + 12, source, size);
    next_ += 12 + size;
    return true;
}

bool IpcLink::Process(std::string* error) {
    if (!IsOpen()) {
        *error = "link not open";
        return false;
    }
    if (inExchange_) {  // an order arriving inside an exchange must never start another
        *error = "exchange already running";
        return false;
    }
    if (next_ == 0) {
        *error = "nothing queued";
        return false;
    }
    Put32(view_ + next_, 0);
    std::vector<PendingRead> reads;
    reads.swap(reads_);
    size_t used = next_;
    next_ = 0;

    inExchange_ = true;
    DWORD_PTR result = 0;
    SetLastError(0);
    // Not SMTO_BLOCK: orders sent to our form while we wait must still be taken.
    LRESULT sent = SendMessageTimeoutA(server_, message_, WPARAM(atom_), 0, SMTO_NORMAL, timeoutMs_, &result);
    DWORD code = GetLastError();
    inExchange_ = false;
    if (!sent) {
        *error = code && code != ERROR_TIMEOUT ? SystemError("server window unreachable", code)
                                               : "server did not answer within " + std::to_string(timeoutMs_) + " ms";
        // The server may still serve the late message: give it an area nobody writes any more.
        DropArea();
        std::string ignored;
        MakeArea(&ignored);
        return false;
    }
    if (result == 0) {
        *error = "server refused the batch";
        return false;
    }
    // Walk what the server gave back; every read record's data goes to its destination.
    size_t at = 0;
    size_t readIndex = 0;
    while (at + 4 <= used) {
        uint32_t id = Get32(view_ + at) & 0xFF;
        if (id == 0) break;
        if (at + 12 > used) break;
        uint32_t size = Get32(view_ + at + 8);
        if (id == kRead || id == kRead64) {
            const size_t header = id == kRead64 ? kRead64Header : kReadHeader;
            if (at + header + size > used || readIndex >= reads.size() || reads[readIndex].at != at + header) {
                *error = "server reply does not match the batch";
                return false;
            }
            if (size) memcpy(reads[readIndex].destination, view_ + at + header, size);
            ++readIndex;
            at += header + size;
        } else if (id == kWrite) {
            at += kWriteHeader + size;
        } else {
            *error = "server reply holds an unknown record";
            return false;
        }
    }
    return true;
}

}  // namespace atc
