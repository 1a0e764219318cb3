#include "fixture.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {
unsigned g_nextCounter = 0x100;
}

std::string PluginPath() {
    std::string path = XPUIPC_PLUGIN_PATH;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

Client::Client(size_t size, unsigned counter) : size_(size) {
    char name[64];
    snprintf(name, sizeof name, "FsasmLib:IPC:%lX:%X", GetCurrentProcessId(), counter ? counter : g_nextCounter++);
    atom_ = GlobalAddAtomA(name);
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DWORD(size), name);
    if (mapping_ && GetLastError() == ERROR_ALREADY_EXISTS) {
        // As a real client does: someone else's area is not ours to use or keep open.
        CloseHandle(mapping_);
        mapping_ = nullptr;
    }
    if (mapping_) view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
}

Client::~Client() {
    if (atom_) GlobalDeleteAtom(atom_);
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
}

size_t Client::Read(uint32_t offset, uint32_t size) {
    uint32_t header[4] = {1, offset, size, 0x1234};
    memcpy(view_ + next_, header, 16);
    memset(view_ + next_ + 16, 0, size);
    next_ += 16 + size;
    return next_ - size;
}

size_t Client::Read64(uint32_t offset, uint32_t size, uint64_t tag) {
    uint32_t header[3] = {4, offset, size};
    memcpy(view_ + next_, header, 12);
    memcpy(view_ + next_ + 12, &tag, 8);
    memset(view_ + next_ + 20, 0, size);
    next_ += 20 + size;
    return next_ - size;
}

void Client::Write(uint32_t offset, const void* data, uint32_t size) {
    uint32_t header[3] = {2, offset, size};
    memcpy(view_ + next_, header, 12);
    memcpy(view_ + next_ + 12, data, size);
    next_ += 12 + size;
}

void Client::Raw(const void* data, size_t size) {
    memcpy(view_ + next_, data, size);
    next_ += size;
}

BOOL Client::Send(DWORD timeoutMs, LRESULT* result, DWORD* error) {
    if (next_ + 4 <= size_) memset(view_ + next_, 0, 4);
    next_ = 0;
    DWORD_PTR answer = 0;
    SetLastError(0);
    BOOL sent = SendMessageTimeoutA(ServerWindow(), RegisterWindowMessageA("FsasmLib:IPC"), atom_, 0, SMTO_BLOCK,
                                    timeoutMs, &answer);
    if (error) *error = GetLastError();
    if (result) *result = LRESULT(answer);
    return sent;
}

BOOL Client::SendFromWorker(DWORD timeoutMs, LRESULT* result, DWORD* error, double* elapsedMs) {
    std::atomic<bool> done{false};
    BOOL sent = FALSE;
    auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        sent = Send(timeoutMs, result, error);
        done = true;
    });
    // The simulator's frames pump the main thread's messages: that is when the server answers.
    while (!done) {
        SIM_RunFrames(1);
        Sleep(1);
    }
    worker.join();
    if (elapsedMs)
        *elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return sent;
}

uint32_t Client::Data32(size_t at) const {
    uint32_t value;
    memcpy(&value, view_ + at, 4);
    return value;
}

HWND ServerWindow() {
    // Other test programs on the same Wine desktop may have a server window of their own.
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "UIPCMAIN", nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) return w;
    }
    return nullptr;
}

HMODULE ServerTest::module = nullptr;

void ServerTest::SetUp() {
    SIM_Init(nullptr);
    SIM_SetScreenSize(1024, 768);
    if (!module) module = LoadLibraryA(PluginPath().c_str());
    ASSERT_NE(module, nullptr) << PluginPath() << " error " << GetLastError();
    id = SIM_StartPlugin(PluginPath().c_str(), module);
    ASSERT_GE(id, 0);
    ASSERT_EQ(SIM_EnablePlugin(id), 1);
}

void ServerTest::TearDown() {
    if (id >= 0) SIM_StopPlugin(id);
    // As the simulator does after a plug-in's stop: the library goes, and with it every setting
    // a test gave the server, so the next test meets it as loaded.
    if (module && FreeLibrary(module)) module = nullptr;
    EXPECT_EQ(ServerWindow(), nullptr) << "the server window outlived the plug-in";
    EXPECT_EQ(SIM_OffThreadCalls(), 0) << SIM_FirstOffThreadCall();
    // Requests are served by the window procedure, outside every plug-in callback: no SDK calls.
    EXPECT_EQ(SIM_BypassCalls(), 0) << SIM_FirstBypassCall();
}

std::string ServerTest::Control(const std::string& command, bool ok) {
    typedef int (*ControlFn)(const char*, char*, int);
    auto control = reinterpret_cast<ControlFn>(reinterpret_cast<void*>(GetProcAddress(module, "StandInControl")));
    if (!control) {
        ADD_FAILURE() << "no StandInControl export";
        return "";
    }
    std::vector<char> out(16384, 0);
    // As the host runs it: as the plug-in's callback.
    SIM_EnterPlugin(id);
    int result = control(command.c_str(), out.data(), int(out.size()));
    SIM_LeavePlugin();
    EXPECT_EQ(result, ok ? 1 : 0) << command << ": " << out.data();
    return out.data();
}

uint32_t ServerTest::Table32(uint32_t offset) {
    Client c;
    size_t at = c.Read(offset, 4);
    EXPECT_TRUE(c.Send());
    return c.Data32(at);
}
