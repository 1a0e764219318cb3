#include "fake_server.h"

#include <cstdio>
#include <cstring>

FakeServer::FakeServer(const std::string& windowClass, bool onCallingThread) {
    if (onCallingThread) {
        own_ = true;
        MakeWindow(windowClass);
        return;
    }
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread(&FakeServer::Run, this, windowClass);
    WaitForSingleObject(ready_, 5000);
}

FakeServer::~FakeServer() {
    if (own_) {
        if (window_) DestroyWindow(window_);
        UnregisterClassA(class_.c_str(), GetModuleHandleA(nullptr));
        return;
    }
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable()) thread_.join();
    CloseHandle(ready_);
}

void FakeServer::Run(std::string windowClass) {
    MakeWindow(windowClass);
    SetEvent(ready_);
    MSG msg;
    while (window_ && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    UnregisterClassA(windowClass.c_str(), GetModuleHandleA(nullptr));
}

void FakeServer::MakeWindow(const std::string& windowClass) {
    class_ = windowClass;
    message_ = RegisterWindowMessageA("FsasmLib:IPC");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = windowClass.c_str();
    if (!RegisterClassA(&wc)) fprintf(stderr, "fake server: RegisterClassA error %lu\n", GetLastError());
    window_ = CreateWindowExA(0, windowClass.c_str(), "fake server", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                              wc.hInstance, nullptr);
    if (!window_) fprintf(stderr, "fake server: CreateWindowExA error %lu\n", GetLastError());
    if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, LONG_PTR(this));
}

LRESULT CALLBACK FakeServer::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FakeServer* self = reinterpret_cast<FakeServer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == self->message_ && message) return self->Serve(wParam);
    if (message == WM_CLOSE && self && !self->own_) {
        DestroyWindow(window);
        if (self) self->window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT FakeServer::Serve(WPARAM atom) {
    Mode mode;
    DWORD silentMs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mode = mode_;
        silentMs = silentMs_;
        ++batches_;
    }
    if (mode == Mode::Refuse) return 0;
    if (mode == Mode::Silent) {
        Sleep(silentMs);  // longer than the client waits
        return 0;
    }
    char name[256] = "";
    if (!GlobalGetAtomNameA(ATOM(atom), name, sizeof name)) return 0;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return 0;
    uint8_t* view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0x8000));
    LRESULT result = 0;
    if (view) {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t at = 0;
        result = 1;
        while (at + 4 <= 0x8000) {
            uint32_t h[4] = {};
            memcpy(h, view + at, at + 16 <= 0x8000 ? 16 : 4);
            if (h[0] == 0) break;
            // Reads: id 1 (16-byte header) or a 64-bit client's id 4 (20 bytes); writes: id 2.
            if ((h[0] != 1 && h[0] != 2 && h[0] != 4) || uint64_t(h[1]) + h[2] > table_.size()) {
                result = 0;
                break;
            }
            size_t data = at + (h[0] == 1 ? 16 : h[0] == 4 ? 20 : 12);
            if (data + h[2] > 0x8000) {
                result = 0;
                break;
            }
            if (h[0] != 2) {
                memcpy(view + data, table_.data() + h[1], h[2]);
            } else {
                memcpy(table_.data() + h[1], view + data, h[2]);
                written_.push_back(h[1]);
            }
            at = data + h[2];
        }
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return result;
}

void FakeServer::Vanish() {
    if (own_ && window_) DestroyWindow(window_);
    if (own_) window_ = nullptr;
}

void FakeServer::SetMode(Mode mode, DWORD silentMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
    silentMs_ = silentMs;
}

void FakeServer::Write(uint32_t offset, const void* data, uint32_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    memcpy(table_.data() + offset, data, size);
}

void FakeServer::Read(uint32_t offset, void* data, uint32_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    memcpy(data, table_.data() + offset, size);
}

uint32_t FakeServer::Slot(int n) {
    uint32_t v;
    Read(0x3210 + 4 * n, &v, 4);
    return v;
}

void FakeServer::SetSlot(int n, uint32_t value) { Write(0x3210 + 4 * n, &value, 4); }

std::string FakeServer::MessageText() {
    char text[129] = {};
    Read(0x3380, text, 128);
    return text;
}

int16_t FakeServer::MessageTime() {
    int16_t t;
    Read(0x32FA, &t, 2);
    return t;
}

int FakeServer::Batches() {
    std::lock_guard<std::mutex> lock(mutex_);
    return batches_;
}

std::vector<uint32_t> FakeServer::WrittenOffsets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}
